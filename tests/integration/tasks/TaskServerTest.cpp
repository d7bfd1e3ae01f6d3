// The task list, the run reports and the file task walks against the real
// server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeEngineContext.h"
#include "ServerProcess.h"
#include "StoreCalls.h"
#include "TaskTestSupport.h"
#include "TempTree.h"
#include "session/DosDateTime.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskReports.h"

namespace solvane::testing {
namespace {

using ::testing::UnorderedElementsAreArray;

TFields ObjectRecord(const std::string& taskId, const std::string& name, const std::string& kind) {
  return {{"UAdmin", "u1"},     {"UIPAddr", "127.0.0.1"}, {"UMAC", "00-11-22-33-44-55"},
          {"TaskID", taskId},   {"ObjectName", name},     {"ObjectKind", kind},
          {"ObjectSize", "-1"}, {"ObjectDate", "-1"},     {"ObjectVersion", "-1"}};
}

TFields FilterRecord(const std::string& taskId, const std::string& text, const std::string& kind) {
  return {{"UAdmin", "u1"},    {"UIPAddr", "127.0.0.1"}, {"UMAC", "00-11-22-33-44-55"},
          {"UCode", "u1"},     {"TaskID", taskId},       {"FilterStr", text},
          {"FilterKind", kind}};
}

TFields FilterEx(const std::string& taskId, const TFields& values) {
  TFields f = {{"UAdmin", "u1"},
               {"UIPAddr", "127.0.0.1"},
               {"UMAC", "00-11-22-33-44-55"},
               {"UCode", "u1"},
               {"TaskID", taskId}};
  f.insert(f.end(), values.begin(), values.end());
  return f;
}

class TaskServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1");
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login("u1", "pw1"));
    ASSERT_TRUE(ctx.ConnectPool(static_cast<std::uint16_t>(server.Port()), client.Token()));
    ctx.SetUserCode("u1");
    ctx.SetPacing(TPacing::Fast);
  }

  int Send(const std::string& funNo, const std::vector<TFields>& records) {
    TQorPack p = MakeRecords(funNo, records);
    return client.Call(p) ? p.ErrNo() : -99;
  }
  TQorPack Ask(const std::string& funNo, const TFields& fields) {
    TQorPack p = MakeRequest(funNo, fields);
    if (!client.Call(p)) p.SetResult(-99, "no reply");
    return p;
  }
  void InsertTask(const std::string& id, const TFields& changes) {
    ASSERT_EQ(Send("TTask.Insert", {TaskDefinition("u1", id, changes)}), 1);
  }
  static void Run(TTaskObject& task) {
    task.RequestStart(false, std::chrono::system_clock::now());
    task.MarkRunning();
  }
  // The detector, then the calc step for every entry; the queued items.
  std::vector<TPostBagItemPtr> Walk(TTaskObject& task) {
    task.DetectFolders(ctx);
    while (auto entry = task.FolderList.First()) {
      task.CalcFolder(ctx, entry);
      task.FolderList.Remove(entry);
    }
    return task.PostBag.Snapshot();
  }

  TServerProcess server;
  TTestClient client;
  testsupport::TFakeEngineContext ctx;
};

