// Share-area transfer tasks against the real server: uploads pass the check
// stage into the chosen share folder, downloads land under their own names
// in the chosen folder without any listing call, and a protected folder is
// reached only after it was opened with its password, in that session only.

#include <gtest/gtest.h>

#include <filesystem>

#include "EngineTestSupport.h"
#include "ScriptedServer.h"
#include "ServerProcess.h"
#include "ShareCalls.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/ShareAreaCalls.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using enginetest::PatternBytes;
using enginetest::ReadFile;
using enginetest::TEngineTestContext;
using enginetest::TTempDir;
using enginetest::WaitUntil;
using enginetest::WriteFile;

class ShareTaskOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw-ann", {"--space", "100"});
    server.AddUser("bob", "pw-bob", {"--space", "100"});
    ASSERT_TRUE(ann.Connect(server.Port()));
    ASSERT_TRUE(ann.Login("ann", "pw-ann"));
    ASSERT_TRUE(SignIn(bob, "bob", "pw-bob"));
    ctx.Engine().SetEngineActive(true);
    ctx.SetPaceHook([this](int ms) {
      if (ms == TTaskTransEngine::kSegmentPauseMs && ++segments == stopAfterSegments)
        stopTarget.load()->RequestStop(false);
    });
  }
  void TearDown() override { ctx.Engine().Stop(); }

  // A pool of its own session for code.
  bool SignIn(testsupport::TFakeEngineContext& c, const std::string& code,
              const std::string& password) {
    testing::TTestClient login;
    if (!login.Connect(server.Port()) || !login.Login(code, password)) return false;
    c.SetPacing(TPacing::Fast);
    c.SetUserCode(code);
    return c.ConnectPool(static_cast<std::uint16_t>(server.Port()), login.Token());
  }
  bool SignIn(TEngineTestContext& c, const std::string& code, const std::string& password) {
    return SignIn(static_cast<testsupport::TFakeEngineContext&>(c), code, password) &&
           c.AddTransConnections();
  }

  // Adds the task, starts it and waits until the engine has reported its
  // end; stopAfter: stop it after that many segments.
  void RunToEnd(const TTaskObjectPtr& task, int stopAfter = -1) {
    segments = 0;
    stopAfterSegments = stopAfter;
    stopTarget = task.get();
    ctx.Tasks().Add(task);
    ASSERT_TRUE(task->RequestStart(false, ctx.Now()));
    ASSERT_TRUE(WaitUntil([&] { return !ctx.Tasks().FindTask(task->TaskID); }, 60s));
  }
  std::vector<std::string> FilesOf(std::int64_t folder) {
    return testing::SelectFiles(ann, folder).Brief();
  }
  std::string Listed(const std::string& name, const std::string& content) {
    return name + ":" + std::to_string(content.size()) + ":" +
           std::to_string(FileDateStamp(src.Path(name), false));
  }

  testing::TServerProcess server;
  testing::TTestClient ann;
  TEngineTestContext bob;
  TEngineTestContext& ctx = bob;
  TTempDir src, dest;
  std::atomic<int> segments{0};
  std::atomic<int> stopAfterSegments{-1};
  std::atomic<TTaskObject*> stopTarget{nullptr};
};

