// Schedule evaluation at chosen moments of the local clock.

#include <gtest/gtest.h>

#include "engine/Unit_Handler_TaskDispatcher.h"
#include "platform/LocalTime.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using V = TScheduleVerdict;

DateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  auto t = FromLocalDateTime({y, mo, d, h, mi, s});
  EXPECT_TRUE(t.has_value());
  return *t + std::chrono::milliseconds(ms);
}

TTaskScheduleInfo Periodical(int days, int hours, int minutes, DateTime start) {
  TTaskScheduleInfo s;
  s.IsEnableSchedule = true;
  s.Schedule_Kind = 0;
  s.Periodical_Days = days;
  s.Periodical_Hours = hours;
  s.Periodical_Minites = minutes;
  s.Schedule_StartTime = start;
  return s;
}

struct TCase {
  const char* what;
  TTaskScheduleInfo schedule;
  DateTime now;
  V expected;
};

void ExpectAll(const std::vector<TCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(EvaluateSchedule(c.schedule, c.now), c.expected) << c.what;
}

TEST(ScheduleEvaluation, PeriodicalAndDailyWindowsFollowCeilOfSpanMinusOne) {
  const DateTime nine = At(2024, 3, 4, 9, 0, 0);
  const auto every10 = Periodical(0, 0, 10, nine);
  // Start time with milliseconds: they are dropped before the span is taken.
  const auto every10ms = Periodical(0, 0, 10, nine + 700ms);
  const auto every0 = Periodical(0, 0, 0, nine);
  const auto dayAndTwoHours = Periodical(1, 2, 0, nine);
  TTaskScheduleInfo everyTwoDays = every10;
  everyTwoDays.Schedule_Kind = 1;
  everyTwoDays.Daily_Days = 2;
  TTaskScheduleInfo daily0 = everyTwoDays;
  daily0.Daily_Days = 0;

  ExpectAll({
      {"just before the window", every10, At(2024, 3, 4, 8, 58, 59, 999), V::NotDue},
      {"window opens a minute early", every10, At(2024, 3, 4, 8, 59, 0), V::Due},
      {"08:59:30", every10, At(2024, 3, 4, 8, 59, 30), V::Due},
      {"exactly the start: J is -1", every10, nine, V::NotDue},
      {"start time's milliseconds dropped", every10ms, nine, V::NotDue},
      {"just after the start", every10, nine + 1ms, V::Due},
      {"window closes at 09:01:00", every10, At(2024, 3, 4, 9, 1, 0), V::Due},
      {"after the window", every10, At(2024, 3, 4, 9, 1, 0, 1), V::NotDue},
      {"09:10:00 itself is J 9", every10, At(2024, 3, 4, 9, 10, 0), V::NotDue},
      {"just after 09:10", every10, At(2024, 3, 4, 9, 10, 0, 500), V::Due},
      {"09:11:00", every10, At(2024, 3, 4, 9, 11, 0), V::Due},
      {"09:15", every10, At(2024, 3, 4, 9, 15, 0), V::NotDue},
      {"a whole period before the start", every10, At(2024, 3, 4, 8, 49, 30), V::Due},
      {"0/0/0 means 480 minutes", every0, At(2024, 3, 4, 17, 0, 30), V::Due},
      {"480: 10 minutes later is not due", every0, At(2024, 3, 4, 9, 10, 30), V::NotDue},
      {"1 day 2 hours", dayAndTwoHours, At(2024, 3, 5, 11, 0, 30), V::Due},
      {"1 day 2 hours: one day is not", dayAndTwoHours, At(2024, 3, 5, 9, 0, 30), V::NotDue},
      {"every 2 days", everyTwoDays, At(2024, 3, 6, 9, 0, 30), V::Due},
      {"every 2 days: next day not", everyTwoDays, At(2024, 3, 5, 9, 0, 30), V::NotDue},
      {"0 days means 480 minutes", daily0, At(2024, 3, 4, 17, 0, 30), V::Due},
  });
}

