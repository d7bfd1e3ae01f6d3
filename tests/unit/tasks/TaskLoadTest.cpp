// Loading the task list and the policy from a scripted server.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

using testing::ReplyWith;
using testing::TRecord;

TRecord TaskRecord(const std::string& id, const std::string& kind, const std::string& owner,
                   const std::string& scheduleOn) {
  TRecord r = {{"ID", id},
               {"Kind", kind},
               {"Name", "task " + id},
               {"UCode", owner},
               {"BackupMode", "1"},
               {"Comment", "line1\x02line2"},
               {"CreateDate", "2024-01-02 03:04:05"},
               {"IsEnableSchedule", scheduleOn},
               {"Schedule_StartTime", "2024-01-03 04:05:06"},
               {"Schedule_Kind", "2"},
               {"Periodical_Days", "1"},
               {"Periodical_Hours", "2"},
               {"Periodical_Minites", "3"},
               {"Daily_Days", "4"},
               {"Weekly_Weeks", "5"}};
  for (int d = 1; d <= 7; ++d) r.push_back({"IsWeekly_Day" + std::to_string(d), d % 2 ? "1" : "0"});
  r.insert(r.end(), {{"Monthly_Prefix", "3"},
                     {"Monthly_Day", "6"},
                     {"Monthly_Months", "7"},
                     {"DelayExcuteMinute", "15"}});
  return r;
}

class LoadFromServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ASSERT_TRUE(ctx.ConnectPool(server.Port()));
    ctx.SetUserCode("u1");
    server.On("TTask.SelectByUser", [](TQorPack&) {
      return ReplyWith(
          "TTask.SelectByUser",
          {TaskRecord("70001", "100", "u1", "1"), TaskRecord("70002", "171", "u1", "1"),
           TaskRecord("70003", "500", "u1", "1"), TaskRecord("12", "200", "", "0")});
    });
    server.On("TTask.GetFileObject", [](TQorPack& r) {
      if (r.FieldByName(1, "TaskID").AsString() != "70001")
        return ReplyWith("TTask.GetFileObject",
                         {{{"ObjectName", "/srv/sync"}, {"ObjectKind", "1"}}});
      return ReplyWith("TTask.GetFileObject",
                       {{{"ObjectName", "/home/u1/docs"}, {"ObjectKind", "1"}},
                        {{"ObjectName", "/home/u1/a.txt"}, {"ObjectKind", "7"}}});
    });
    server.On("TTask.GetFileObject_Filter", [](TQorPack& r) {
      if (r.FieldByName(1, "TaskID").AsString() != "70001")
        return ReplyWith("TTask.GetFileObject_Filter", {}, 5);
      return ReplyWith("TTask.GetFileObject_Filter",
                       {{{"FilterStr", "*.doc"}, {"FilterKind", "1"}},
                        {{"FilterStr", "-1"}, {"FilterKind", "-1"}},
                        {{"FilterStr", "/home/u1/Temp"}, {"FilterKind", "0"}},
                        {{"FilterStr", ""}, {"FilterKind", "0"}}});
    });
    server.On("TTask.GetFileObject_FilterEx", [](TQorPack& r) {
      TRecord f = {{"MinFileSize", "1"},
                   {"MaxFileSize", "9"},
                   {"MinFileCreateDate", "2020-01-01 00:00:00"},
                   {"MaxFileCreateDate", "2021-01-01 00:00:00"},
                   {"MinFileModifiedDate", "2022-01-01 00:00:00"},
                   {"MaxFileModifiedDate", "2023-01-01 00:00:00"},
                   {"IsFilterReadOnly", "0"},
                   {"IsFilterHidden", "1"}};
      if (r.FieldByName(1, "TaskID").AsString() == "70001")
        f.insert(f.end(), {{"FilterSize", "1"},
                           {"FilterCreateDate", "0"},
                           {"FilterUpdateDate", "1"},
                           {"FilterAttribute", "0"}});
      return ReplyWith("TTask.GetFileObject_FilterEx", {f});
    });
    server.On("TPolicy.SelectByUser", [](TQorPack&) {
      return ReplyWith("TPolicy.SelectByUser", {{{"PolicyID", "9"}, {"MaxFileSize", "50"}}});
    });
    server.On("TPolicy.GetFileObject_Filter", [](TQorPack&) {
      return ReplyWith("TPolicy.GetFileObject_Filter",
                       {{{"FilterStr", "/tmp"}, {"FilterKind", "0"}},
                        {{"FilterStr", "*.doc"}, {"FilterKind", "1"}}});
    });
  }
  testing::TScriptedServer server;
  testsupport::TFakeEngineContext ctx;
};

