#pragma once
// Menu of the section "进度": the progress monitor and the task report.

#include <string>
#include <utility>

#include "platform/LocalTime.h"
#include "ui/shell/MenuScreen.h"

namespace solvane {

// The task report's default range for the moment now: Monday of its week at
// 00:00:00 and its day at 23:59:59, as date-time texts.
std::pair<std::string, std::string> CurrentWeekRange(DateTime now);

class TForm_Process : public TMenuScreen {
  Q_OBJECT
 public:
  explicit TForm_Process(TUiShell& shell, QWidget* parent = nullptr);
  // As "任务监视".
  void Opening() override;
  // "历史任务": writes the range into the shared parameters, then shows the
  // task report and runs its opening.
  void ShowTaskReport();
};

}  // namespace solvane
