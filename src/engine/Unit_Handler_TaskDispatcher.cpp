#include "engine/Unit_Handler_TaskDispatcher.h"

#include <chrono>
#include <cmath>

#include "engine/TaskEngine.h"
#include "platform/CompletionSound.h"
#include "tasks/ErrorNotes.h"
#include "wire/QorWithNetTCPClient.h"
#include "tasks/TaskReports.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {

namespace {

using namespace std::chrono;

constexpr std::int64_t kMicrosPerMinute = 60'000'000;
constexpr std::int64_t kMicrosPerDay = 1440 * kMicrosPerMinute;
constexpr std::int64_t kMicrosPerWeek = 7 * kMicrosPerDay;
// 30.4375 days, the mean month.
constexpr std::int64_t kMicrosPerMonth = 2'629'800'000'000;
constexpr std::int64_t kDefaultPeriodMinutes = 480;

// Ceil(a / b) for b > 0.
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

sys_days CivilDay(const TLocalDateTime& l) {
  return sys_days{year{l.year} / month{static_cast<unsigned>(l.month)} /
                  day{static_cast<unsigned>(l.day)}};
}

// A moment as microseconds on the local wall clock (daylight saving shifts
// do not count), so spans are measured as the user's clock shows them.
std::int64_t WallClockMicros(DateTime t, bool dropFraction) {
  const TLocalDateTime l = ToLocalDateTime(t);
  const std::int64_t seconds =
      CivilDay(l).time_since_epoch().count() * 86400 + l.hour * 3600 + l.minute * 60 + l.second;
  std::int64_t fraction = 0;
  if (!dropFraction) {
    fraction = duration_cast<microseconds>(t.time_since_epoch()).count() % 1'000'000;
    if (fraction < 0) fraction += 1'000'000;
  }
  return seconds * 1'000'000 + fraction;
}

int WeekdayOf(const TLocalDateTime& l) {  // 0 Sunday .. 6 Saturday
  return static_cast<int>(weekday{CivilDay(l)}.c_encoding());
}

TScheduleVerdict DueWhen(bool due) {
  return due ? TScheduleVerdict::Due : TScheduleVerdict::NotDue;
}

// Kind 3: today's ordinal among the days of its month that fall on its
// weekday, checked against the prefix.
bool MonthlyOrdinalMatches(const TLocalDateTime& today, int prefix) {
  const auto ym = year{today.year} / month{static_cast<unsigned>(today.month)};
  const unsigned last = static_cast<unsigned>((ym / std::chrono::last).day());
  const int todayWeekday = WeekdayOf(today);
  int count = 0, pos = 0;
  for (unsigned d = 1; d <= last; ++d) {
    if (static_cast<int>(weekday{sys_days{ym / day{d}}}.c_encoding()) != todayWeekday) continue;
    ++count;
    if (static_cast<int>(d) == today.day) pos = count;
  }
  switch (prefix) {
    case 0:
      return pos == 1;
    case 1:
      return pos == 2;
    case 2:
      return pos == 3;
    case 3:
      return pos == count;
    case 4:
      return count == pos + 1;
    default:
      return true;
  }
}

double MinutesSinceStart(const TTaskObject& task, DateTime now) {
  return MinutesSincePacked(task.SessionID, now);
}

// The task goes on locally whatever its report or its sound did; what
// failed is noted.
template <typename F>
void Noting(IEngineContext& ctx, const char* what, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    NoteError(ctx, what, e.what());
  } catch (...) {
    NoteError(ctx, what, kUnknownErrorText);
  }
}

// A file the engines move in one segment from its first byte.
bool IsSmallFromStart(const TPostBagItem& item) {
  return item.ObjectSize <= kSegmentSize && AlignToSegment(item.refPosition) == 0;
}

}  // namespace

