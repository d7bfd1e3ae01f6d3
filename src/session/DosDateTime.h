#pragma once
// Packed DOS date-time: the date in the high 16 bits ((year - 1980) << 9 |
// month << 5 | day), the time in the low 16 bits (hour << 11 | minute << 5 |
// second / 2). Used for the IDs of tasks made here, session IDs and the
// "ObjectDate" of files. Years 1980 to 2107; 0 is never a valid value.

#include <cstdint>

#include "platform/LocalTime.h"

namespace solvane {

inline constexpr int kDosFirstYear = 1980;
inline constexpr int kDosLastYear = 2107;

// The packed value of a local date and time, seconds rounded down to an
// even number; 0 when the year lies outside 1980..2107 or a field is no
// valid calendar value.
std::uint32_t EncodeDosDateTime(const TLocalDateTime& local);

// The fields of a packed value; false (out unchanged) when a field is out of
// range (month 1..12, day within the month, hour < 24, minute < 60,
// second / 2 < 30). dayOfWeek is not filled.
bool DecodeDosDateTime(std::uint32_t packed, TLocalDateTime& out);

// The packed value of an instant taken in local time; 0 out of range.
std::uint32_t DateTimeToDos(DateTime t);

// The instant of a packed local date-time; false when it does not decode or
// cannot be placed on the local calendar.
bool DosToDateTime(std::uint32_t packed, DateTime& out);

}  // namespace solvane
