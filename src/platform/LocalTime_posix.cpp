#include <cerrno>
#include <ctime>

#include "platform/LocalTime.h"

namespace solvane {

TLocalDateTime ToLocalDateTime(DateTime t) {
  using namespace std::chrono;
  std::time_t seconds =
      static_cast<std::time_t>(floor<std::chrono::seconds>(t.time_since_epoch()).count());
  std::tm tm{};
  ::localtime_r(&seconds, &tm);
  TLocalDateTime local;
  local.year = tm.tm_year + 1900;
  local.month = tm.tm_mon + 1;
  local.day = tm.tm_mday;
  local.hour = tm.tm_hour;
  local.minute = tm.tm_min;
  local.second = tm.tm_sec;
  local.dayOfWeek = tm.tm_wday;
  return local;
}

std::optional<DateTime> FromLocalDateTime(const TLocalDateTime& local) {
  std::tm tm{};
  tm.tm_year = local.year - 1900;
  tm.tm_mon = local.month - 1;
  tm.tm_mday = local.day;
  tm.tm_hour = local.hour;
  tm.tm_min = local.minute;
  tm.tm_sec = local.second;
  tm.tm_isdst = -1;
  errno = 0;
  std::time_t seconds = std::mktime(&tm);
  // -1 is also the valid instant one second before the epoch.
  if (seconds == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
  // DateTime counts in units finer than seconds: keep to its range.
  constexpr auto kLimit =
      std::chrono::duration_cast<std::chrono::seconds>(DateTime::duration::max()).count() - 1;
  if (seconds > kLimit || seconds < -kLimit) return std::nullopt;
  return DateTime(std::chrono::seconds(seconds));
}

}  // namespace solvane
