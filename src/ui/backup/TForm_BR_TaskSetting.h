#pragma once
// "设置任务属性": turns a selection of the file backup, folder sync or mail
// backup screen into a named task: name, remark, backup-set option (file
// backups only), allowed delay and schedule. The caller opens it modally
// with the task kind; after "保存" or "保存且执行" it calls Insert, which
// registers the task on the server and only then adds it to the task list.
// Both buttons refuse an empty name and a schedule that cannot work.

#include <QDialog>

#include "tasks/Unit_Handler_Define.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace solvane {

class TPublicInfo;
class TSchedulePanel;

class TForm_BR_TaskSetting : public QDialog {
  Q_OBJECT
 public:
  enum class TResult { None, Save, SaveAndRun };

  TForm_BR_TaskSetting(TPublicInfo& info, int taskKind, QWidget* parent = nullptr);

  TResult Result() const { return m_result; }
  int TaskKind() const { return m_kind; }

  // The task the controls describe, not in the task list: taskId, the kind
  // of the dialog, named, created now, the whole schedule.
  TTaskObjectPtr MakeTask(std::int32_t taskId) const;
  // "TTask.Insert" of MakeTask(taskId); on success the task joins the task
  // list and is returned. Null on failure (no connection: a note says so;
  // a refused call: the caller tells).
  TTaskObjectPtr Insert(std::int32_t taskId);
  // As Insert for a task made by MakeTask and completed by the caller
  // (objects, filter) before the list shares it with the engine.
  bool InsertTask(const TTaskObjectPtr& task);

  QTabWidget* Pages() const { return m_pages; }
  QLineEdit* NameField() const { return m_name; }
  QPlainTextEdit* CommentField() const { return m_comment; }
  QCheckBox* BackupModeBox() const { return m_backupMode; }
  QSpinBox* DelayBox() const { return m_delay; }
  TSchedulePanel* Schedule() const { return m_schedule; }
  QPushButton* SaveButton() const { return m_save; }
  QPushButton* SaveAndRunButton() const { return m_saveAndRun; }
  QPushButton* BackButton() const { return m_back; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildGeneralPage();
  // The checks of both buttons; closes with result when they pass.
  void Confirm(TResult result);

  TPublicInfo& m_info;
  int m_kind;
  TResult m_result = TResult::None;
  QTabWidget* m_pages = nullptr;
  QLineEdit* m_name = nullptr;
  QPlainTextEdit* m_comment = nullptr;
  QCheckBox* m_backupMode = nullptr;
  QLabel* m_delayLabels[2] = {};
  QSpinBox* m_delay = nullptr;
  TSchedulePanel* m_schedule = nullptr;
  QPushButton* m_save = nullptr;
  QPushButton* m_saveAndRun = nullptr;
  QPushButton* m_back = nullptr;
};

}  // namespace solvane
