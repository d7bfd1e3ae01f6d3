#include "session/DosDateTime.h"

namespace solvane {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

}  // namespace

std::uint32_t EncodeDosDateTime(const TLocalDateTime& local) {
  if (local.year < kDosFirstYear || local.year > kDosLastYear) return 0;
  if (!IsValidDate(local.year, local.month, local.day)) return 0;
  // A leap second (60) is not valid in the packed form either.
  if (local.hour < 0 || local.hour > 23 || local.minute < 0 || local.minute > 59 ||
      local.second < 0 || local.second > 59) {
    return 0;
  }
  std::uint32_t date =
      static_cast<std::uint32_t>((local.year - kDosFirstYear) << 9 | local.month << 5 | local.day);
  std::uint32_t time =
      static_cast<std::uint32_t>(local.hour << 11 | local.minute << 5 | local.second / 2);
  return date << 16 | time;
}

bool DecodeDosDateTime(std::uint32_t packed, TLocalDateTime& out) {
  std::uint32_t date = packed >> 16;
  std::uint32_t time = packed & 0xFFFF;
  TLocalDateTime local;
  local.year = kDosFirstYear + static_cast<int>(date >> 9);
  local.month = static_cast<int>(date >> 5 & 0x0F);
  local.day = static_cast<int>(date & 0x1F);
  local.hour = static_cast<int>(time >> 11);
  local.minute = static_cast<int>(time >> 5 & 0x3F);
  local.second = static_cast<int>(time & 0x1F) * 2;
  if (!IsValidDate(local.year, local.month, local.day) || local.hour > 23 || local.minute > 59 ||
      local.second > 58) {
    return false;
  }
  out = local;
  return true;
}

std::uint32_t DateTimeToDos(DateTime t) { return EncodeDosDateTime(ToLocalDateTime(t)); }

bool DosToDateTime(std::uint32_t packed, DateTime& out) {
  TLocalDateTime local;
  if (!DecodeDosDateTime(packed, local)) return false;
  std::optional<DateTime> t = FromLocalDateTime(local);
  if (!t) return false;
  out = *t;
  return true;
}

}  // namespace solvane
