// The task state machine and IsRunFinished.

#include <gtest/gtest.h>

#include "FakeEngineContext.h"
#include "engine/Unit_Handler_TaskDispatcher.h"
#include "session/DosDateTime.h"
#include "tasks/TTaskObject_File.h"

namespace solvane {
namespace {

DateTime At(int h, int mi, int s) {
  return *FromLocalDateTime(TLocalDateTime{2024, 3, 5, h, mi, s, 0});
}

// Brings a new task into the state asked for through the operations.
TTaskObjectPtr TaskInState(std::uint8_t state) {
  auto task = CreateTaskObject(100, 0, "u1");
  const DateTime now = At(9, 0, 0);
  switch (state) {
    case kStateWaiting:
      task->RequestStart(false, now);
      break;
    case kStateRunning:
      task->RequestStart(false, now), task->MarkRunning();
      break;
    case kStatePaused:
      task->RequestStart(false, now), task->Pause(false);
      break;
    case kStateTerminated:
      task->RequestStart(false, now), task->RequestStop(false);
      break;
    default:
      break;
  }
  EXPECT_EQ(task->State(), state);
  return task;
}

enum class Op { Start, Stop, Pause, ResumeCurrent, ResumeOther, MarkRunning };

struct Transition {
  std::uint8_t from;
  Op op;
  bool accepted;
  std::uint8_t to;
};

void PrintTo(const Transition& t, std::ostream* os) {
  *os << "from " << int(t.from) << " op " << int(t.op);
}

class StateMachineTest : public ::testing::TestWithParam<Transition> {};

TEST_P(StateMachineTest, MovesOrRefusesWithoutChange) {
  const Transition& t = GetParam();
  auto task = TaskInState(t.from);
  const std::int32_t sessionBefore = task->SessionID;
  const DateTime now = At(10, 0, 0);
  bool result = false;
  switch (t.op) {
    case Op::Start:
      result = task->RequestStart(false, now);
      break;
    case Op::Stop:
      result = task->RequestStop(false);
      break;
    case Op::Pause:
      result = task->Pause(false);
      break;
    case Op::ResumeCurrent:
      result = task->Resume(false, true);
      break;
    case Op::ResumeOther:
      result = task->Resume(false, false);
      break;
    case Op::MarkRunning:
      result = task->MarkRunning();
      break;
  }
  EXPECT_EQ(result, t.accepted);
  EXPECT_EQ(task->State(), t.to);
  if (t.op == Op::Start && t.accepted)
    EXPECT_EQ(task->SessionID, static_cast<std::int32_t>(DateTimeToDos(now)));
  else
    EXPECT_EQ(task->SessionID, sessionBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Transitions, StateMachineTest,
    ::testing::Values(Transition{kStateIdle, Op::Start, true, kStateWaiting},
                      Transition{kStateTerminated, Op::Start, true, kStateWaiting},
                      Transition{kStateWaiting, Op::Start, false, kStateWaiting},
                      Transition{kStateRunning, Op::Start, false, kStateRunning},
                      Transition{kStatePaused, Op::Start, false, kStatePaused},
                      Transition{kStateIdle, Op::Stop, false, kStateIdle},
                      Transition{kStateWaiting, Op::Stop, true, kStateTerminated},
                      Transition{kStateRunning, Op::Stop, true, kStateTerminated},
                      Transition{kStatePaused, Op::Stop, true, kStateTerminated},
                      Transition{kStateTerminated, Op::Stop, false, kStateTerminated},
                      Transition{kStateWaiting, Op::Pause, true, kStatePaused},
                      Transition{kStateRunning, Op::Pause, true, kStatePaused},
                      Transition{kStateIdle, Op::Pause, false, kStateIdle},
                      Transition{kStateWaiting, Op::ResumeCurrent, false, kStateWaiting},
                      Transition{kStatePaused, Op::ResumeCurrent, true, kStateRunning},
                      // A paused task that is not current waits for the dispatcher again.
                      Transition{kStatePaused, Op::ResumeOther, true, kStateWaiting},
                      Transition{kStateIdle, Op::MarkRunning, false, kStateIdle},
                      Transition{kStateWaiting, Op::MarkRunning, true, kStateRunning}));

TEST(ScheduledStart, WaitsForTheDelayAfterTheLastStart) {
  auto task = CreateTaskObject(100, 0, "u1");
  // Never started: accepted whatever the delay.
  task->ScheduleInfo.DelayExcuteMinute = 100000;
  EXPECT_TRUE(task->RequestStart(true, At(9, 0, 0)));
  task->RequestStop(false);
  task->ScheduleInfo.DelayExcuteMinute = 10;

  // Started 3 minutes ago: a scheduled start is refused, a user's is not.
  EXPECT_FALSE(task->RequestStart(true, At(9, 3, 0)));
  EXPECT_EQ(task->State(), kStateTerminated);
  EXPECT_EQ(task->SessionID, static_cast<std::int32_t>(DateTimeToDos(At(9, 0, 0))));
  EXPECT_TRUE(task->RequestStart(false, At(9, 3, 0)));
  task->RequestStop(false);

  // Ceil(M - 1) must reach the delay: exactly 10 minutes after the last
  // start (the user's at 9:03) is too early, 10 and a half are enough.
  EXPECT_FALSE(task->RequestStart(true, At(9, 13, 0)));
  EXPECT_TRUE(task->RequestStart(true, At(9, 13, 30)));
}

TEST(IsRunFinished, LooksAtTheStagesOnlyForTheCurrentTask) {
  testsupport::TFakeEngineContext ctx;
  auto task = CreateTaskObject(100, 0, "u1");
  ctx.SetFolderDetectorIdle(false);
  EXPECT_TRUE(IsRunFinished(*task, ctx));  // not current: empty lists are enough

  ctx.SetCurrentTask(task);
  EXPECT_FALSE(IsRunFinished(*task, ctx));
  ctx.SetFolderDetectorIdle(true);
  ctx.SetCalcSlotEmpty(false);
  EXPECT_FALSE(IsRunFinished(*task, ctx));
  ctx.SetCalcSlotEmpty(true);
  EXPECT_TRUE(IsRunFinished(*task, ctx));

  task->FolderList.AddFolder("/x", true);
  EXPECT_FALSE(IsRunFinished(*task, ctx));
  task->FolderList.ClearFolders();
  task->PostBag.AddLocalFile("/nowhere/x.txt");
  EXPECT_FALSE(IsRunFinished(*task, ctx));
}

TEST(NewTask, HasEmptyProgressRecords) {
  auto task = CreateTaskObject(200, 1, "u1");
  for (int i = 0; i < TTaskObject::kScreenContexts; ++i) {
    const TTaskScreenContext c = task->ScreenContext(i);
    EXPECT_TRUE(c.CurrentObject.empty());
    EXPECT_EQ(c.Percent, 0);
    EXPECT_EQ(c.SpeedKBps, 0);
  }
  EXPECT_EQ(task->TotalSpeed(), 0);
}

// The queue as the engines read it at every file: the first items of a
// state in queue order, and whether an item is still queued.
TEST(PostBag, GivesTheFirstItemsOfAStateInOrderAndKnowsWhatIsStillQueued) {
  std::recursive_mutex mutex;
  TPostBag bag(mutex);
  std::vector<TPostBagItemPtr> items;
  for (int i = 0; i < 5; ++i) items.push_back(bag.AddLocalFile("/d/f" + std::to_string(i)));
  for (int i : {1, 3, 4}) bag.SetState(items[i], kItemChecked);
  using TItems = std::vector<TPostBagItemPtr>;
  EXPECT_EQ(bag.InState(kItemChecked, 2), (TItems{items[1], items[3]}));
  EXPECT_EQ(bag.InState(kItemChecked), (TItems{items[1], items[3], items[4]}));
  EXPECT_EQ(bag.InState(kItemNew), (TItems{items[0], items[2]}));
  EXPECT_TRUE(bag.InState(kItemDone).empty());
  EXPECT_TRUE(bag.Contains(items[2]));
  bag.Remove(items[2]);
  EXPECT_FALSE(bag.Contains(items[2]));
  EXPECT_TRUE(bag.Contains(items[4]));
  bag.ClearBag();
  EXPECT_FALSE(bag.Contains(items[4]));
}

}  // namespace
}  // namespace solvane
