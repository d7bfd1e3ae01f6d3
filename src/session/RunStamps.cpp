#include "session/RunStamps.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "session/DosDateTime.h"
#include "session/Unit_PublicInfo_Settings.h"

namespace solvane {

namespace {

std::uint32_t ParseStamp(const std::optional<std::string>& text) {
  std::uint32_t value = 0;
  if (!text) return 0;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, value);
  DateTime ignored;
  // A value that is no packed date-time cannot be stepped past: ignored.
  return ec == std::errc() && ptr == end && DosToDateTime(value, ignored) ? value : 0;
}

}  // namespace

void TRunStamps::UseRegistry(IRegistry* registry) {
  std::lock_guard g(m_mutex);
  m_registry = registry;
}

const char* TRunStamps::SettingName(TStampSeries series) {
  return series == TStampSeries::TaskID ? "LastTaskID" : "LastSessionID";
}

std::uint32_t TRunStamps::StepPast(std::uint32_t last, DateTime now,
                                   const std::function<bool(std::uint32_t)>& taken) const {
  // Packed values order as their times do, so "past" is a numeric compare.
  // Stepping starts from the later of now and the last value's time.
  DateTime lastTime;
  if (last != 0 && DosToDateTime(last, lastTime)) now = std::max(now, lastTime);
  std::uint32_t value = DateTimeToDos(now);
  // A local hour repeated by a daylight saving change packs to values not
  // past the last one for up to an hour of steps.
  for (int steps = 0; value != 0 && (value <= last || (taken && taken(value))); ++steps) {
    if (steps > 1'000'000) return 0;
    now += std::chrono::seconds(2);
    value = DateTimeToDos(now);
  }
  return value;
}

std::uint32_t TRunStamps::Next(TStampSeries series, DateTime now,
                               const std::function<bool(std::uint32_t)>& taken) {
  std::lock_guard g(m_mutex);
  std::uint32_t& lastHere = m_last[static_cast<int>(series)];
  std::uint32_t value = 0;
  if (m_registry) {
    const std::string name = SettingName(series);
    auto change = [&](const std::optional<std::string>& stored) -> std::optional<std::string> {
      value = StepPast(std::max(ParseStamp(stored), lastHere), now, taken);
      if (value == 0) return std::nullopt;
      return std::to_string(value);
    };
    if (!m_registry->UpdateString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf(name),
                                  TSettingsStore::ValueNameOf(name), change))
      value = 0;
  }
  if (value == 0) value = StepPast(lastHere, now, taken);
  if (value != 0) lastHere = value;
  return value;
}

}  // namespace solvane
