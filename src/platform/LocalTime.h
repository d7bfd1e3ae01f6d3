#pragma once
// Conversion between instants and the local calendar of this machine (its
// time zone and daylight saving rules).

#include <chrono>
#include <optional>

#include "solvane/DateTime.h"

namespace solvane {

// A local calendar date and wall-clock time, whole seconds.
struct TLocalDateTime {
  int year = 0;       // e.g. 2024
  int month = 0;      // 1..12
  int day = 0;        // 1..31
  int hour = 0;       // 0..23
  int minute = 0;     // 0..59
  int second = 0;     // 0..60
  int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday; filled by ToLocalDateTime, ignored as input
};

// The local date and time of t, the fraction of its second dropped.
TLocalDateTime ToLocalDateTime(DateTime t);

// The instant of a local date and time. Fields out of their range are
// carried over (day 0 is the last day of the month before); a wall-clock
// time skipped by a daylight saving change resolves as the C library does.
// nullopt when the result cannot be represented.
std::optional<DateTime> FromLocalDateTime(const TLocalDateTime& local);

}  // namespace solvane