TEST(ScheduleEvaluation, WeeklyNeedsClockTimeWeekSpanAndTickedDay) {
  // Every 2 weeks, Monday and Wednesday, 08:30, from Monday 2024-03-04.
  TTaskScheduleInfo s;
  s.IsEnableSchedule = true;
  s.Schedule_Kind = 2;
  s.Weekly_Weeks = 2;
  s.IsWeekly_Day[0] = true;  // Monday
  s.IsWeekly_Day[2] = true;  // Wednesday
  s.Schedule_StartTime = At(2024, 3, 4, 8, 30, 0);
  TTaskScheduleInfo everyWeek = s;
  everyWeek.Weekly_Weeks = 0;
  TTaskScheduleInfo sunday = everyWeek;
  sunday.IsWeekly_Day[6] = true;

  ExpectAll({
      {"start itself: week span 0", s, At(2024, 3, 4, 8, 30, 0), V::Due},
      {"first week is odd", s, At(2024, 3, 6, 8, 30, 20), V::PassedOver},
      {"Monday of the second week", s, At(2024, 3, 11, 8, 30, 20), V::Due},
      {"Wednesday of the second week", s, At(2024, 3, 13, 8, 30, 0), V::Due},
      {"Tuesday is not ticked", s, At(2024, 3, 12, 8, 30, 0), V::NotDue},
      {"minute differs", s, At(2024, 3, 11, 8, 31, 0), V::PassedOver},
      {"hour differs", s, At(2024, 3, 11, 9, 30, 0), V::PassedOver},
      {"third week is odd", s, At(2024, 3, 18, 8, 30, 30), V::PassedOver},
      {"0 weeks means every week", everyWeek, At(2024, 3, 6, 8, 30, 0), V::Due},
      {"Sunday is Day7", sunday, At(2024, 3, 10, 8, 30, 0), V::Due},
      {"Sunday not ticked", everyWeek, At(2024, 3, 10, 8, 30, 0), V::NotDue},
  });
}

TEST(ScheduleEvaluation, MonthlyOrdinalsCountTheWeekdayWithinTheMonth) {
  // Fridays of March 2024: 1, 8, 15, 22, 29. 18:00, from 2024-01-01.
  auto monthly = [](int prefix, int day = 5, int months = 1) {
    TTaskScheduleInfo s;
    s.IsEnableSchedule = true;
    s.Schedule_Kind = 3;
    s.Monthly_Prefix = prefix;
    s.Monthly_Day = day;
    s.Monthly_Months = months;
    s.Schedule_StartTime = At(2024, 1, 1, 18, 0, 0);
    return s;
  };
  ExpectAll({
      {"first Friday", monthly(0), At(2024, 3, 1, 18, 0, 30), V::Due},
      {"first: the second Friday is not", monthly(0), At(2024, 3, 8, 18, 0, 30), V::NotDue},
      {"second Friday", monthly(1), At(2024, 3, 8, 18, 0, 0), V::Due},
      {"third Friday", monthly(2), At(2024, 3, 15, 18, 0, 59), V::Due},
      {"third: the fourth is not", monthly(2), At(2024, 3, 22, 18, 0, 0), V::NotDue},
      {"last Friday", monthly(3), At(2024, 3, 29, 18, 0, 10), V::Due},
      {"last: the fourth of five is not", monthly(3), At(2024, 3, 22, 18, 0, 10), V::NotDue},
      {"last in a four-Friday month", monthly(3), At(2024, 2, 23, 18, 0, 0), V::Due},
      {"second to last", monthly(4), At(2024, 3, 22, 18, 0, 10), V::Due},
      {"second to last: the last is not", monthly(4), At(2024, 3, 29, 18, 0, 10), V::NotDue},
      {"other prefix: any matching Friday", monthly(7), At(2024, 3, 8, 18, 0, 0), V::Due},
      {"clock time differs", monthly(3), At(2024, 3, 29, 17, 59, 0), V::PassedOver},
      {"weekday differs whatever the prefix", monthly(3, 4), At(2024, 3, 29, 18, 0, 0), V::NotDue},
      {"Thursday schedule on the last Thursday", monthly(3, 4), At(2024, 3, 28, 18, 0, 0), V::Due},
      {"every 2 months: third month span", monthly(3, 5, 2), At(2024, 3, 29, 18, 0, 0), V::Due},
      {"every 2 months: fourth month span", monthly(3, 5, 2), At(2024, 4, 26, 18, 0, 0), V::NotDue},
  });
}

TEST(ScheduleEvaluation, UnknownKindIsNeverDue) {
  auto s = Periodical(0, 0, 10, At(2024, 3, 4, 9, 0, 0));
  s.Schedule_Kind = 4;
  EXPECT_FALSE(IsScheduleDue(s, At(2024, 3, 4, 8, 59, 30)));
  s.Schedule_Kind = 0;
  EXPECT_TRUE(IsScheduleDue(s, At(2024, 3, 4, 8, 59, 30)));
}

}  // namespace
}  // namespace solvane
