#pragma once
// The disk space monitor: warns, through the note sink, when a fixed drive
// runs short of free space. Each drive gets one "空间已不足" warning per run
// of the program, then at most one "空间还有" warning every 10 minutes while
// its free space keeps shrinking.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace solvane {

class IEngineContext;
class IDrives;

// What the monitor remembers of one drive.
struct TWatchedDrive {
  std::string Root;
  bool Warned = false;
  std::int64_t LastWarningTick = 0;  // ms
  std::int64_t LastWarnedFreeMB = 0;
};

// The monitor's check as a function of its drives, their free megabytes
// (same order), the threshold and the tick count (ms): the warning texts due
// now; the drives' records are updated.
std::vector<std::string> CheckDiskSpace(std::vector<TWatchedDrive>& drives,
                                        const std::vector<std::int64_t>& freeMB,
                                        std::int32_t thresholdMB, std::int64_t nowTick);

// Megabytes from free bytes, rounded toward zero; unreadable counts as 0.
std::int64_t FreeMegabytes(const std::optional<std::int64_t>& freeBytes);

class TMonitorDiskThread {
 public:
  static constexpr std::int32_t kDefaultThresholdMB = 5000;
  static constexpr std::int64_t kRepeatAfterMs = 600000;

  // REQUIRES: ctx and drives outlive the monitor.
  TMonitorDiskThread(IEngineContext& ctx, IDrives& drives);
  ~TMonitorDiskThread();
  TMonitorDiskThread(const TMonitorDiskThread&) = delete;
  TMonitorDiskThread& operator=(const TMonitorDiskThread&) = delete;

  // The first call reads the drive list and takes the threshold, then starts
  // the checks (every 2.5 s); later calls change nothing.
  void Start(std::int32_t warningSpaceMB);
  void Stop();

  // One check now, at the given tick (the thread's step).
  void CheckNow(std::int64_t nowTick);
  std::int32_t Threshold() const;
  std::vector<std::string> Roots() const;

 private:
  void Body(std::stop_token stop);

  IEngineContext& m_ctx;
  IDrives& m_drives;
  mutable std::mutex m_mutex;
  std::condition_variable_any m_wake;
  std::vector<TWatchedDrive> m_watched;
  std::int32_t m_threshold = kDefaultThresholdMB;
  bool m_started = false;
  std::jthread m_thread;
};

}  // namespace solvane