TScheduleVerdict EvaluateSchedule(const TTaskScheduleInfo& s, DateTime now) {
  const TLocalDateTime n = ToLocalDateTime(now);
  const TLocalDateTime start = ToLocalDateTime(s.Schedule_StartTime);
  const std::int64_t span =
      std::abs(WallClockMicros(now, false) - WallClockMicros(s.Schedule_StartTime, true));
  const bool sameClockTime = n.hour == start.hour && n.minute == start.minute;

  switch (s.Schedule_Kind) {
    case 0:
    case 1: {
      std::int64_t m = s.Schedule_Kind == 0
                           ? std::int64_t{s.Periodical_Days} * 1440 +
                                 std::int64_t{s.Periodical_Hours} * 60 + s.Periodical_Minites
                           : std::int64_t{s.Daily_Days} * 1440;
      if (m == 0) m = kDefaultPeriodMinutes;
      const std::int64_t j = CeilDiv(span - kMicrosPerMinute, kMicrosPerMinute);
      return DueWhen(j % m == 0);
    }
    case 2: {
      if (!sameClockTime) return TScheduleVerdict::PassedOver;
      const std::int64_t t = s.Weekly_Weeks == 0 ? 1 : s.Weekly_Weeks;
      if (CeilDiv(span, kMicrosPerWeek) % t != 0) return TScheduleVerdict::PassedOver;
      return DueWhen(s.IsWeekly_Day[(WeekdayOf(n) + 6) % 7]);
    }
    case 3: {
      if (!sameClockTime) return TScheduleVerdict::PassedOver;
      const std::int64_t f = s.Monthly_Months == 0 ? 1 : s.Monthly_Months;
      const bool base =
          (CeilDiv(span, kMicrosPerMonth) - 1) % f == 0 && s.Monthly_Day == WeekdayOf(n);
      return DueWhen(base && MonthlyOrdinalMatches(n, s.Monthly_Prefix));
    }
    default:
      return TScheduleVerdict::NotDue;
  }
}

bool IsScheduleDue(const TTaskScheduleInfo& schedule, DateTime now) {
  return EvaluateSchedule(schedule, now) == TScheduleVerdict::Due;
}

TTaskDispatcher::TTaskDispatcher(IEngineContext& ctx, TTaskEngine& engine)
    : TLoopingWorker(ctx, kCyclePauseMs),
      m_engine(engine),
      m_reports{[](IEngineContext& c, TTaskObject& t) { return ReportStart(c, t); },
                [](IEngineContext& c, TTaskObject& t) { return ReportStop(c, t); }} {}

void TTaskDispatcher::SetRunReports(TRunReports reports) { m_reports = std::move(reports); }

bool TTaskDispatcher::RunCycle(std::stop_token stop) {
  try {
    EvaluateSchedules(stop);
    bool changed = AdvanceTasks();
    changed = FeedPipeline() || changed;
    return changed;
  } catch (const std::exception& e) {
    NoteError(m_ctx, "任务调度出错", e.what());
    return false;
  } catch (...) {
    NoteError(m_ctx, "任务调度出错", kUnknownErrorText);
    return false;
  }
}

void TTaskDispatcher::EvaluateSchedules(std::stop_token stop) {
  for (const auto& task : m_ctx.Tasks().Snapshot()) {
    if (stop.stop_requested()) return;
    TTaskScheduleInfo schedule;
    {
      auto lock = task->Lock();
      if (task->IsTemporary || !task->ScheduleInfo.IsEnableSchedule) continue;
      schedule = task->ScheduleInfo;
    }
    const DateTime now = m_ctx.Now();
    const TScheduleVerdict verdict = EvaluateSchedule(schedule, now);
    if (verdict == TScheduleVerdict::Due) task->RequestStart(true, now, &m_ctx.Tasks().Stamps());
    if (verdict != TScheduleVerdict::PassedOver) m_ctx.Pace(kSchedulePauseMs);
  }
}

bool IsRunFinished(TTaskObject& task, IEngineContext& ctx) {
  auto lock = task.Lock();
  if (task.FolderList.Count() > 0 || task.PostBag.Count() > 0) return false;
  if (ctx.CurrentTask().get() != &task) return true;
  return ctx.IsFolderDetectorIdle() && ctx.IsCalcSlotEmpty();
}