TEST_F(ShareTaskOnServer,
       UploadPassesTheCheckIntoTheShareFolderAndDownloadReplacesOnlyWhenComplete) {
  const std::int64_t folder = testing::InsertFolder(ann, "ann", 0, "公共");
  const std::int64_t other = testing::InsertFolder(ann, "ann", 0, "other");
  ASSERT_GT(folder, 0);
  ASSERT_GT(other, 0);
  const std::string content = PatternBytes(3 * 262144 + 1000, 3);
  WriteFile(src.Path("report.doc"), content);

  auto upload =
      MakeShareUploadTask(ctx, static_cast<std::int32_t>(folder), {src.Path("report.doc")});
  EXPECT_EQ(upload->TaskKind, kKindShareFile);
  EXPECT_TRUE(upload->IsTemporary);
  EXPECT_TRUE(upload->TaskName.starts_with("共享区任务"));
  RunToEnd(upload);
  const auto& up = upload->PostBag.Counters();
  EXPECT_EQ(up.TotalFileCount, 1);
  EXPECT_EQ(up.FileCheckedCount, 1);
  EXPECT_EQ(up.FileCheckedAndNeedUpCount, 1);
  EXPECT_EQ(up.FileDoneCount, 1);
  EXPECT_EQ(up.FileErrorCount, 0);
  EXPECT_EQ(FilesOf(folder), std::vector<std::string>{Listed("report.doc", content)});
  EXPECT_TRUE(FilesOf(other).empty());

  // The same file again: the check finds it in that folder and sends nothing.
  auto again =
      MakeShareUploadTask(ctx, static_cast<std::int32_t>(folder), {src.Path("report.doc")});
  RunToEnd(again);
  EXPECT_EQ(again->PostBag.Counters().FileCheckedAndNoChangeCount, 1);
  EXPECT_EQ(again->PostBag.Counters().FileDispatchedCount, 0);

  // Download over an existing file: stopped midway, the target stays as it
  // was; the next run puts the whole file in place and keeps the old copy.
  const std::string target = dest.Path("report.doc");
  WriteFile(target, "older copy");
  ctx.SetSharedParam("RestoreParams.Overwrite", "0");  // a skipping restore before
  const TShareFileChoice choice{"report.doc", static_cast<std::int64_t>(content.size()),
                                FileDateStamp(src.Path("report.doc"), false)};
  auto stopped =
      MakeShareDownloadTask(ctx, static_cast<std::int32_t>(folder), {choice}, dest.Path());
  RunToEnd(stopped, 2);
  EXPECT_EQ(stopped->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(ReadFile(target), "older copy");

  auto download =
      MakeShareDownloadTask(ctx, static_cast<std::int32_t>(folder), {choice}, dest.Path());
  RunToEnd(download);
  EXPECT_EQ(download->PostBag.Counters().FileDoneCount, 1);
  EXPECT_EQ(ReadFile(target), content);
  EXPECT_EQ(ReadFile(target + ".tmp"), "older copy");
}

TEST_F(ShareTaskOnServer, ProtectedFolderOpensOnlyWithItsPasswordAndOnlyForThatSession) {
  const std::int64_t folder = testing::InsertFolder(ann, "ann", 0, "薪资", false, "s3cret");
  ASSERT_GT(folder, 0);
  const auto id = static_cast<std::int32_t>(folder);
  WriteFile(src.Path("a.txt"), "share me");

  std::vector<TShareFolderInfo> folders;
  ASSERT_EQ(SelectShareFolders(ctx, folders), TShareCallResult::kOk);
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_TRUE(folders[0].HasPassword);
  EXPECT_EQ(folders[0].Owner, "ann");
  EXPECT_TRUE(NeedsSharePassword(folders[0], "bob"));
  EXPECT_FALSE(NeedsSharePassword(folders[0], "ann"));

  std::vector<TShareFileInfo> files;
  EXPECT_EQ(OpenShareFolder(ctx, folder, "", files), TShareCallResult::kLocked);
  EXPECT_EQ(OpenShareFolder(ctx, folder, "wrong", files), TShareCallResult::kWrongPassword);
  // Still locked: an upload fails at the check and stores nothing.
  auto refused = MakeShareUploadTask(ctx, id, {src.Path("a.txt")});
  RunToEnd(refused);
  EXPECT_EQ(refused->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(refused->PostBag.Counters().FileDoneCount, 0);
  EXPECT_TRUE(FilesOf(folder).empty());

  ASSERT_EQ(OpenShareFolder(ctx, folder, "s3cret", files), TShareCallResult::kOk);
  auto upload = MakeShareUploadTask(ctx, id, {src.Path("a.txt")});
  RunToEnd(upload);
  EXPECT_EQ(upload->PostBag.Counters().FileDoneCount, 1);
  ASSERT_EQ(OpenShareFolder(ctx, folder, "", files), TShareCallResult::kOk) << "stays open";
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].ObjectName, "a.txt");
  EXPECT_EQ(files[0].ObjectSize, 8);

  // Another session of the same user is not opened by the first.
  testsupport::TFakeEngineContext second;
  ASSERT_TRUE(SignIn(second, "bob", "pw-bob"));
  EXPECT_EQ(OpenShareFolder(second, folder, "", files), TShareCallResult::kLocked);
  testing::TTestClient secondClient;
  ASSERT_TRUE(secondClient.Connect(server.Port()));
  ASSERT_TRUE(secondClient.Login("bob", "pw-bob"));
  int err = 0;
  testing::ShareDownload(secondClient, {"bob", folder, "a.txt", "share me", files[0].ObjectDate},
                         &err);
  EXPECT_NE(err, 1);
}

