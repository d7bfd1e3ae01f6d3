#pragma once
// "任 务 列 表": the user's named tasks from the task list in memory (one-off
// tasks are left out). The user starts one at once, deletes one on the
// server, or opens its property dialog; only deleting talks to the server.

#include <cstdint>

#include "ui/shell/QorWithUIDynamicForm.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TForm_BR_TaskList : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  // Columns of the list; each row keeps the TaskID (kKeyRole, decimal text)
  // and the TaskKind (kKindRole) of its task.
  enum TColumn { kColName, kColKind, kColDefault, kColCreated, kColComment, kColumns };
  static constexpr int kKeyRole = Qt::UserRole;
  static constexpr int kKindRole = Qt::UserRole + 1;

  explicit TForm_BR_TaskList(TUiShell& shell, QWidget* parent = nullptr);
  // Refreshes and gives the list the focus.
  void Opening() override;

  // Redraws the rows from the task list (no server call) and selects the
  // first row.
  void Refresh();
  // Selects the first row of the task; false when it has none.
  bool SelectTask(std::int32_t taskId);

  QTreeWidget* TaskTree() const { return m_tree; }
  QPushButton* StartButton() const { return m_start; }
  QPushButton* DeleteButton() const { return m_delete; }
  QPushButton* PropertyButton() const { return m_property; }
  QPushButton* RefreshButton() const { return m_refresh; }
  QPushButton* HelpLink() const { return m_help; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartTask();
  void DeleteTask();
  void ShowProperties();
  void UpdateButtons();
  // Buttons off while a server call pumps events.
  void SetBusy(bool busy);
  // The selected row's TaskID; -1 when none is selected or the key is not a
  // number.
  std::int32_t SelectedTaskID() const;
  QTreeWidgetItem* Selected() const;

  QTreeWidget* m_tree = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_delete = nullptr;
  QPushButton* m_property = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_help = nullptr;
  bool m_busy = false;
};

}  // namespace solvane
