#pragma once
// The packed date-times that name what this client starts: the IDs of tasks
// made here and the SessionID of every run. Each series never repeats a
// value, also across processes sharing the settings (the desktop client and
// solvane-cli): the last value given out is kept in the settings, and a new
// one is now or, when now is not past it, the next two-second step after it.
// A run is known to the server by (TaskID, SessionID), so two runs within
// the two seconds of one packed time would otherwise be one run.

#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/IRegistry.h"
#include "platform/LocalTime.h"

namespace solvane {

enum class TStampSeries { TaskID, SessionID };

class TRunStamps {
 public:
  // registry null: unique within this process only.
  explicit TRunStamps(IRegistry* registry = nullptr) : m_registry(registry) {}
  void UseRegistry(IRegistry* registry);

  // A new value of the series: the packed time of now, stepped on by two
  // seconds while it is not past the last value given out or taken(value)
  // is true. When the settings cannot be read or written the value is still
  // unique within this process. 0 when the clock lies outside the years a
  // packed date-time can hold.
  std::uint32_t Next(TStampSeries series, DateTime now,
                     const std::function<bool(std::uint32_t)>& taken = {});

  // The setting that keeps the last value of the series.
  static const char* SettingName(TStampSeries series);

 private:
  std::uint32_t StepPast(std::uint32_t last, DateTime now,
                         const std::function<bool(std::uint32_t)>& taken) const;

  std::mutex m_mutex;
  IRegistry* m_registry;
  std::uint32_t m_last[2] = {0, 0};
};

}  // namespace solvane
