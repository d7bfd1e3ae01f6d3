#pragma once
// The dispatcher: the one scheduler thread. Each cycle it requests the start
// of the named tasks whose schedule is due, starts the first waiting task
// when none runs, ends the finished one with its reports, and feeds the
// pipeline (one folder to the calc stage, one checked file to an idle
// transfer engine).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>

#include "engine/EngineWorker.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TTaskEngine;
struct TEngineRun;

// What a schedule says at a moment. PassedOver: a weekly or monthly
// schedule whose clock time or week does not match (the dispatcher then
// skips the per-schedule pause).
enum class TScheduleVerdict { Due, NotDue, PassedOver };

// The schedule rules, spans measured on the local wall clock:
//  0 periodical: m = days*1440 + hours*60 + minutes (480 when 0);
//    due when Ceil(MinuteSpan - 1) mod m = 0.
//  1 every N days: m = N*1440 (480 when 0), as kind 0.
//  2 every N weeks: hour and minute as the start's; Ceil(WeekSpan) mod N = 0;
//    today's weekday ticked.
//  3 every N months: hour and minute as the start's;
//    (Ceil(days / 30.4375) - 1) mod N = 0; today is weekday Monthly_Day and
//    its ordinal in the month matches Monthly_Prefix (first, second, third,
//    last, second to last).
// Spans are absolute, so times before the start count too. Other kinds are
// never due. The enable flag is not looked at.
TScheduleVerdict EvaluateSchedule(const TTaskScheduleInfo& schedule, DateTime now);
bool IsScheduleDue(const TTaskScheduleInfo& schedule, DateTime now);

// Whether the run of task has nothing left: its folder list and queue are
// empty and, when it is the current task, the folder detector is idle and
// the calc slot empty.
bool IsRunFinished(TTaskObject& task, IEngineContext& ctx);

// The run reports the dispatcher sends (ReportStart, ReportStop by default),
// and how it tells, after a failed start report, whether the server was
// reachable at all (by default: whether any connection is up).
struct TRunReports {
  std::function<bool(IEngineContext&, TTaskObject&)> Start;
  std::function<bool(IEngineContext&, TTaskObject&)> Stop;
  std::function<bool(IEngineContext&)> ServerReachable;
};

class TTaskDispatcher : public TLoopingWorker {
 public:
  static constexpr int kCyclePauseMs = 100;
  static constexpr int kSchedulePauseMs = 100;
  static constexpr std::size_t kFeedLimit = 5;  // queue items that hold back the calc stage
  // Under the fast profile: the calc stage runs ahead further, so the check
  // stage and the engines always find work, and idle engines each get their
  // share of the checked files in one cycle (small files several at once,
  // up to kFilesInFlight files and kBytesInFlight bytes).
  static constexpr std::size_t kFastFeedLimit = 512;
  static constexpr std::size_t kFilesInFlight = 16;
  static constexpr std::int64_t kBytesInFlight = 1 << 20;
  // How long the end report waits for the stages to let go of the run.
  static constexpr std::chrono::seconds kSettleLimit{15};
  // How long a one-off task waits for an unreachable server before it is
  // given up (scheduled tasks wait within their start window).
  static constexpr std::chrono::seconds kOneOffServerWait{120};

  TTaskDispatcher(IEngineContext& ctx, TTaskEngine& engine);
  ~TTaskDispatcher() override { Stop(); }

  // REQUIRES: before the dispatcher runs.
  void SetRunReports(TRunReports reports);

  // One cycle: the three steps in order; an error raised ends the cycle.
  // True when something was started, ended or handed out. A stop request
  // cuts the schedule evaluation short.
  bool RunCycle(std::stop_token stop = {});
  void EvaluateSchedules(std::stop_token stop = {});
  bool AdvanceTasks();
  bool FeedPipeline();

 protected:
  bool Step(std::stop_token stop) override { return RunCycle(stop); }

 private:
  // REQUIRES: the run's task lock held.
  bool HandOutToAllEngines(const TEngineRun& run);
  bool StartWaitingTask(const TTaskObjectPtr& task);
  bool ServerWaitExpired(const TTaskObject& task);
  bool EndCurrentTask(const TTaskObjectPtr& task);
  bool RemoveOneTerminatedTemporary();

  TTaskEngine& m_engine;
  TRunReports m_reports;
  // When the current run was first seen terminated with stages still busy.
  std::optional<std::chrono::steady_clock::time_point> m_settleSince;
  // The waiting task that could not start because the server was
  // unreachable, and since when (identity only; never dereferenced).
  struct TServerWait {
    const TTaskObject* Task = nullptr;
    DateTime Since;  // the engine's clock
  };
  std::optional<TServerWait> m_serverWait;
};

}  // namespace solvane
