#include "ui/shell/TForm_Process.h"

#include "client/Unit_PublicInfo.h"
#include "ui/backup/TForm_BR_Process.h"
#include "ui/backup/TForm_BR_TaskReport.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

std::string TextAt(TLocalDateTime day, int hour, int minute, int second) {
  day.hour = hour;
  day.minute = minute;
  day.second = second;
  const auto instant = FromLocalDateTime(day);
  return instant ? FormatDateTime(*instant) : std::string();
}

}  // namespace

std::pair<std::string, std::string> CurrentWeekRange(DateTime now) {
  const TLocalDateTime today = ToLocalDateTime(now);
  TLocalDateTime monday = today;
  monday.day -= (today.dayOfWeek + 6) % 7;  // carried into the month before when needed
  return {TextAt(monday, 0, 0, 0), TextAt(today, 23, 59, 59)};
}

TForm_Process::TForm_Process(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("进度"), parent) {
  AddLink(QString::fromUtf8("任务监视"), "LinkTaskWatch",
          [this] { OpenContent<TForm_BR_Process>(); });
  AddLink(QString::fromUtf8("历史任务"), "LinkTaskReport", [this] { ShowTaskReport(); });
}

void TForm_Process::Opening() { OpenContent<TForm_BR_Process>(); }

void TForm_Process::ShowTaskReport() {
  TPublicInfo& info = Shell().Info();
  const auto [start, end] = CurrentWeekRange(info.Now());
  info.SetSharedParam("TaskReport_StartDate", start);
  info.SetSharedParam("TaskReport_EndDate", end);
  OpenContent<TForm_BR_TaskReport>();
}

}  // namespace solvane