TEST_F(LoadFromServerTest, BuildsTheTasksOfLoadableKindsWithObjectsFiltersAndPolicy) {
  ctx.Tasks().Add(CreateTaskObject(100, 0, "u1"));  // replaced by the load
  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));

  const bool mailClassExists = CreateTaskObject(500, 0, "u1") != nullptr;
  ASSERT_EQ(ctx.Tasks().Count(), 2u + (mailClassExists ? 1 : 0));
  EXPECT_EQ(ctx.Tasks().FindTask(70002), nullptr);  // kind 171 is never loaded

  auto backup = ctx.Tasks().FindTask(70001);
  ASSERT_NE(backup, nullptr);
  EXPECT_NE(dynamic_cast<TTaskObject_FileBackup_UP*>(backup.get()), nullptr);
  EXPECT_EQ(backup->TaskName, "task 70001");
  EXPECT_EQ(backup->Comment, "line1\r\nline2");
  EXPECT_TRUE(backup->BackupMode);
  EXPECT_FALSE(backup->IsSystemDefault);
  EXPECT_FALSE(backup->IsTemporary);
  EXPECT_EQ(backup->State(), kStateIdle);
  EXPECT_EQ(backup->SessionID, -1);
  EXPECT_EQ(FormatDateTime(backup->CreateDate), "2024-01-02 03:04:05");
  const TTaskScheduleInfo& s = backup->ScheduleInfo;
  EXPECT_TRUE(s.IsEnableSchedule);
  EXPECT_EQ(FormatDateTime(s.Schedule_StartTime), "2024-01-03 04:05:06");
  EXPECT_EQ(s.Schedule_Kind, 2);
  EXPECT_EQ(s.Periodical_Minites, 3);
  EXPECT_EQ(s.Weekly_Weeks, 5);
  EXPECT_TRUE(s.IsWeekly_Day[0]);
  EXPECT_FALSE(s.IsWeekly_Day[1]);
  EXPECT_TRUE(s.IsWeekly_Day[6]);
  EXPECT_EQ(s.Monthly_Prefix, 3);
  EXPECT_EQ(s.Monthly_Day, 6);
  EXPECT_EQ(s.Monthly_Months, 7);
  EXPECT_EQ(s.DelayExcuteMinute, 15);

  ASSERT_EQ(backup->FileObjects.Items.size(), 2u);
  EXPECT_EQ(backup->FileObjects.Items[0].ObjectName, "/home/u1/docs");
  EXPECT_EQ(backup->FileObjects.Items[0].ObjectKind, 1);
  EXPECT_EQ(backup->FileObjects.Items[1].ObjectKind, 0);  // anything but 1 is a file
  // The placeholder and the empty pattern are not patterns.
  EXPECT_EQ(backup->FilterInfo.IncludeList, std::vector<std::string>{"*.doc"});
  EXPECT_EQ(backup->FilterInfo.ExcludeList, std::vector<std::string>{"/home/u1/Temp"});
  const TTaskFilterInfo& f = backup->FilterInfo;
  EXPECT_TRUE(f.FilterSize);
  EXPECT_FALSE(f.FilterCreateDate);
  EXPECT_TRUE(f.FilterUpdateDate);
  EXPECT_FALSE(f.FilterAttribute);  // saved off, although hidden files were ticked
  EXPECT_TRUE(f.IsFilterHidden);
  EXPECT_EQ(f.MinFileSize, 1);
  EXPECT_EQ(f.MaxFileSize, 9);
  EXPECT_EQ(FormatDateTime(f.MaxFileModifiedDate), "2023-01-01 00:00:00");

  auto sync = ctx.Tasks().FindTask(12);
  ASSERT_NE(sync, nullptr);
  EXPECT_NE(dynamic_cast<TTaskObject_FileSync_UP*>(sync.get()), nullptr);
  EXPECT_TRUE(sync->IsSystemDefault);
  // Schedule off: the stored settings are kept all the same, so a dialog
  // that sends the task back does not overwrite them with defaults.
  EXPECT_FALSE(sync->ScheduleInfo.IsEnableSchedule);
  EXPECT_EQ(FormatDateTime(sync->ScheduleInfo.Schedule_StartTime), "2024-01-03 04:05:06");
  EXPECT_EQ(sync->ScheduleInfo.Schedule_Kind, 2);
  EXPECT_EQ(sync->ScheduleInfo.Weekly_Weeks, 5);
  EXPECT_TRUE(sync->ScheduleInfo.IsWeekly_Day[0]);
  EXPECT_FALSE(sync->ScheduleInfo.IsWeekly_Day[1]);
  EXPECT_EQ(sync->ScheduleInfo.Monthly_Prefix, 3);
  EXPECT_EQ(sync->ScheduleInfo.Monthly_Months, 7);
  EXPECT_EQ(sync->ScheduleInfo.DelayExcuteMinute, 15);
  EXPECT_TRUE(sync->FilterInfo.IncludeList.empty());  // its filter call failed
  // A reply without the switches: the attribute test follows the ticked boxes.
  EXPECT_TRUE(sync->FilterInfo.FilterAttribute);
  EXPECT_FALSE(sync->FilterInfo.FilterSize);

  const TDefaultPolicy policy = ctx.Tasks().Policy();
  EXPECT_EQ(policy.PolicyID, 9);
  EXPECT_EQ(policy.MaxFileSize, 50);
  EXPECT_EQ(policy.ExcludeList, std::vector<std::string>{"/tmp"});
  EXPECT_EQ(policy.IncludeList, std::vector<std::string>{"*.doc"});
  auto pid = server.Sent("TPolicy.GetFileObject_Filter");
  ASSERT_EQ(pid.size(), 1u);
  EXPECT_EQ(pid[0].FieldByName(1, "PID").AsString(), "9");
  auto select = server.Sent("TTask.SelectByUser");
  ASSERT_EQ(select.size(), 1u);
  EXPECT_EQ(select[0].FieldByName(1, "IsIncludePolicy").AsString(), "1");
}

