#pragma once
// "邮 件 备 份": the user picks a mail client, ticks whole mail folders or
// single messages and runs them once ("立即执行", a temporary task that
// carries the ticks) or saves them as a named task ("保存为任务", through
// "设置任务属性"). The ticks are cleared once a run started or a task was
// saved; after a failure they stay for another try. A named task whose
// content did not reach the server is removed again.

#include <cstdint>

#include "ui/shell/QorWithUIDynamicForm.h"

class QLabel;
class QPushButton;

namespace solvane {

class TMailPicker;
struct TMailSelection;

class TForm_BR_MCBackup : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_MCBackup(TUiShell& shell, QWidget* parent = nullptr);

  TMailPicker* Picker() const { return m_picker; }
  QPushButton* RunNowButton() const { return m_runNow; }
  QPushButton* SaveAsTaskButton() const { return m_saveAsTask; }
  QLabel* HelpLink() const { return m_help; }

  // The buttons' sequences (public for tests).
  void RunNow();
  void SaveAsTask();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The ticks, or nothing after the note "没有选中任何邮件对象!".
  bool TakeSelection(TMailSelection& selection);
  void RollBack(std::int32_t taskId, const std::string& name);
  void Start(std::int32_t taskId);

  TMailPicker* m_picker = nullptr;
  QLabel* m_help = nullptr;
  QPushButton* m_runNow = nullptr;
  QPushButton* m_saveAsTask = nullptr;
  bool m_shown = false;
};

}  // namespace solvane
