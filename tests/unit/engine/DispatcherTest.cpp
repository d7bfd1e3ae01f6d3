// The dispatcher's cycle driven by hand, with scripted tasks, run reports
// that are counted instead of sent, and the real stage threads.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "EngineTestSupport.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using enginetest::MakeCurrent;
using enginetest::TEngineTestContext;
using enginetest::TScriptedTask;
using enginetest::WaitUntil;

DateTime At(int y, int mo, int d, int h, int mi, int s) {
  return *FromLocalDateTime({y, mo, d, h, mi, s});
}

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ctx.SetNow(At(2024, 3, 29, 8, 59, 30));
    dispatcher().SetRunReports({[this](IEngineContext&, TTaskObject&) {
                                  ++starts;
                                  return startSucceeds.load();
                                },
                                [this](IEngineContext&, TTaskObject& t) {
                                  ++stops;
                                  stoppedWithErrors = t.PostBag.Counters().FileErrorCount.load();
                                  return true;
                                },
                                [this](IEngineContext&) { return serverReachable.load(); }});
  }

  TTaskDispatcher& dispatcher() { return ctx.Engine().Dispatcher(); }
  TTaskEngine& engine() { return ctx.Engine(); }

  std::shared_ptr<TScriptedTask> AddTask(bool temporary) {
    auto task = std::make_shared<TScriptedTask>();
    task->IsTemporary = temporary;
    ctx.Tasks().Add(task);
    return task;
  }
  // One cycle, after the stages have let go of what they were given.
  void Cycle() {
    ASSERT_TRUE(WaitUntil([&] { return engine().IsPipelineSettled(); }));
    dispatcher().RunCycle();
  }

  TEngineTestContext ctx;
  std::atomic<int> starts{0}, stops{0};
  std::atomic<bool> startSucceeds{true};
  std::atomic<bool> serverReachable{true};
  std::atomic<std::int64_t> stoppedWithErrors{-1};
};

TEST_F(Dispatcher, TaskRunsReportsAndOnlyATemporaryOneLeavesTheList) {
  for (bool temporary : {true, false}) {
    SCOPED_TRACE(temporary ? "temporary" : "named");
    ctx.Tasks().ClearTasks();
    starts = stops = 0;
    auto task = AddTask(temporary);
    ASSERT_TRUE(task->RequestStart(false, ctx.Now()));

    Cycle();  // waiting -> running, current, pipeline resumed
    EXPECT_EQ(task->State(), kStateRunning);
    EXPECT_EQ(engine().CurrentTask(), task);
    EXPECT_EQ(starts, 1);
    Cycle();  // finished -> terminated
    EXPECT_EQ(task->State(), kStateTerminated);
    EXPECT_EQ(stops, 0);
    Cycle();  // end report, current cleared, temporary task removed
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(engine().CurrentTask(), nullptr);
    EXPECT_EQ(task->Walks, 1);
    EXPECT_EQ(ctx.Tasks().Count(), temporary ? 0u : 1u);
    EXPECT_EQ(task->State(), kStateTerminated);
  }
}