TEST_F(TaskServerTest, LoadsNamedAndDefaultTasksWithObjectsFiltersAndThePolicy) {
  InsertTask("946164070", {});
  ASSERT_EQ(Send("TTask.SetFileObject", {ObjectRecord("946164070", "/home/u1/docs", "1"),
                                         ObjectRecord("946164070", "/home/u1/a.txt", "0")}),
            1);
  ASSERT_EQ(Send("TTask.SetFileObject_Filter", {FilterRecord("946164070", "*.doc", "1"),
                                                FilterRecord("946164070", "/home/u1/Temp", "0")}),
            1);
  ASSERT_EQ(Send("TTask.SetFileObject_FilterEx",
                 {FilterEx("946164070", {{"FilterSize", "1"},
                                         {"MinFileSize", "0"},
                                         {"MaxFileSize", "5"},
                                         {"FilterCreateDate", "0"},
                                         {"MinFileCreateDate", "2020-01-01 00:00:00"},
                                         {"MaxFileCreateDate", "2020-12-31 00:00:00"},
                                         {"FilterUpdateDate", "1"},
                                         {"MinFileModifiedDate", "2021-01-01 00:00:00"},
                                         {"MaxFileModifiedDate", "2021-12-31 23:59:59"},
                                         {"FilterAttribute", "1"},
                                         {"IsFilterReadOnly", "0"},
                                         {"IsFilterHidden", "1"}})}),
            1);

  // A folder sync task as its creation screen stores it: no object kind,
  // the "-1"/"-1" placeholder for empty pattern boxes, schedule off.
  InsertTask("946164072", {{"Kind", "200"},
                           {"Name", "同步"},
                           {"IsEnableSchedule", "0"},
                           {"DelayExecuteMinute", "7"},
                           {"BackupMode", "0"},
                           {"Comment", ""}});
  ASSERT_EQ(Send("TTask.SetFileObject", {{{"UAdmin", "u1"},
                                          {"UIPAddr", "127.0.0.1"},
                                          {"UMAC", ""},
                                          {"UCode", "u1"},
                                          {"TaskID", "946164072"},
                                          {"ObjectName", "/srv/sync"},
                                          {"ObjectSize", "-1"},
                                          {"ObjectDate", "-1"},
                                          {"ObjectVersion", "-1"}}}),
            1);
  ASSERT_EQ(Send("TTask.SetFileObject_Filter", {FilterRecord("946164072", "-1", "-1")}), 1);
  InsertTask("946164074", {{"Kind", "500"}, {"Name", "邮件"}});

  auto added = server.Admin({"task", "add-default", "公司", "--kind", "100", "--folder", "/etc/app",
                             "--exclude", "*.tmp", "--assign", "u1"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  ASSERT_EQ(server
                .Admin({"policy", "add", "office", "--max-size", "50", "--include", "*.doc",
                        "--exclude", "\\Temp"})
                .exitCode,
            0);
  ASSERT_EQ(server.Admin({"policy", "assign", "office", "u1"}).exitCode, 0);

  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));
  const bool mailClassExists = CreateTaskObject(500, 0, "u1") != nullptr;
  ASSERT_EQ(ctx.Tasks().Count(), 3u + (mailClassExists ? 1 : 0));

  auto backup = ctx.Tasks().FindTask(946164070);
  ASSERT_NE(backup, nullptr);
  EXPECT_EQ(backup->TaskKind, 100);
  EXPECT_EQ(backup->TaskName, "文档备份");
  EXPECT_EQ(backup->Comment, "line1\r\nline2");
  EXPECT_TRUE(backup->BackupMode);
  EXPECT_FALSE(backup->IsSystemDefault);
  EXPECT_TRUE(backup->ScheduleInfo.IsEnableSchedule);
  EXPECT_EQ(FormatDateTime(backup->ScheduleInfo.Schedule_StartTime), "2008-03-05 09:30:14");
  EXPECT_EQ(backup->ScheduleInfo.Schedule_Kind, 2);
  EXPECT_EQ(backup->ScheduleInfo.Weekly_Weeks, 4);
  EXPECT_TRUE(backup->ScheduleInfo.IsWeekly_Day[1]);
  EXPECT_TRUE(backup->ScheduleInfo.IsWeekly_Day[6]);
  EXPECT_EQ(backup->ScheduleInfo.DelayExcuteMinute, 25);
  ASSERT_EQ(backup->FileObjects.Items.size(), 2u);
  EXPECT_EQ(backup->FileObjects.Items[0].ObjectName, "/home/u1/docs");
  EXPECT_EQ(backup->FileObjects.Items[0].ObjectKind, 1);
  EXPECT_EQ(backup->FileObjects.Items[1].ObjectKind, 0);
  EXPECT_EQ(backup->FilterInfo.IncludeList, std::vector<std::string>{"*.doc"});
  EXPECT_EQ(backup->FilterInfo.ExcludeList, std::vector<std::string>{"/home/u1/Temp"});
  EXPECT_TRUE(backup->FilterInfo.FilterSize);
  EXPECT_EQ(backup->FilterInfo.MaxFileSize, 5);
  EXPECT_FALSE(backup->FilterInfo.FilterCreateDate);
  EXPECT_TRUE(backup->FilterInfo.FilterUpdateDate);
  EXPECT_EQ(FormatDateTime(backup->FilterInfo.MaxFileModifiedDate), "2021-12-31 23:59:59");
  EXPECT_TRUE(backup->FilterInfo.FilterAttribute);
  EXPECT_TRUE(backup->FilterInfo.IsFilterHidden);

  auto sync = ctx.Tasks().FindTask(946164072);
  ASSERT_NE(sync, nullptr);
  EXPECT_NE(dynamic_cast<TTaskObject_FileSync_UP*>(sync.get()), nullptr);
  EXPECT_FALSE(sync->ScheduleInfo.IsEnableSchedule);
  EXPECT_EQ(sync->ScheduleInfo.Schedule_Kind, 2);  // the stored settings stay while it is off
  EXPECT_EQ(sync->ScheduleInfo.DelayExcuteMinute, 7);
  ASSERT_EQ(sync->FileObjects.Items.size(), 1u);
  EXPECT_EQ(sync->FileObjects.Items[0].ObjectKind, 1);  // the sync folder is walked
  EXPECT_TRUE(sync->FilterInfo.IncludeList.empty());
  EXPECT_TRUE(sync->FilterInfo.ExcludeList.empty());

  std::shared_ptr<TTaskObject> fallback;
  for (const auto& t : ctx.Tasks().Snapshot())
    if (t->IsSystemDefault) fallback = t;
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->TaskName, "公司");
  EXPECT_LT(fallback->TaskID, 65536);
  ASSERT_EQ(fallback->FileObjects.Items.size(), 1u);
  EXPECT_EQ(fallback->FileObjects.Items[0].ObjectName, "/etc/app");
  EXPECT_EQ(fallback->FilterInfo.ExcludeList, std::vector<std::string>{"*.tmp"});

  const TDefaultPolicy policy = ctx.Tasks().Policy();
  EXPECT_GT(policy.PolicyID, 0);
  EXPECT_EQ(policy.MaxFileSize, 50);
  EXPECT_EQ(policy.IncludeList, std::vector<std::string>{"*.doc"});
  EXPECT_EQ(policy.ExcludeList, std::vector<std::string>{"/Temp"});
}