// The walks on a scripted server, which records every request.
class ShareTaskWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ASSERT_TRUE(ctx.ConnectPool(server.Port()));
  }
  std::vector<std::string> Walk(TTaskObject& task) {
    task.RequestStart(false, std::chrono::system_clock::now());
    task.MarkRunning();
    task.DetectFolders(ctx);
    std::vector<std::string> entries;
    while (auto entry = task.FolderList.First()) {
      entries.push_back(entry->FolderPath + (entry->IsWholeFolder ? " whole" : " part"));
      task.CalcFolder(ctx, entry);
      task.FolderList.Remove(entry);
    }
    return entries;
  }

  testing::TScriptedServer server;
  testsupport::TFakeEngineContext ctx;
  TTempDir src, dest;
};

TEST(ShareTaskFactory, KindShareMakesTheShareClassOfEachDirection) {
  auto up = CreateTaskObject(kKindShareFile, 0, "ann");
  auto down = CreateTaskObject(kKindShareFile, 1, "ann");
  ASSERT_NE(dynamic_cast<TTaskObject_ShareFile_UP*>(up.get()), nullptr);
  ASSERT_NE(dynamic_cast<TTaskObject_ShareFile_Down*>(down.get()), nullptr);
  EXPECT_EQ(up->TaskKind, 171);
  EXPECT_EQ(up->TaskDirection, 0);
  EXPECT_EQ(down->TaskKind, 171);
  EXPECT_EQ(down->TaskDirection, 1);
}

TEST_F(ShareTaskWalk, DownloadOfOneFileMakesNoCallAndTargetsItsOwnNameInTheChosenFolder) {
  auto task = MakeShareDownloadTask(ctx, 42, {{"budget.xls", 5000, 946164070}}, dest.Path());
  EXPECT_EQ(Walk(*task), std::vector<std::string>{"42 whole"});
  EXPECT_EQ(server.RequestCount(), 0u);
  const auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->SourcePath, "budget.xls");
  EXPECT_EQ(items[0]->ObjectCargo, dest.Path("budget.xls"));
  EXPECT_EQ(items[0]->ObjectData, 42);
  EXPECT_EQ(items[0]->ObjectSize, 5000);
  EXPECT_EQ(items[0]->ObjectDate, 946164070);
  EXPECT_EQ(items[0]->ItemState, kItemChecked);
}

TEST_F(ShareTaskWalk, UploadWalksFoldersAndFilesWithoutFilterOrPolicy) {
  WriteFile(src.Path("one.txt"), "1");
  fs::create_directories(src.Path("docs/sub"));
  WriteFile(src.Path("docs/.hidden"), "h");
  WriteFile(src.Path("docs/sub/two.tmp"), "2");
  TDefaultPolicy policy;
  policy.ExcludeList = {"*.tmp"};
  ctx.Tasks().SetPolicy(policy);

  auto task = MakeShareUploadTask(ctx, 7, {src.Path("docs"), src.Path("one.txt")});
  EXPECT_EQ(Walk(*task),
            (std::vector<std::string>{src.Path("docs/") + " whole", src.Path("docs/sub") + " whole",
                                      src.Path() + " part"}));
  std::vector<std::string> queued;
  for (const auto& item : task->PostBag.Snapshot()) {
    queued.push_back(item->SourcePath);
    EXPECT_EQ(item->ObjectData, 7);
    EXPECT_EQ(item->ItemState, kItemNew);
  }
  EXPECT_EQ(queued, (std::vector<std::string>{src.Path("docs/.hidden"),
                                              src.Path("docs/sub/two.tmp"), src.Path("one.txt")}));
  EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
}  // namespace solvane
