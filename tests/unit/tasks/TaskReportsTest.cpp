#include <gtest/gtest.h>

#include <atomic>

#include "ScriptedServer.h"
#include "TempTree.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskReports.h"

namespace solvane {
namespace {

using testing::ReplyWith;

class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ASSERT_TRUE(ctx.ConnectPool(server.Port()));
    ctx.SetUserCode("ann");
    task = CreateTaskObject(100, 0, "ann");
    task->TaskID = 946164070;
    task->TaskName = "临时任务";
    task->SessionID = 946164080;
    task->IsTemporary = true;
    task->Comment = "line1\r\nline2";
  }
  void AddFailedUploads(int count) {
    for (int i = 1; i <= count; ++i) {
      auto item = std::make_shared<TPostBagItem>();
      item->SourcePath = "/data/f" + std::to_string(i) + ".txt";
      item->ObjectFolder = "/data";
      task->ErrorBag.Append(item);
    }
    task->PostBag.Counters().FileErrorCount = count;
  }
  void Refuse(const std::string& funNo) {
    server.On(funNo, [funNo](TQorPack&) { return ReplyWith(funNo, {}, 5); });
  }

  testing::TScriptedServer server;
  testsupport::TFakeEngineContext ctx;
  TTaskObjectPtr task;
};

TEST_F(ReportsTest, StartReportCarriesTheRunAndTriesFourTimes) {
  std::atomic<int> calls{0};
  server.On("TTask.Start",
            [&](TQorPack&) { return ReplyWith("TTask.Start", {}, ++calls == 3 ? 1 : 5); });
  EXPECT_TRUE(ReportStart(ctx, *task));
  auto sent = server.Sent("TTask.Start");
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].Fields().Names(),
            (std::vector<std::string>{"UCode", "TaskID", "TaskName", "TaskKind", "TaskDirection",
                                      "SessionID", "IsTemporary"}));
  EXPECT_EQ(sent[0].FieldByName(1, "UCode").AsString(), "ann");
  EXPECT_EQ(sent[0].FieldByName(1, "TaskID").AsString(), "946164070");
  EXPECT_EQ(sent[0].FieldByName(1, "TaskName").AsString(), "临时任务");
  EXPECT_EQ(sent[0].FieldByName(1, "SessionID").AsString(), "946164080");
  EXPECT_EQ(sent[0].FieldByName(1, "IsTemporary").AsString(), "1");

  Refuse("TTask.Start");
  EXPECT_FALSE(ReportStart(ctx, *task));
  EXPECT_EQ(server.Sent("TTask.Start").size(), 3u + 4u);
}

TEST_F(ReportsTest, StopReportSendsItsFieldsInOrderAndThenTheErrorsInBatchesOfTen) {
  for (const char* f : {"/a", "/b", "/c"}) task->FolderList.AddFolder(f, true);
  task->FolderList.Remove(task->FolderList.First());
  auto& c = task->PostBag.Counters();
  c.TotalFileCount = 40;
  c.TotalDoneFileSize = 5000000000;
  c.FileCheckedCount = 17;
  AddFailedUploads(23);

  EXPECT_TRUE(ReportStop(ctx, *task));
  auto stop = server.Sent("TTask.Stop");
  ASSERT_EQ(stop.size(), 1u);
  EXPECT_EQ(
      stop[0].Fields().Names(),
      (std::vector<std::string>{
          "UCode", "TaskID", "TaskName", "TaskKind", "TaskDirection", "SessionID", "Comment",
          "IsTemporary", "FolderTotalCount", "FolderCount", "TotalFileCount", "TotalDoneFileSize",
          "FileWaitedCount", "FileCheckedCount", "FileCheckedAndNoChangeCount",
          "FileCheckedAndNeedUpCount", "FileDispatchedCount", "FileDoneCount", "FileErrorCount"}));
  EXPECT_EQ(stop[0].FieldByName(1, "Comment").AsString(), "line1\x02line2");
  EXPECT_EQ(stop[0].FieldByName(1, "FolderTotalCount").AsString(), "3");
  EXPECT_EQ(stop[0].FieldByName(1, "FolderCount").AsString(), "2");
  EXPECT_EQ(stop[0].FieldByName(1, "TotalDoneFileSize").AsString(), "5000000000");
  EXPECT_EQ(stop[0].FieldByName(1, "FileErrorCount").AsString(), "23");
  EXPECT_EQ(stop[0].FieldByName(1, "FileWaitedCount").AsString(), "0");

  auto batches = server.Sent("TTask.ErrorReport");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].RecordSetCount(), 10);
  EXPECT_EQ(batches[1].RecordSetCount(), 10);
  EXPECT_EQ(batches[2].RecordSetCount(), 3);
  EXPECT_EQ(batches[0].Fields().Names(),
            (std::vector<std::string>{"UCode", "TaskID", "TaskName", "TaskKind", "SessionID",
                                      "ObjectName", "ObjectFolder"}));
  EXPECT_EQ(batches[2].FieldByName(3, "ObjectName").AsString(), "f23.txt");
  EXPECT_EQ(batches[2].FieldByName(3, "ObjectFolder").AsString(), "/data");
  EXPECT_EQ(task->ErrorBag.Count(), 0u);
}