TEST_F(Dispatcher, WaitingTaskThatCannotStartIsTerminatedWithoutEndReport) {
  struct TCase {
    const char* what;
    bool scheduled;
    int delay;
    std::chrono::seconds waited;
    bool startReportOk;
    std::uint8_t expected;
  };
  const TCase cases[] = {
      {"start window passed", true, 10, 11min + 1s, true, kStateTerminated},
      {"Ceil(11 - 1) is not above 10", true, 10, 11min, true, kStateRunning},
      {"delay below 2 never expires", true, 1, 11min + 1s, true, kStateRunning},
      {"unscheduled never expires", false, 10, 11min + 1s, true, kStateRunning},
      {"start report refused", true, 10, 0min, false, kStateTerminated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    engine().ClearCurrentTask();
    ctx.Tasks().ClearTasks();
    starts = stops = 0;
    startSucceeds = c.startReportOk;
    auto task = AddTask(false);
    task->ScheduleInfo.IsEnableSchedule = c.scheduled;
    task->ScheduleInfo.DelayExcuteMinute = c.delay;
    ASSERT_TRUE(task->RequestStart(false, ctx.Now()));
    ctx.Advance(c.waited);
    Cycle();
    EXPECT_EQ(task->State(), c.expected);
    EXPECT_EQ(engine().CurrentTask() != nullptr, c.expected == kStateRunning);
    EXPECT_EQ(stops, 0);
    ctx.SetNow(At(2024, 3, 29, 8, 59, 30));
  }
}

// A server that cannot be reached when the task is due does not cost the
// run: the task stays waiting and starts when the server answers within its
// window; past the window (or, for a one-off task, past a bounded wait) it
// ends with a note that says why.
TEST_F(Dispatcher, TaskDueWhileTheServerIsAwayWaitsForItWithinItsWindow) {
  struct TCase {
    const char* what;
    bool scheduled;
    std::chrono::seconds awayFor;
    std::uint8_t expected;
  };
  const TCase cases[] = {
      {"server back inside the window: the run starts", true, 9min, kStateRunning},
      {"window passed while away: given up", true, 11min + 1s, kStateTerminated},
      {"one-off task, server back within two minutes", false, 1min, kStateRunning},
      {"one-off task, server away for longer: given up", false, 2min + 1s, kStateTerminated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    engine().ClearCurrentTask();
    ctx.Tasks().ClearTasks();
    const std::size_t notesBefore = ctx.RecordedNotes().size();
    starts = 0;
    auto task = AddTask(!c.scheduled);
    task->ScheduleInfo.IsEnableSchedule = c.scheduled;
    task->ScheduleInfo.DelayExcuteMinute = 10;
    ASSERT_TRUE(task->RequestStart(false, ctx.Now()));
    startSucceeds = false;
    serverReachable = false;
    Cycle();
    Cycle();
    EXPECT_EQ(task->State(), kStateWaiting);
    EXPECT_EQ(starts, 2) << "tried again every cycle";
    ASSERT_EQ(ctx.RecordedNotes().size(), notesBefore + 1) << "told once that it waits";
    ctx.Advance(c.awayFor);
    startSucceeds = true;
    serverReachable = true;
    Cycle();
    EXPECT_EQ(task->State(), c.expected);
    const auto notes = ctx.RecordedNotes();
    if (c.expected == kStateTerminated) {
      ASSERT_EQ(notes.size(), notesBefore + 2);
      EXPECT_NE(notes.back().Text.find("无法连接服务器"), std::string::npos) << notes.back().Text;
    } else {
      EXPECT_EQ(notes.size(), notesBefore + 1);
    }
    ctx.SetNow(At(2024, 3, 29, 8, 59, 30));
  }
}

TEST_F(Dispatcher, OneTaskAtATimeInListOrderAndAPausedTaskHoldsThePlace) {
  auto first = AddTask(false);
  auto second = AddTask(false);
  first->Folders = {"/f"};  // a folder keeps it from finishing at once
  ASSERT_TRUE(second->RequestStart(false, ctx.Now()));
  ASSERT_TRUE(first->RequestStart(false, ctx.Now()));
  Cycle();
  EXPECT_EQ(engine().CurrentTask(), first) << "the first waiting task in list order";

  ASSERT_TRUE(first->Pause(false));
  for (int i = 0; i < 3; ++i) Cycle();
  EXPECT_EQ(second->State(), kStateWaiting);
  EXPECT_EQ(engine().CurrentTask(), first);

  ASSERT_TRUE(first->Resume(false, true));
  EXPECT_EQ(first->State(), kStateRunning);
  ASSERT_TRUE(first->RequestStop(false));
  Cycle();  // end of the first
  EXPECT_EQ(engine().CurrentTask(), nullptr);
  EXPECT_EQ(second->State(), kStateWaiting);
  Cycle();
  EXPECT_EQ(engine().CurrentTask(), second);
  EXPECT_EQ(second->State(), kStateRunning);
}

TEST_F(Dispatcher, OneTemporaryTaskLeavesPerCyclePastTerminatedNamedTasks) {
  auto named = AddTask(false);
  auto temp1 = AddTask(true);
  auto temp2 = AddTask(true);
  for (auto& t : {named, temp1, temp2}) {
    ASSERT_TRUE(t->RequestStart(false, ctx.Now()));
    ASSERT_TRUE(t->RequestStop(false));
  }
  dispatcher().AdvanceTasks();
  EXPECT_EQ(ctx.Tasks().Count(), 2u);
  EXPECT_EQ(ctx.Tasks().FindTask(temp1->TaskID) != nullptr, true);
  dispatcher().AdvanceTasks();
  EXPECT_EQ(ctx.Tasks().Count(), 1u);
  EXPECT_EQ(ctx.Tasks().Snapshot().front(), named);
}

TEST_F(Dispatcher, DueSchedulesRequestTheirStartAndEachEvaluatedOnePauses) {
  // 08:59:30 on Friday 2024-03-29, the last Friday of March.
  auto periodic = AddTask(false);
  periodic->ScheduleInfo.IsEnableSchedule = true;
  periodic->ScheduleInfo.Schedule_Kind = 0;
  periodic->ScheduleInfo.Periodical_Minites = 10;
  // Four weeks and ten and a half minutes before: J = 40330.
  periodic->ScheduleInfo.Schedule_StartTime = At(2024, 3, 1, 8, 49, 0);
  auto lastFriday = AddTask(false);
  lastFriday->ScheduleInfo.IsEnableSchedule = true;
  lastFriday->ScheduleInfo.Schedule_Kind = 3;
  lastFriday->ScheduleInfo.Monthly_Prefix = 3;
  lastFriday->ScheduleInfo.Monthly_Day = 5;
  lastFriday->ScheduleInfo.Schedule_StartTime = At(2024, 1, 5, 8, 59, 0);
  auto weeklyElsewhen = AddTask(false);  // passed over: no pause
  weeklyElsewhen->ScheduleInfo = lastFriday->ScheduleInfo;
  weeklyElsewhen->ScheduleInfo.Schedule_Kind = 2;
  weeklyElsewhen->ScheduleInfo.Schedule_StartTime = At(2024, 1, 5, 8, 30, 0);
  auto temporary = AddTask(true);  // never scheduled
  temporary->ScheduleInfo = periodic->ScheduleInfo;
  auto disabled = AddTask(false);
  disabled->ScheduleInfo = periodic->ScheduleInfo;
  disabled->ScheduleInfo.IsEnableSchedule = false;

  ctx.ClearPaceRecord();
  dispatcher().EvaluateSchedules();
  EXPECT_EQ(periodic->State(), kStateWaiting);
  EXPECT_EQ(lastFriday->State(), kStateWaiting);
  EXPECT_EQ(weeklyElsewhen->State(), kStateIdle);
  EXPECT_EQ(temporary->State(), kStateIdle);
  EXPECT_EQ(disabled->State(), kStateIdle);
  EXPECT_EQ(ctx.PaceCount(TTaskDispatcher::kSchedulePauseMs), 2);

  // Still due in the same minute, but a waiting task is not started twice.
  const auto session = periodic->SessionID;
  ctx.Advance(10s);
  dispatcher().EvaluateSchedules();
  EXPECT_EQ(periodic->SessionID, session);
}

TEST_F(Dispatcher, FeedsOneFolderWhileTheQueueIsShortAndOnlySendableFiles) {
  ctx.SetPacing(TPacing::Standard);  // the standard profile's feeding (pauses not slept)
  auto task = std::make_shared<TScriptedTask>();
  ctx.Tasks().Add(task);
  MakeCurrent(engine(), task, ctx.Now());
  auto addChecked = [&](std::uint8_t action) {
    auto item = task->PostBag.AddLocalFile("/nonexistent/file");
    item->Action = action;
    task->PostBag.SetState(item, kItemChecked);
    return item;
  };
  task->FolderList.AddFolder("/a", true);
  task->FolderList.AddFolder("/b", true);
  for (int i = 0; i < 6; ++i) task->PostBag.AddLocalFile("/nonexistent/new");

  EXPECT_FALSE(dispatcher().FeedPipeline()) << "six items hold the calc stage back";
  EXPECT_EQ(task->Calcs, 0);

  task->PostBag.Remove(task->PostBag.Snapshot().front());
  EXPECT_TRUE(dispatcher().FeedPipeline());
  ASSERT_TRUE(WaitUntil([&] { return task->Calcs == 1 && engine().CalcEngine().IsIdle(); }));
  EXPECT_EQ(task->FolderList.Count(), 1u) << "one folder per cycle";
  EXPECT_EQ(task->FolderList.First()->FolderPath, "/b");

  auto unchanged = addChecked(0);
  auto send = addChecked(1);
  task->FolderList.ClearFolders();
  for (auto& i : task->PostBag.Snapshot())
    if (i != unchanged && i != send) task->PostBag.Remove(i);
  EXPECT_FALSE(dispatcher().FeedPipeline()) << "only the first checked item is looked at";
  EXPECT_EQ(task->PostBag.Counters().FileDispatchedCount, 0);

  task->PostBag.Remove(unchanged);
  EXPECT_TRUE(dispatcher().FeedPipeline());
  EXPECT_EQ(task->PostBag.Counters().FileDispatchedCount, 1);
  EXPECT_EQ(send->EngineIndex, 0);
  // Engine 0 has no connection: the file fails into the error bag.
  ASSERT_TRUE(WaitUntil([&] { return task->ErrorBag.Count() == 1; }));
  EXPECT_EQ(task->PostBag.Count(), 0u);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
}

TEST_F(Dispatcher, FastProfileHandsEveryIdleEngineItsShareWithSmallFilesTogether) {
  auto task = std::make_shared<TScriptedTask>();
  ctx.Tasks().Add(task);
  MakeCurrent(engine(), task, ctx.Now());
  task->FolderList.AddFolder("/a", true);
  std::vector<TPostBagItemPtr> items;
  // 20 small files, one of two segments, 5 small.
  const std::vector<std::int64_t> sizes = [] {
    std::vector<std::int64_t> v(20, 1000);
    v.push_back(262145);
    v.insert(v.end(), 5, 70000);
    return v;
  }();
  for (const std::int64_t size : sizes) {
    auto item = task->PostBag.AddLocalFile("/nonexistent/file");
    item->ObjectSize = size;
    item->Action = 1;
    task->PostBag.SetState(item, kItemChecked);
    items.push_back(item);
  }

  EXPECT_TRUE(dispatcher().FeedPipeline());
  ASSERT_TRUE(WaitUntil([&] { return task->Calcs == 1; })) << "26 queued items do not hold it back";
  EXPECT_EQ(task->PostBag.Counters().FileDispatchedCount, 26);
  std::vector<std::int64_t> engineOf;
  for (const auto& item : items) engineOf.push_back(item->EngineIndex);
  std::vector<std::int64_t> expected(16, 0);  // at most 16 files together
  expected.insert(expected.end(), 4, 1);       // the rest of the small run
  expected.push_back(2);                       // more than one segment: alone
  expected.insert(expected.end(), 5, 3);
  EXPECT_EQ(engineOf, expected);
  ASSERT_TRUE(WaitUntil([&] { return engine().IsPipelineSettled(); }));

  // Bytes bound a batch too: 1 MiB of 200 000-byte files is five of them.
  task->PostBag.ClearBag();
  items.clear();
  for (int i = 0; i < 7; ++i) {
    auto item = task->PostBag.AddLocalFile("/nonexistent/file");
    item->ObjectSize = 200000;
    item->Action = 1;
    task->PostBag.SetState(item, kItemChecked);
    items.push_back(item);
  }
  EXPECT_TRUE(dispatcher().FeedPipeline());
  engineOf.clear();
  for (const auto& item : items) engineOf.push_back(item->EngineIndex);
  EXPECT_EQ(engineOf, (std::vector<std::int64_t>{0, 0, 0, 0, 0, 1, 1}));
}

TEST_F(Dispatcher, EndReportWaitsUntilNoStageHoldsWorkOfTheRun) {
  auto task = AddTask(true);
  MakeCurrent(engine(), task, ctx.Now());
  auto item = task->PostBag.AddLocalFile("/nonexistent/file");
  item->Action = 1;
  task->PostBag.SetState(item, kItemChecked);
  std::mutex m;
  std::condition_variable released;
  bool hold = true;
  ctx.SetPaceHook([&](int ms) {
    if (ms != 100) return;
    std::unique_lock l(m);
    released.wait(l, [&] { return !hold; });
  });

  ASSERT_TRUE(dispatcher().FeedPipeline());  // engine 0 is held in its resume pause
  ASSERT_TRUE(task->RequestStop(false));
  dispatcher().AdvanceTasks();
  EXPECT_EQ(stops, 0);
  EXPECT_EQ(engine().CurrentTask(), task);

  {
    std::lock_guard l(m);
    hold = false;
  }
  released.notify_all();
  ASSERT_TRUE(WaitUntil([&] { return engine().IsPipelineSettled(); }));
  ctx.SetPaceHook(nullptr);
  dispatcher().AdvanceTasks();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(engine().CurrentTask(), nullptr);
  EXPECT_EQ(item->ItemState, kItemChecked) << "never begun: handed back, not failed";
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
}

TEST(DispatcherThread, RunsOnItsOwnOnceActiveAndStopsPromptly) {
  TEngineTestContext ctx;
  ctx.SetPacing(TPacing::Fast);
  std::atomic<int> stops{0};
  ctx.Engine().Dispatcher().SetRunReports({[](IEngineContext&, TTaskObject&) { return true; },
                                           [&](IEngineContext&, TTaskObject&) {
                                             ++stops;
                                             return true;
                                           }});
  ctx.Engine().SetEngineActive(true);  // the list load fails without a server
  auto task = std::make_shared<TScriptedTask>();
  task->IsTemporary = true;
  ctx.Tasks().Add(task);
  ASSERT_TRUE(task->RequestStart(false, ctx.Now()));
  ASSERT_TRUE(WaitUntil([&] { return stops == 1 && ctx.Tasks().Count() == 0; }));
  ctx.Engine().Stop();
}

}  // namespace
}  // namespace solvane
