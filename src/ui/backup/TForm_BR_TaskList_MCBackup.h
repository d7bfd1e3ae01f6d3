#pragma once
// "邮件备份": the property dialog of a named mail backup task (kind 500).
// "基本信息" as the file dialogs have it (without the backup-set option);
// "任务内容" the task's mail client (fixed), its folder tree and message
// list with the saved ticks. "确定" sends the definition ("TTask.Update")
// and then the ticks as the task's content. The ticks are put on the shared
// mail readers while the dialog is open and taken off again however it
// closes, so that no other mail screen starts from them.

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace solvane {

class TMailPicker;
class TSchedulePanel;
class TUiShell;

class TForm_BR_TaskList_MCBackup : public QDialog {
  Q_OBJECT
 public:
  TForm_BR_TaskList_MCBackup(TUiShell& shell, std::int32_t taskId, QWidget* parent = nullptr);

  // False when the task is not a named task of the list.
  bool Loaded() const { return m_loaded; }

  QTabWidget* Pages() const { return m_pages; }
  QLineEdit* NameBox() const { return m_name; }
  QPlainTextEdit* CommentBox() const { return m_comment; }
  QSpinBox* DelayBox() const { return m_delay; }
  TSchedulePanel* Schedule() const { return m_schedule; }
  TMailPicker* Picker() const { return m_picker; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

 public slots:
  void done(int result) override;

 private:
  QWidget* BuildBasicPage();
  void Load();
  void OkClicked();
  bool Save();
  void SetBusy(bool busy);

  TUiShell& m_shell;
  std::int32_t m_taskId;
  bool m_loaded = false;
  bool m_busy = false;

  QTabWidget* m_pages = nullptr;
  QLineEdit* m_name = nullptr;
  QPlainTextEdit* m_comment = nullptr;
  QSpinBox* m_delay = nullptr;
  TSchedulePanel* m_schedule = nullptr;
  TMailPicker* m_picker = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace solvane
