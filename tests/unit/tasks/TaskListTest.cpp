#include <gtest/gtest.h>

#include "FakeEngineContext.h"
#include "ScriptedPeer.h"
#include "session/DosDateTime.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s) {
  return *FromLocalDateTime(TLocalDateTime{y, mo, d, h, mi, s, 0});
}

TTaskObjectPtr TaskWithId(std::int32_t id) {
  auto task = CreateTaskObject(100, 0, "u1");
  task->TaskID = id;
  return task;
}

TEST(NewTaskID, IsThePackedNowSteppedPastEveryIdInUse) {
  TTaskObjectList list;
  const DateTime now = At(2024, 5, 6, 10, 20, 31);
  const auto packedNow = static_cast<std::int32_t>(DateTimeToDos(now));

  const std::int32_t first = list.NewTaskID(now);
  EXPECT_EQ(first, packedNow);
  // A second task in the same two seconds gets the next packed value.
  const std::int32_t second = list.NewTaskID(now);
  EXPECT_EQ(second, static_cast<std::int32_t>(DateTimeToDos(now + std::chrono::seconds(2))));

  // An ID held by a task of the list (here one loaded with a later ID) is
  // stepped over as well, and every value decodes as a date-time.
  list.Add(TaskWithId(static_cast<std::int32_t>(DateTimeToDos(now + std::chrono::seconds(4)))));
  const std::int32_t third = list.NewTaskID(now);
  EXPECT_EQ(third, static_cast<std::int32_t>(DateTimeToDos(now + std::chrono::seconds(6))));
  TLocalDateTime decoded;
  EXPECT_TRUE(DecodeDosDateTime(static_cast<std::uint32_t>(third), decoded));
  EXPECT_EQ(decoded.second, 36);

  // A later clock is used as it is.
  const DateTime later = At(2024, 5, 6, 11, 0, 0);
  EXPECT_EQ(list.NewTaskID(later), static_cast<std::int32_t>(DateTimeToDos(later)));
}

TEST(NewTaskID, StepsOverTheEndOfAMinute) {
  TTaskObjectList list;
  const DateTime now = At(2024, 12, 31, 23, 59, 58);
  list.NewTaskID(now);
  TLocalDateTime next;
  ASSERT_TRUE(DecodeDosDateTime(static_cast<std::uint32_t>(list.NewTaskID(now)), next));
  EXPECT_EQ(next.year, 2025);
  EXPECT_EQ(next.month, 1);
  EXPECT_EQ(next.second, 0);
}

TEST(NewTaskID, ClockOutsideThePackedYearsGivesNoId) {
  TTaskObjectList list;
  EXPECT_EQ(list.NewTaskID(At(1975, 1, 1, 0, 0, 0)), -1);
}

TEST(TaskList, LookupsAndStateOperationsGoByTaskId) {
  TTaskObjectList list;
  list.Add(TaskWithId(1));
  list.Add(TaskWithId(2));
  list.Add(TaskWithId(2));  // lookups return the first match
  EXPECT_EQ(list.FindTask(2), list.Snapshot()[1]);
  EXPECT_EQ(list.FindTask(3), nullptr);

  const DateTime now = At(2024, 1, 1, 8, 0, 0);
  EXPECT_FALSE(list.RequestStart(3, false, now));
  EXPECT_TRUE(list.RequestStart(2, false, now));
  EXPECT_EQ(list.FindByState(kStateWaiting), list.Snapshot()[1]);
  EXPECT_TRUE(list.Pause(2, false));
  EXPECT_TRUE(list.Resume(2, false, false));
  EXPECT_TRUE(list.RequestStop(2, false));
  EXPECT_EQ(list.FindTask(2)->State(), kStateTerminated);

  EXPECT_TRUE(list.Remove(list.FindTask(1).get()));
  EXPECT_FALSE(list.Remove(nullptr));
  EXPECT_EQ(list.Count(), 2u);
}

TEST(TaskList, RemoveTaskOfAnUnknownIdMakesNoServerCall) {
  testsupport::TScriptedPeer peer;
  testsupport::TFakeEngineContext ctx;
  ASSERT_TRUE(ctx.ConnectPool(peer.Port()));
  ctx.Tasks().Add(TaskWithId(5));
  EXPECT_FALSE(ctx.Tasks().RemoveTask(ctx, 6));
  EXPECT_TRUE(peer.Requests().empty());

  // A known one is removed after the server agreed.
  EXPECT_TRUE(ctx.Tasks().RemoveTask(ctx, 5));
  ASSERT_EQ(peer.Requests().size(), 1u);
  TQorPack sent = peer.Requests()[0].Pack();
  EXPECT_EQ(sent.FunNo(), "TTask.Remove");
  EXPECT_EQ(sent.Fields().Names(),
            (std::vector<std::string>{"UAdmin", "UIPAddr", "UMAC", "TaskID"}));
  EXPECT_EQ(sent.FieldByName(1, "TaskID").AsString(), "5");
  EXPECT_EQ(ctx.Tasks().Count(), 0u);
}

TEST(TaskList, RemoveTaskKeepsTheTaskWhenTheServerRefuses) {
  testsupport::TScriptedPeer peer;
  peer.SetScript([](const testsupport::TPeerRequest& r) {
    TQorPack reply = r.Pack();
    reply.SetResult(5, "no");
    return testsupport::TPeerAnswer::Reply(reply);
  });
  testsupport::TFakeEngineContext ctx;
  ASSERT_TRUE(ctx.ConnectPool(peer.Port()));
  ctx.Tasks().Add(TaskWithId(5));
  EXPECT_FALSE(ctx.Tasks().RemoveTask(ctx, 5));
  EXPECT_NE(ctx.Tasks().FindTask(5), nullptr);
}

struct FactoryCase {
  int kind;
  int direction;
  bool exists;
};

TEST(CreateTaskObject, MakesTheFileClassesOfBothDirections) {
  const FactoryCase cases[] = {{100, 0, true},  {100, 1, true},  {200, 0, true},  {200, 1, true},
                               {400, 0, false}, {600, 1, false}, {100, 2, false}, {300, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.direction));
    TTaskObjectPtr task = CreateTaskObject(c.kind, c.direction, "ann");
    ASSERT_EQ(task != nullptr, c.exists);
    if (!task) continue;
    EXPECT_EQ(task->TaskKind, c.kind);
    EXPECT_EQ(task->TaskDirection, c.direction);
    EXPECT_EQ(task->UCode, "ann");
    EXPECT_EQ(task->State(), kStateIdle);
    EXPECT_EQ(task->SessionID, -1);
    const bool isUpload = dynamic_cast<TTaskObject_File_UP*>(task.get()) != nullptr;
    const bool isDownload = dynamic_cast<TTaskObject_File_Down*>(task.get()) != nullptr;
    EXPECT_EQ(isUpload, c.direction == 0);
    EXPECT_EQ(isDownload, c.direction == 1);
    EXPECT_EQ(dynamic_cast<TTaskObject_FileSync_UP*>(task.get()) != nullptr,
              c.kind == 200 && c.direction == 0);
  }
}

}  // namespace
}  // namespace solvane