TEST_F(TaskServerTest, RemoveTaskDeletesOnTheServerButNeverADefaultTask) {
  InsertTask("946164070", {});
  ASSERT_EQ(
      server
          .Admin({"task", "add-default", "d", "--kind", "200", "--folder", "/x", "--assign", "u1"})
          .exitCode,
      0);
  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));
  ASSERT_EQ(ctx.Tasks().Count(), 2u);
  EXPECT_TRUE(ctx.Tasks().RemoveTask(ctx, 946164070));
  EXPECT_EQ(ctx.Tasks().FindTask(946164070), nullptr);
  EXPECT_EQ(Ask("TTask.SelectByUser", {{"UCode", "u1"}, {"IsIncludePolicy", "0"}}).RecordSetCount(),
            0);

  auto fallback = ctx.Tasks().Snapshot().front();
  EXPECT_FALSE(ctx.Tasks().RemoveTask(ctx, fallback->TaskID));
  EXPECT_EQ(ctx.Tasks().Count(), 1u);
}

TEST_F(TaskServerTest, RunReportsReachTheRunWithCountersAndEveryFailedFile) {
  auto task = CreateTaskObject(100, 0, "u1");
  task->TaskID = ctx.Tasks().NewTaskID(std::chrono::system_clock::now());
  task->TaskName = "临时任务";
  task->IsTemporary = true;
  ASSERT_TRUE(task->RequestStart(false, std::chrono::system_clock::now()));
  ASSERT_TRUE(ReportStart(ctx, *task));
  ASSERT_TRUE(task->MarkRunning());

  task->FolderList.AddFolder("/data", true);
  task->FolderList.ClearFolders();
  task->FolderList.AddFolder("/data", true);
  task->FolderList.Remove(task->FolderList.First());
  auto& c = task->PostBag.Counters();
  c.TotalFileCount = 30;
  c.TotalDoneFileSize = 5000000000;
  c.FileCheckedCount = 30;
  c.FileDoneCount = 7;
  c.FileErrorCount = 23;
  for (int i = 1; i <= 23; ++i) {
    auto item = std::make_shared<TPostBagItem>();
    item->SourcePath = "/data/f" + std::to_string(i) + ".txt";
    item->ObjectFolder = "/data";
    task->ErrorBag.Append(item);
  }
  task->RequestStop(false);
  ASSERT_TRUE(ReportStop(ctx, *task));
  EXPECT_EQ(task->ErrorBag.Count(), 0u);

  const std::string session = std::to_string(task->SessionID);
  TQorPack report = Ask("TTask.SelectReport",
                        {{"UCode", "u1"}, {"StartSession", session}, {"EndSeesion", session}});
  ASSERT_EQ(report.ErrNo(), 1);
  ASSERT_EQ(report.RecordSetCount(), 1);
  EXPECT_EQ(report.FieldByName(1, "TaskName").AsString(), "临时任务");
  EXPECT_EQ(report.FieldByName(1, "TotalDoneFileSize").AsString(), "5000000000");
  EXPECT_EQ(report.FieldByName(1, "FileDoneCount").AsString(), "7");
  EXPECT_EQ(report.FieldByName(1, "FileErrorCount").AsString(), "23");
  EXPECT_EQ(report.FieldByName(1, "FolderTotalCount").AsString(), "1");

  TQorPack errors = Ask("TLog.TaskLog_SelectErrorObject", {{"UCode", "u1"},
                                                           {"TaskID", std::to_string(task->TaskID)},
                                                           {"TaskKind", "100"},
                                                           {"SessionID", session}});
  ASSERT_EQ(errors.ErrNo(), 1);
  ASSERT_EQ(errors.RecordSetCount(), 23);
  std::vector<std::string> names = Column(errors, "ObjectName");
  EXPECT_THAT(names, ::testing::Contains("f1.txt"));
  EXPECT_THAT(names, ::testing::Contains("f23.txt"));
  EXPECT_EQ(errors.FieldByName(23, "ObjectFolder").AsString(), "/data");
}