bool TTaskDispatcher::AdvanceTasks() {
  const TTaskObjectPtr current = m_engine.CurrentTask();
  bool changed = false;
  if (!current) {
    if (auto waiting = m_ctx.Tasks().FindByState(kStateWaiting)) return StartWaitingTask(waiting);
  } else {
    const std::uint8_t state = current->State();
    if (state == kStateRunning && IsRunFinished(*current, m_ctx)) {
      current->RequestStop(true);  // reported in the next cycle
      return true;
    }
    if (state == kStateTerminated) {
      changed = EndCurrentTask(current);
    } else if (state == kStateWaiting || state == kStateIdle) {
      // Stopped and started again before its end was seen: that run is
      // over; the new one starts as any waiting task.
      m_engine.SetPipelineRunning(false);
      m_engine.ClearCurrentTask();
      changed = true;
    }
  }
  return RemoveOneTerminatedTemporary() || changed;
}

bool TTaskDispatcher::StartWaitingTask(const TTaskObjectPtr& task) {
  bool windowPassed = false;
  std::string name;
  {
    auto lock = task->Lock();
    const TTaskScheduleInfo& s = task->ScheduleInfo;
    windowPassed = s.IsEnableSchedule && s.DelayExcuteMinute >= 2 &&
                   std::ceil(MinutesSinceStart(*task, m_ctx.Now()) - 1) > s.DelayExcuteMinute;
    name = task->TaskName;
  }
  const bool waitedForServer = m_serverWait && m_serverWait->Task == task.get();
  if (windowPassed || (waitedForServer && ServerWaitExpired(*task))) {
    m_serverWait.reset();
    task->RequestStop(true);
    if (waitedForServer)
      m_ctx.Notes().ShowNote("任务“" + name + "”没有运行：到期后一直无法连接服务器。", kNoteError);
    return true;
  }
  // The run is made as the user signed in now, whoever signs in later.
  {
    auto lock = task->Lock();
    task->RunUserCode = m_ctx.UserCode();
  }
  bool started = false;
  Noting(m_ctx, "任务开始报告出错", [&] { started = m_reports.Start(m_ctx, *task); });
  if (!started) {
    const bool reachable = m_reports.ServerReachable ? m_reports.ServerReachable(m_ctx)
                                                     : m_ctx.Pool().AnyConnected();
    if (!reachable) {
      // The server cannot be reached: the task stays due and starts when
      // it answers again.
      if (!waitedForServer) {
        m_serverWait = TServerWait{task.get(), m_ctx.Now()};
        m_ctx.Notes().ShowNote("无法连接服务器，任务“" + name + "”将在服务器恢复后运行。",
                               kNoteWarning);
      }
      return false;
    }
    m_serverWait.reset();
    task->RequestStop(true);
    m_ctx.Notes().ShowNote("任务“" + name + "”没有运行：服务器拒绝了它的启动。", kNoteError);
    return true;
  }
  m_serverWait.reset();
  {
    auto lock = task->Lock();
    if (!task->MarkRunning()) return true;  // paused or stopped meanwhile
    task->ResetRuntime();
    m_engine.BeginRun(task);
  }
  m_engine.SetPipelineRunning(true);
  return true;
}

// A task without a start window of its own (a one-off task) waits for the
// server a bounded time; a scheduled one as long as its window allows.
bool TTaskDispatcher::ServerWaitExpired(const TTaskObject& task) {
  bool temporary = false;
  {
    auto lock = task.Lock();
    temporary = task.IsTemporary;
  }
  return temporary && m_ctx.Now() - m_serverWait->Since >= kOneOffServerWait;
}

bool TTaskDispatcher::EndCurrentTask(const TTaskObjectPtr& task) {
  // The end report carries the run's counters and failed files: let the
  // stages that still hold work of the run finish it first (bounded).
  if (!m_engine.IsPipelineSettled()) {
    const auto now = steady_clock::now();
    if (!m_settleSince) m_settleSince = now;
    if (now - *m_settleSince < kSettleLimit) return false;
  }
  m_settleSince.reset();
  Noting(m_ctx, "任务结束报告出错", [&] { m_reports.Stop(m_ctx, *task); });
  Noting(m_ctx, "任务结束出错", [&] { m_engine.SetPipelineRunning(false); });
  Noting(m_ctx, "完成提示音出错", [&] { PlayCompletionSound(m_engine.CompletionSoundFile()); });
  m_engine.ClearCurrentTask();
  return true;
}

