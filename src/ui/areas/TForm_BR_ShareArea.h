#pragma once
// "公 共 数 据 区 管 理": the public share area. Page "文件夹" shows the tree
// of share folders (new, edit and delete for their owner, open); page
// "文件夹内容" the files of the opened folder (upload, download, delete).
// Uploads and downloads run as one-off share tasks in the task engine.
//
// A protected folder is opened with its password: the server checks it and
// unlocks the folder for this session; the client never sees a password.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/shell/QorWithUIDynamicForm.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TTaskObject;
enum class TShareCallResult;

class TForm_BR_ShareArea : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_ShareArea(TUiShell& shell, QWidget* parent = nullptr);
  // Goes to the folder page and loads the folder tree.
  void Opening() override;

  // Node value of the root "公共区文件夹".
  static constexpr std::int64_t kRootValue = -1;

  // The folder node with this ID; null when there is none.
  QTreeWidgetItem* FindNode(std::int64_t folderId) const;
  // FindNode, else the root.
  QTreeWidgetItem* FindNodeOrRoot(std::int64_t folderId) const;
  static std::int64_t NodeValue(const QTreeWidgetItem* node);
  // The ID of the folder whose files the file page shows; -1 when none.
  std::int64_t OpenedFolder() const { return m_opened.ID; }

  QTabWidget* Pages() const { return m_pages; }
  QTreeWidget* FolderTree() const { return m_folders; }
  QTreeWidget* FileList() const { return m_files; }
  // The screen's button with this object name ("NewFolder", "DeleteFolder",
  // "EditFolder", "Upload", "Download", "DeleteFile", "OpenFolder",
  // "Refresh", "Back"); null when there is none.
  QPushButton* Button(const QString& name) const;

  // The dialogs that pick a local file or folder; the defaults use
  // QFileDialog (modal, object names "PickUploadFile" and
  // "PickDownloadFolder"). Empty text: cancelled.
  using TPicker = std::function<QString(QWidget* parent)>;
  void SetFilePicker(TPicker picker) { m_pickFile = std::move(picker); }
  void SetFolderPicker(TPicker picker) { m_pickFolder = std::move(picker); }

 private:
  struct TOpenedFolder {
    std::int64_t ID = -1;
    QString Name;
    QString Owner;
    bool ReadOnly = false;
  };

  void BuildPages();
  void BuildButtons();
  void ShowFolderPage();
  void ShowFilePage();

  void LoadFolderTree();
  void UpdateFolderButtons();
  QTreeWidgetItem* SelectedFolder() const;  // a folder node, never the root
  bool IsMine(const QTreeWidgetItem* node);

  void OpenSelectedFolder();
  // Lists the folder's files on the file page; a protected folder of another
  // user is asked for its password first (always when askPassword, else only
  // when the server wants it). False when the folder was not opened.
  bool OpenFolder(const TOpenedFolder& folder, bool askPassword);
  // Empties the file list and fills it from the server.
  TShareCallResult LoadFileList(std::int64_t folderId, const QString& password);
  void UpdateFileButtons();

  void NewFolder();
  void EditFolder();
  void DeleteFolder();
  void SelectFolderAfterReload(std::int64_t folderId);

  void Upload();
  void Download();
  void DeleteFile();
  void StartTask(const std::shared_ptr<TTaskObject>& task);

  void Refresh();

  QTabWidget* m_pages = nullptr;
  QWidget* m_folderPage = nullptr;
  QWidget* m_filePage = nullptr;
  QTreeWidget* m_folders = nullptr;
  QTreeWidget* m_files = nullptr;
  QLabel* m_folderName = nullptr;
  std::vector<QPushButton*> m_folderButtons;
  std::vector<QPushButton*> m_fileButtons;
  QPushButton* m_open = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_back = nullptr;
  TOpenedFolder m_opened;
  TPicker m_pickFile;
  TPicker m_pickFolder;
};

}  // namespace solvane
