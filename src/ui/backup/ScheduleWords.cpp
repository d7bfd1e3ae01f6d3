#include "ui/backup/ScheduleWords.h"

#include <QStringList>

#include "platform/LocalTime.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QString TimeOfDay(DateTime t) {
  const TLocalDateTime local = ToLocalDateTime(t);
  return QString::asprintf("%02d:%02d", local.hour, local.minute);
}

QString DateAndTime(DateTime t) {
  const TLocalDateTime local = ToLocalDateTime(t);
  return QString::asprintf("%04d-%02d-%02d %02d:%02d", local.year, local.month, local.day,
                           local.hour, local.minute);
}

// "每N<unit>" with "每<unit>" for one ("每天", "每周", "每月").
QString Every(std::int32_t count, const char* single, const char* many) {
  return count <= 1 ? U(single) : U("每") + QString::number(count) + U(many);
}

QString Periodical(const TTaskScheduleInfo& s) {
  QString period;
  if (s.Periodical_Days > 0) period += QString::number(s.Periodical_Days) + U("天");
  if (s.Periodical_Hours > 0) period += QString::number(s.Periodical_Hours) + U("小时");
  if (s.Periodical_Minites > 0) period += QString::number(s.Periodical_Minites) + U("分钟");
  if (period.isEmpty()) return U("周期为0，不会执行");
  return U("自") + DateAndTime(s.Schedule_StartTime) + U("起每隔") + period;
}

QString Weekly(const TTaskScheduleInfo& s) {
  static const char* const kDays[7] = {"一", "二", "三", "四", "五", "六", "日"};
  QStringList days;
  for (int d = 0; d < 7; ++d)
    if (s.IsWeekly_Day[d]) days << U(kDays[d]);
  const QString every = Every(s.Weekly_Weeks, "每周", "周的周");
  if (days.isEmpty()) return every + U("（未选中任何一天，不会执行）");
  return every + days.join(U("、")) + " " + TimeOfDay(s.Schedule_StartTime);
}

QString Monthly(const TTaskScheduleInfo& s) {
  static const char* const kOrdinals[5] = {"第一个", "第二个", "第三个", "最后一个",
                                           "倒数第二个"};
  static const char* const kDays[7] = {"星期天", "星期一", "星期二", "星期三",
                                       "星期四", "星期五", "星期六"};
  const bool known = s.Monthly_Prefix >= 0 && s.Monthly_Prefix < 5 && s.Monthly_Day >= 0 &&
                     s.Monthly_Day < 7;
  const QString which = known ? U(kOrdinals[s.Monthly_Prefix]) + U(kDays[s.Monthly_Day]) : "?";
  return Every(s.Monthly_Months, "每月", "个月的") + which + " " +
         TimeOfDay(s.Schedule_StartTime);
}

}  // namespace

QString ScheduleInWords(const TTaskScheduleInfo& s) {
  if (!s.IsEnableSchedule) return U("未启用时间策略，仅手动启动");
  switch (s.Schedule_Kind) {
    case 0:
      return Periodical(s);
    case 1:
      return Every(s.Daily_Days, "每天", "天") + " " + TimeOfDay(s.Schedule_StartTime);
    case 2:
      return Weekly(s);
    case 3:
      return Monthly(s);
  }
  return U("时间策略无法识别");
}

}  // namespace solvane