TEST_F(TaskServerTest, FolderCheckMirrorsTheSyncStoreToTheLocalListing) {
  TTempTree tree;
  tree.FileWithText("keep.txt", "keep");
  const std::string gone = tree.FileWithText("gone.txt", "gone");
  tree.FileWithText("sub/inner.txt", "inner");
  for (const auto& [folder, name, text] :
       {std::tuple{tree.Root(), "keep.txt", "keep"}, std::tuple{tree.Root(), "gone.txt", "gone"},
        std::tuple{tree.Path("sub"), "inner.txt", "inner"}})
    Backup(client, TFileSpec{"u1", 200, folder, name, text});
  ASSERT_EQ(Show(client, "u1", 200, tree.Root()).rows.size(), 3u);
  std::filesystem::remove(gone);

  auto sync = std::make_shared<TTaskObject_FileSync_UP>("u1");
  sync->TaskID = 946164070;
  Run(*sync);
  EXPECT_TRUE(sync->FolderCheck(ctx, sync->FolderList.AddFolder(tree.Root() + "/", true)));
  std::vector<std::string> names;
  for (const auto& row : Show(client, "u1", 200, tree.Root()).rows)
    names.push_back(row.at("ObjectName"));
  EXPECT_THAT(names, UnorderedElementsAreArray({"keep.txt", "sub"}));

  // A folder emptied locally: its stored files go to the recycle bin.
  std::filesystem::remove(tree.Path("sub/inner.txt"));
  EXPECT_TRUE(sync->FolderCheck(ctx, sync->FolderList.AddFolder(tree.Path("sub"), true)));
  EXPECT_TRUE(Show(client, "u1", 200, tree.Path("sub")).rows.empty());
  names.clear();
  for (const auto& row : Show(client, "u1", 200, tree.Root()).rows)
    names.push_back(row.at("ObjectName"));
  EXPECT_THAT(names, UnorderedElementsAreArray({"keep.txt", "sub"}));
}