TEST_F(ReportsTest, AfterAFailedBatchTheRestIsDrainedUnsent) {
  Refuse("TTask.ErrorReport");
  AddFailedUploads(23);
  EXPECT_FALSE(ReportErrors(ctx, *task));
  EXPECT_EQ(server.Sent("TTask.ErrorReport").size(), 1u);
  EXPECT_EQ(task->ErrorBag.Count(), 0u);
}

TEST_F(ReportsTest, AFailedStopReportSendsNoErrors) {
  Refuse("TTask.Stop");
  AddFailedUploads(2);
  EXPECT_FALSE(ReportStop(ctx, *task));
  EXPECT_EQ(server.Sent("TTask.Stop").size(), 4u);
  EXPECT_TRUE(server.Sent("TTask.ErrorReport").empty());
  EXPECT_EQ(task->ErrorBag.Count(), 2u);
}

TEST_F(ReportsTest, NoErrorReportWithoutFailedFiles) {
  EXPECT_TRUE(ReportStop(ctx, *task));
  EXPECT_TRUE(server.Sent("TTask.ErrorReport").empty());
}

TEST_F(ReportsTest, DownloadErrorsNameTheServerFileAndItsFolder) {
  auto down = CreateTaskObject(100, 1, "ann");
  for (const char* path : {"/home/a/x.txt", "/y.txt", "C:/docs/z.doc"}) {
    auto item = std::make_shared<TPostBagItem>();
    item->SourcePath = path;
    item->ObjectCargo = "/restore/somewhere";
    down->ErrorBag.Append(item);
  }
  EXPECT_TRUE(ReportErrors(ctx, *down));
  auto sent = server.Sent("TTask.ErrorReport");
  ASSERT_EQ(sent.size(), 1u);
  const std::pair<const char*, const char*> expected[] = {
      {"x.txt", "/home/a"}, {"y.txt", "/"}, {"z.doc", "C:/docs"}};
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(sent[0].FieldByName(n, "ObjectName").AsString(), expected[n - 1].first);
    EXPECT_EQ(sent[0].FieldByName(n, "ObjectFolder").AsString(), expected[n - 1].second);
  }
}

TEST(ReportsWithoutServer, FailWithoutAConnection) {
  testsupport::TFakeEngineContext ctx;
  auto task = CreateTaskObject(200, 0, "u1");
  EXPECT_FALSE(ReportStart(ctx, *task));
  EXPECT_FALSE(ReportStop(ctx, *task));
}

class FolderCheckTest : public ReportsTest {
 protected:
  void SetUp() override {
    ReportsTest::SetUp();
    sync = std::make_shared<TTaskObject_FileSync_UP>("ann");
    sync->TaskID = 946164070;
    sync->RequestStart(false, std::chrono::system_clock::now());
    sync->MarkRunning();
  }
  TFolderObjectPtr Entry(const std::string& path, bool whole) {
    return sync->FolderList.AddFolder(path, whole);
  }
  testing::TTempTree tree;
  std::shared_ptr<TTaskObject_FileSync_UP> sync;
};