bool TTaskDispatcher::RemoveOneTerminatedTemporary() {
  const TTaskObjectPtr current = m_engine.CurrentTask();
  for (const auto& task : m_ctx.Tasks().Snapshot()) {
    if (task == current || task->State() != kStateTerminated) continue;
    bool temporary = false;
    {
      auto lock = task->Lock();
      temporary = task->IsTemporary;
    }
    if (temporary) return m_ctx.Tasks().Remove(task.get());
  }
  return false;
}

bool TTaskDispatcher::FeedPipeline() {
  const TEngineRun run = m_engine.CurrentRun();
  if (!run.Task) return false;
  TTaskObject& task = *run.Task;
  TTaskCalcEngine& calc = m_engine.CalcEngine();
  TTaskTransEngineList& engines = m_engine.TransEngines();
  const bool fast = m_ctx.Pacing() == TPacing::Fast;
  const std::size_t feedLimit = fast ? kFastFeedLimit : kFeedLimit;
  bool handed = false;

  auto lock = task.Lock();
  if (!m_engine.IsCurrentRunning(task, run.Serial)) return false;
  if (task.PostBag.Count() <= feedLimit && calc.IsIdle()) {
    if (auto entry = task.FolderList.First()) {
      calc.Assign(run.Task, run.Serial, entry);
      handed = true;
    } else {
      for (std::size_t i = 0; i < engines.Count(); ++i)
        if (engines[i].IsIdle()) task.SetScreenContext(static_cast<int>(i), {});
    }
  }
  if (fast) return HandOutToAllEngines(run) || handed;
  auto item = task.PostBag.FirstInState(kItemChecked);
  if (item && item->Action == 1) {
    if (TTaskTransEngine* engine = engines.FirstIdleEngine()) {
      item->EngineIndex = engine->Index();
      task.PostBag.SetState(item, kItemDispatched);
      ++task.PostBag.Counters().FileDispatchedCount;
      engine->Assign(run.Task, run.Serial, item);
      handed = true;
    }
  }
  return handed;
}

bool TTaskDispatcher::HandOutToAllEngines(const TEngineRun& run) {
  TTaskObject& task = *run.Task;
  TTaskTransEngineList& engines = m_engine.TransEngines();
  std::vector<TPostBagItemPtr> ready;
  for (const TPostBagItemPtr& item : task.PostBag.InState(kItemChecked))
    if (item->Action == 1) ready.push_back(item);
  std::size_t next = 0;
  bool handed = false;
  for (std::size_t e = 0; e < engines.Count() && next < ready.size(); ++e) {
    TTaskTransEngine& engine = engines[e];
    if (!engine.IsIdle()) continue;
    // Small files travel together, up to a bound of files and bytes, so a
    // pause or stop still takes effect within about one file's time.
    std::vector<TPostBagItemPtr> batch{ready[next++]};
    std::int64_t bytes = batch.front()->ObjectSize;
    if (IsSmallFromStart(*batch.front())) {
      while (next < ready.size() && batch.size() < kFilesInFlight &&
             IsSmallFromStart(*ready[next]) && bytes + ready[next]->ObjectSize <= kBytesInFlight) {
        bytes += ready[next]->ObjectSize;
        batch.push_back(ready[next++]);
      }
    }
    for (const TPostBagItemPtr& item : batch) {
      item->EngineIndex = engine.Index();
      task.PostBag.SetState(item, kItemDispatched);
      ++task.PostBag.Counters().FileDispatchedCount;
    }
    engine.Assign(run.Task, run.Serial, std::move(batch));
    handed = true;
  }
  return handed;
}

}  // namespace solvane
