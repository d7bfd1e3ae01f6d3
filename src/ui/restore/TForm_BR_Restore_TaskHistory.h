#pragma once
// "按 任 务 恢 复": one past run of a task is chosen from the server's run log,
// its folders and files are ticked, and they come back in the versions that
// run stored.

#include <cstdint>
#include <vector>

#include "client/RestoreTask.h"
#include "ui/shell/QorWithUIDynamicForm.h"

class QDateEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace solvane {

class TRestoreOptionsPage;
class TRunObjectTree;

class TForm_BR_Restore_TaskHistory : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  enum TPage { kPageRuns = 0, kPageObjects = 1, kPageOptions = 2 };

  explicit TForm_BR_Restore_TaskHistory(TUiShell& shell, QWidget* parent = nullptr);

  // The last seven days up to today, an empty run list, one page back.
  void Opening() override;
  void FindRuns();
  void Next();
  void Back();
  void RunRestore();

  int Page() const;
  QDateEdit* StartDate() const { return m_startDate; }
  QDateEdit* EndDate() const { return m_endDate; }
  QTreeWidget* Runs() const { return m_runs; }
  TRunObjectTree* Objects() const { return m_objects; }
  TRestoreOptionsPage* Options() const { return m_options; }
  QPushButton* FindButton() const { return m_find; }
  QPushButton* NextButton() const { return m_next; }
  QPushButton* BackButton() const { return m_back; }
  QPushButton* RunButton() const { return m_run; }
  const std::vector<TTaskObjectPtr>& StartedTasks() const { return m_started; }

 private:
  void ShowPage(int page);
  bool LoadRunFolders();
  // The restore the ticked nodes ask for; false when nothing results.
  bool CollectOrder(TRestoreOrder& order);

  QStackedWidget* m_pages = nullptr;
  QDateEdit* m_startDate = nullptr;
  QDateEdit* m_endDate = nullptr;
  QPushButton* m_find = nullptr;
  QTreeWidget* m_runs = nullptr;
  TRunObjectTree* m_objects = nullptr;
  TRestoreOptionsPage* m_options = nullptr;
  QPushButton* m_back = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_run = nullptr;
  int m_runKind = 0;  // of the run whose objects are shown
  std::vector<TTaskObjectPtr> m_started;
};

}  // namespace solvane