TEST_F(FolderCheckTest, ListsEveryEntryThatPassesTheFilter) {
  tree.File("a.txt", 3);
  tree.File("b.tmp");
  tree.Folder("sub");
  sync->FilterInfo.AddPattern("*.tmp", false);
  ASSERT_TRUE(sync->FolderCheck(ctx, Entry(tree.Root(), true)));
  auto sent = server.Sent("TUpDown.FolderCheck");
  ASSERT_EQ(sent.size(), 1u);
  TQorPack& p = sent[0];
  ASSERT_EQ(p.RecordSetCount(), 2);
  EXPECT_EQ(p.Fields().Names(),
            (std::vector<std::string>{"UCode", "TaskID", "TaskKind", "ObjectID", "ObjectName",
                                      "ObjectKind", "ObjectFolder", "ObjectSize", "ObjectDate"}));
  for (int n = 1; n <= 2; ++n) {
    EXPECT_EQ(p.FieldByName(n, "ObjectID").AsString(), std::to_string(n));
    EXPECT_EQ(p.FieldByName(n, "TaskKind").AsString(), "200");
    EXPECT_EQ(p.FieldByName(n, "ObjectFolder").AsString(), tree.Root() + "/");
    const std::string name = p.FieldByName(n, "ObjectName").AsString();
    const bool isFolder = name == tree.Path("sub");
    ASSERT_TRUE(isFolder || name == tree.Path("a.txt")) << name;
    EXPECT_EQ(p.FieldByName(n, "ObjectKind").AsString(), isFolder ? "1" : "0");
    EXPECT_EQ(p.FieldByName(n, "ObjectSize").AsString(), isFolder ? "-1" : "3");
    if (isFolder)
      EXPECT_EQ(p.FieldByName(n, "ObjectDate").AsString(), "-1");
    else
      EXPECT_GT(p.FieldByName(n, "ObjectDate").AsInteger(), 0);
  }
}

// So that the server can empty its copy: one record naming the folder, with
// an empty ObjectName.
TEST_F(FolderCheckTest, AFolderWithNothingToListSendsOneRecordNamingIt) {
  tree.File("all/b.tmp");
  sync->FilterInfo.AddPattern("*.tmp", false);
  const std::string folders[] = {tree.Folder("empty"), tree.Path("all")};
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(folders[i]);
    ASSERT_TRUE(sync->FolderCheck(ctx, Entry(folders[i], true)));
    auto sent = server.Sent("TUpDown.FolderCheck");
    ASSERT_EQ(sent.size(), i + 1);
    TQorPack& p = sent.back();
    ASSERT_EQ(p.RecordSetCount(), 1);
    EXPECT_EQ(p.FieldByName(1, "UCode").AsString(), "ann");
    EXPECT_EQ(p.FieldByName(1, "TaskKind").AsString(), "200");
    EXPECT_EQ(p.FieldByName(1, "ObjectFolder").AsString(), folders[i] + "/");
    EXPECT_EQ(p.FieldByName(1, "ObjectName").AsString(), "");
  }
}

TEST_F(FolderCheckTest, SendsNothingForAPartEntryOrATaskThatStopped) {
  tree.File("a.txt");
  EXPECT_FALSE(sync->FolderCheck(ctx, Entry(tree.Root(), false)));
  sync->RequestStop(false);
  EXPECT_FALSE(sync->FolderCheck(ctx, Entry(tree.Path("x"), true)));
  EXPECT_FALSE(sync->FolderCheck(ctx, Entry(tree.Root() + "/", true)));
  EXPECT_TRUE(server.Sent("TUpDown.FolderCheck").empty());
}

TEST_F(FolderCheckTest, AFailingCallGivesFalse) {
  Refuse("TUpDown.FolderCheck");
  EXPECT_FALSE(sync->FolderCheck(ctx, Entry(tree.Root(), true)));
}

}  // namespace
}  // namespace solvane
