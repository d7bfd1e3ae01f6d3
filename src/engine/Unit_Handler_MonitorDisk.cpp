#include "engine/Unit_Handler_MonitorDisk.h"

#include <chrono>

#include "tasks/EngineContext.h"
#include "platform/Drives.h"

namespace solvane {

namespace {

// The monitor's period is a polling interval, not a pause of the engine's
// work, so it holds under every pacing profile.
constexpr std::chrono::milliseconds kBeforeCheck{2000};
constexpr std::chrono::milliseconds kAfterCheck{500};

std::int64_t TickNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::int64_t FreeMegabytes(const std::optional<std::int64_t>& freeBytes) {
  return freeBytes && *freeBytes > 0 ? *freeBytes / 1024 / 1024 : 0;
}

std::vector<std::string> CheckDiskSpace(std::vector<TWatchedDrive>& drives,
                                        const std::vector<std::int64_t>& freeMB,
                                        std::int32_t thresholdMB, std::int64_t nowTick) {
  std::vector<std::string> warnings;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    TWatchedDrive& d = drives[i];
    const std::int64_t free = i < freeMB.size() ? freeMB[i] : 0;
    if (free >= thresholdMB) continue;
    if (!d.Warned) {
      warnings.push_back("您当前的" + d.Root + "空间已不足" + std::to_string(thresholdMB) + "M");
    } else if (nowTick - d.LastWarningTick > TMonitorDiskThread::kRepeatAfterMs &&
               free < d.LastWarnedFreeMB) {
      warnings.push_back("您当前的" + d.Root + "空间还有" + std::to_string(free) + "M");
    } else {
      continue;
    }
    d.Warned = true;
    d.LastWarningTick = nowTick;
    d.LastWarnedFreeMB = free;
  }
  return warnings;
}

TMonitorDiskThread::TMonitorDiskThread(IEngineContext& ctx, IDrives& drives)
    : m_ctx(ctx), m_drives(drives) {}

TMonitorDiskThread::~TMonitorDiskThread() { Stop(); }

void TMonitorDiskThread::Start(std::int32_t warningSpaceMB) {
  std::vector<std::string> roots = m_drives.FixedDriveRoots();
  std::lock_guard lock(m_mutex);
  if (m_started) return;
  m_started = true;
  m_threshold = warningSpaceMB;
  for (auto& root : roots) m_watched.push_back({std::move(root), false, 0, warningSpaceMB});
  m_thread = std::jthread([this](std::stop_token stop) { Body(stop); });
}

void TMonitorDiskThread::Stop() {
  if (!m_thread.joinable()) return;
  m_thread.request_stop();
  m_wake.notify_all();
  m_thread.join();
}

std::int32_t TMonitorDiskThread::Threshold() const {
  std::lock_guard lock(m_mutex);
  return m_threshold;
}

std::vector<std::string> TMonitorDiskThread::Roots() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> roots;
  for (const auto& d : m_watched) roots.push_back(d.Root);
  return roots;
}

void TMonitorDiskThread::CheckNow(std::int64_t nowTick) {
  std::vector<std::int64_t> freeMB;
  for (const auto& root : Roots()) freeMB.push_back(FreeMegabytes(m_drives.FreeBytes(root)));
  std::vector<std::string> warnings;
  {
    std::lock_guard lock(m_mutex);
    warnings = CheckDiskSpace(m_watched, freeMB, m_threshold, nowTick);
  }
  for (const auto& text : warnings) m_ctx.Notes().ShowNote(text, kNoteWarning);
}

void TMonitorDiskThread::Body(std::stop_token stop) {
  const auto waitFor = [&](std::chrono::milliseconds span) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, stop, span, [] { return false; }) && !stop.stop_requested();
  };
  while (waitFor(kBeforeCheck)) {
    CheckNow(TickNow());
    if (!waitFor(kAfterCheck)) return;
  }
}

}  // namespace solvane