TEST_F(TaskServerTest, RestoreWalksAnUploadedTreeIntoTheChosenFolder) {
  TTempTree source;
  const std::string root = source.Root();
  const std::vector<TFileSpec> files = {{"u1", 100, root, "a.txt", "alpha"},
                                        {"u1", 100, root + "/sub", "b.txt", "beta"},
                                        {"u1", 100, root + "/sub/deep", "c.txt", ""}};
  for (const auto& f : files) Backup(client, f);

  TTempTree target;
  auto restore = CreateTaskObject(100, 1, "u1");
  restore->RestoreInfo.IsDefine = 1;
  restore->RestoreInfo.CacheFolder = target.Root();
  restore->FileObjects.Items.push_back({root, 1, -1, -1, -1});
  Run(*restore);
  restore->DetectFolders(ctx);
  EXPECT_EQ(restore->FolderList.FolderTotalCount(), 3);
  auto items = Walk(*restore);

  std::vector<std::string> got, expected;
  for (const auto& item : items)
    got.push_back(item->SourcePath + " -> " + item->ObjectCargo + " " +
                  std::to_string(item->ObjectSize) + " " + std::to_string(item->ObjectDate));
  for (const auto& f : files)
    expected.push_back(f.folder + "/" + f.name + " -> " + target.Root() + f.folder + "/" + f.name +
                       " " + std::to_string(f.Size()) + " " + std::to_string(f.date));
  EXPECT_THAT(got, UnorderedElementsAreArray(expected));
  EXPECT_TRUE(std::filesystem::is_directory(target.Root() + root + "/sub/deep"));
  for (const auto& item : items) EXPECT_EQ(item->ObjectVersion, 1);
}

TEST_F(TaskServerTest, ALoadedTaskWalksItsFolderThroughFilterAndPolicy) {
  TTempTree tree;
  tree.File("a.doc", 10);
  tree.File("b.tmp", 10);
  tree.File(".secret.doc", 10);
  tree.File("big.doc", 2 * 1048576);
  tree.File("sub/c.doc", 10);
  tree.File(".hidden/d.doc", 10);
  InsertTask("946164070", {{"IsEnableSchedule", "0"}});
  ASSERT_EQ(Send("TTask.SetFileObject", {ObjectRecord("946164070", tree.Root(), "1")}), 1);
  ASSERT_EQ(Send("TTask.SetFileObject_Filter", {FilterRecord("946164070", "*.tmp", "0")}), 1);
  ASSERT_EQ(Send("TTask.SetFileObject_FilterEx",
                 {FilterEx("946164070", {{"FilterAttribute", "1"}, {"IsFilterHidden", "1"}})}),
            1);
  ASSERT_EQ(server.Admin({"policy", "add", "p", "--max-size", "1"}).exitCode, 0);
  ASSERT_EQ(server.Admin({"policy", "assign", "p", "u1"}).exitCode, 0);

  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));
  auto task = ctx.Tasks().FindTask(946164070);
  ASSERT_NE(task, nullptr);
  Run(*task);
  std::vector<std::string> queued;
  for (const auto& item : Walk(*task)) queued.push_back(item->SourcePath);
  EXPECT_THAT(queued, UnorderedElementsAreArray({tree.Path("a.doc"), tree.Path("sub/c.doc")}));
}

}  // namespace
}  // namespace solvane::testing