TEST_F(LoadFromServerTest, NoTasksStillLoadsThePolicy) {
  server.On("TTask.SelectByUser", [](TQorPack&) { return ReplyWith("TTask.SelectByUser", {}, 5); });
  EXPECT_FALSE(ctx.Tasks().LoadFromServer(ctx));
  EXPECT_EQ(ctx.Tasks().Count(), 0u);
  EXPECT_EQ(ctx.Tasks().Policy().PolicyID, 9);
}

TEST_F(LoadFromServerTest, APolicyReplyWithSeveralRecordsIsIgnored) {
  server.On("TPolicy.SelectByUser", [](TQorPack&) {
    return ReplyWith("TPolicy.SelectByUser", {{{"PolicyID", "9"}, {"MaxFileSize", "50"}},
                                              {{"PolicyID", "10"}, {"MaxFileSize", "5"}}});
  });
  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));
  EXPECT_EQ(ctx.Tasks().Policy().PolicyID, -1);
  EXPECT_EQ(ctx.Tasks().Policy().MaxFileSize, -1);
  EXPECT_TRUE(server.Sent("TPolicy.GetFileObject_Filter").empty());
}

TEST(LoadFromServerOffline, EmptiesTheListAndFails) {
  testsupport::TFakeEngineContext ctx;
  ctx.Tasks().Add(CreateTaskObject(100, 0, "u1"));
  EXPECT_FALSE(ctx.Tasks().LoadFromServer(ctx));
  EXPECT_EQ(ctx.Tasks().Count(), 0u);
}

}  // namespace
}  // namespace solvane
