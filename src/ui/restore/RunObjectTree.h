#pragma once
// The folders and files one run of a task stored on the server, as a tree:
// the run's folders at the top, each folder's files loaded from the server
// when it is first expanded. Used by the task report (read only) and by the
// restore by task history (with check boxes).
//
// A folder keeps the server's text exactly as it came, and that text is what
// goes back to the server when its files are asked for. Sizes and dates are
// 64-bit item data; the cells only show them.

#include <QTreeWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "api/ApiCall.h"

namespace solvane {

class TPublicInfo;

// A ticked node of the tree.
struct TRunObjectChoice {
  std::string Folder;  // the server folder, exactly as received
  bool IsFolder = false;
  std::string Name;  // the file's name; empty for a folder
  std::int64_t Size = -1;
  std::int64_t Date = -1;  // packed; -1 for a folder
};

class TRunObjectTree : public QTreeWidget {
  Q_OBJECT
 public:
  enum TNodeKind { kFileNode = 0, kFolderNode = 1 };

  explicit TRunObjectTree(TPublicInfo& info, QWidget* parent = nullptr);

  // Folders and files get check boxes (a folder's tick goes to its files).
  void SetCheckable(bool on);
  bool Checkable() const { return m_checkable; }

  // Empties the tree and loads the folders of the run (TaskID, SessionID)
  // of the signed-in user. The status of the server call; the tree stays
  // empty when it failed.
  api::TApiStatus LoadRun(std::int32_t taskId, std::uint32_t sessionId);
  // Empties the tree and forgets the run.
  void ClearRun();
  std::int32_t TaskID() const { return m_taskId; }
  std::uint32_t SessionID() const { return m_sessionId; }

  // Loads the files of a folder node (replacing its children); the status
  // of the server call. Expanding a folder node does it once.
  api::TApiStatus LoadFiles(QTreeWidgetItem* folder);

  static bool IsFolderNode(const QTreeWidgetItem* node);
  // The server folder of a folder node, or of a file node's folder.
  static std::string ServerFolder(const QTreeWidgetItem* node);
  static std::int64_t FileSize(const QTreeWidgetItem* node);
  static std::int64_t FileDate(const QTreeWidgetItem* node);

  // Ticked nodes in tree order: folders ticked whole, then (under folders
  // not ticked whole) ticked files.
  std::vector<TRunObjectChoice> Checked() const;
  // The folder node whose server folder is folder; null when none.
  QTreeWidgetItem* FindFolder(const std::string& folder) const;

 private:
  void Expanded(QTreeWidgetItem* node);
  QTreeWidgetItem* NewFolderNode(const std::string& folder);
  void SetNodeCheckable(QTreeWidgetItem* node, Qt::CheckState state);

  TPublicInfo& m_info;
  bool m_checkable = false;
  bool m_loading = false;
  std::int32_t m_taskId = -1;
  std::uint32_t m_sessionId = 0;
};

}  // namespace solvane
