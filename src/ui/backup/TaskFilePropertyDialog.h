#pragma once
// The property dialog of a named file backup (kind 100) or folder sync (200)
// task: "基本信息" (name, remark, allowed delay, schedule; the backup-set
// option for file backups), "任务内容" (the objects) and "过滤器". It is
// filled from the task record when it is made; "确定" sends the whole task to
// the server again ("TTask.Update", then objects and filter) and writes the
// record only from what the server took.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "tasks/Unit_Handler_Define.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace solvane {

class TUiShell;
class TSchedulePanel;
class TFilterPage;

class TTaskFilePropertyDialog : public QDialog {
  Q_OBJECT
 public:
  // REQUIRES: kind is 100 or 200.
  TTaskFilePropertyDialog(TUiShell& shell, std::int32_t taskId, int kind,
                          QWidget* parent = nullptr);

  // False when the task is not a named task of the list: the dialog shows
  // its initial values and "确定" fails.
  bool Loaded() const { return m_loaded; }
  bool IsSync() const { return m_kind == kKindFileSync; }

  // A row of the object list. A folder sync keeps one folder: the new one
  // replaces the rows.
  void AddObject(const QString& path, bool isFolder);

  // Asks the user for a file or a folder (title "选择文件" or "选择文件夹");
  // empty when cancelled. The desktop's own dialogs by default.
  using TPathPicker = std::function<QString(QWidget* parent, const QString& title, bool folder)>;
  void SetPathPicker(TPathPicker picker) { m_picker = std::move(picker); }

  QTabWidget* Pages() const { return m_pages; }
  QLineEdit* NameBox() const { return m_name; }
  QPlainTextEdit* CommentBox() const { return m_comment; }
  QSpinBox* DelayBox() const { return m_delay; }
  QCheckBox* BackupModeBox() const { return m_backupMode; }  // null for a folder sync
  TSchedulePanel* Schedule() const { return m_schedule; }
  QTreeWidget* ObjectList() const { return m_objects; }
  QPushButton* AddFileButton() const { return m_addFile; }      // file backup only
  QPushButton* AddFolderButton() const { return m_addFolder; }  // "变更文件夹" for a sync
  QPushButton* RemoveObjectButton() const { return m_removeObject; }  // file backup only
  TFilterPage* Filter() const { return m_filter; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildBasicPage();
  QWidget* BuildContentPage();
  void Load();
  void OkClicked();
  // The first check that fails, as its message; empty when all pass.
  QString CheckInput() const;
  // The task as the dialog shows it, in a record of its own (not in the list).
  TTaskObjectPtr Draft(const TTaskObject& task) const;
  bool Save(const TTaskObjectPtr& task);
  void Pick(bool folder);
  void SetBusy(bool busy);

  TUiShell& m_shell;
  std::int32_t m_taskId;
  int m_kind;
  bool m_loaded = false;
  bool m_busy = false;
  TPathPicker m_picker;

  QTabWidget* m_pages = nullptr;
  QLineEdit* m_name = nullptr;
  QPlainTextEdit* m_comment = nullptr;
  QSpinBox* m_delay = nullptr;
  QCheckBox* m_backupMode = nullptr;
  TSchedulePanel* m_schedule = nullptr;
  QTreeWidget* m_objects = nullptr;
  QPushButton* m_addFile = nullptr;
  QPushButton* m_addFolder = nullptr;
  QPushButton* m_removeObject = nullptr;
  TFilterPage* m_filter = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace solvane
