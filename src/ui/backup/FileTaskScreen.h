#pragma once
// What the file backup and folder sync screens share: the header with the
// help link, the target page and the "过滤器" page, and the two buttons.
// "立即执行" runs the choice once as a temporary task; "保存为任务" makes
// a named task through "设置任务属性" and sends its objects and filter to
// the server. A named task whose content could not be sent is removed again
// (a half-defined task must not run on its schedule); a temporary task that
// could not start leaves the list.

#include <QString>
#include <vector>

#include "tasks/Unit_Handler_Define.h"
#include "ui/backup/FilterPage.h"
#include "ui/shell/QorWithUIDynamicForm.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace solvane {

class TFileTaskScreen : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  // The failure texts that differ between the two screens.
  struct TTexts {
    const char* Title;
    const char* HelpLink;
    int HelpSubTopic;
    const char* TargetPage;
    const char* NothingChosen;
    const char* FilterFailed;
    const char* FilterExFailed;
  };

  TFileTaskScreen(TUiShell& shell, int taskKind, const TTexts& texts,
                  TFilterPage::TStyle filterStyle, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return m_pages; }
  TFilterPage* Filter() const { return m_filter; }
  QPushButton* RunNowButton() const { return m_runNow; }
  QPushButton* SaveAsTaskButton() const { return m_saveAsTask; }
  QLabel* HelpLink() const { return m_help; }

  // The buttons' sequences (public for tests).
  void RunNow();
  void SaveAsTask();

 protected:
  // The target page's content; set once from the constructor of the screen.
  void SetTargetPage(QWidget* page);
  // The objects the screen's choice makes; false (after its own error note)
  // when nothing is chosen.
  virtual bool CollectObjects(std::vector<TTaskFileObject>& objects) = 0;
  // After a temporary task started.
  virtual void RunStarted(std::int32_t taskId) = 0;
  // After a sequence succeeded: the file backup screen forgets its choice.
  virtual void ChoiceUsed() {}
  void showEvent(QShowEvent* event) override;

 private:
  // A task of the screen's kind with the choice and the filter.
  void FillContent(TTaskObject& task, const std::vector<TTaskFileObject>& objects) const;
  // Removes the named task whose content did not reach the server.
  void RollBack(const TTaskObjectPtr& task);
  void StartNamed(std::int32_t taskId);

  int m_kind;
  TTexts m_texts;
  QTabWidget* m_pages = nullptr;
  TFilterPage* m_filter = nullptr;
  QLabel* m_help = nullptr;
  QPushButton* m_runNow = nullptr;
  QPushButton* m_saveAsTask = nullptr;
};

// Numbers in notes: the TaskID in decimal.
QString TaskIdText(std::int32_t taskId);

}  // namespace solvane
