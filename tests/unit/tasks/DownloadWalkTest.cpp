// The restore walk over a scripted server store.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "TempTree.h"
#include "tasks/TTaskObject_File.h"

namespace solvane {
namespace {

using testing::ReplyWith;
using testing::TRecord;

TRecord Folder(const std::string& parent, const std::string& name) {
  return {{"ObjectName", name}, {"ObjectFolder", parent}, {"ObjectKind", "1"},
          {"ObjectSize", "-1"}, {"ObjectDate", "-1"},     {"ObjectVersion", "-1"}};
}
TRecord File(const std::string& parent, const std::string& name, const std::string& size) {
  return {{"ObjectName", name}, {"ObjectFolder", parent},    {"ObjectKind", "0"},
          {"ObjectSize", size}, {"ObjectDate", "946164070"}, {"ObjectVersion", "3"}};
}

class DownloadWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ASSERT_TRUE(ctx.ConnectPool(server.Port()));
    server.On("TBrower.ShowFileObject", [this](TQorPack& r) {
      const std::string path = r.FieldByName(1, "RelatePath").AsString();
      std::vector<TRecord> records;
      if (path == "/srv/data")
        records = {Folder("/srv/data", "sub"), File("/srv/data", "a.txt", "5000000000")};
      else if (path == "/srv/data/sub/" && !failSub)
        records = {Folder("/srv/data/sub", "deep"), File("/srv/data/sub", "b.txt", "10")};
      else if (path == "/srv/data/sub/deep/")
        records = {File("/srv/data/sub/deep", "c.txt", "0")};
      else
        return ReplyWith("TBrower.ShowFileObject", {}, 5);
      return ReplyWith("TBrower.ShowFileObject", records);
    });
    task = CreateTaskObject(100, 1, "owner");
    task->RestoreInfo.IsDefine = 1;
    task->RestoreInfo.CacheFolder = tree.Path("r");
    task->RequestStart(false, std::chrono::system_clock::now());
    task->MarkRunning();
  }
  std::vector<std::string> EntryPaths() {
    std::vector<std::string> out;
    for (auto e = task->FolderList.First(); e; e = task->FolderList.First()) {
      out.push_back(e->FolderPath + (e->IsWholeFolder ? " whole" : " part"));
      task->CalcFolder(ctx, e);
      task->FolderList.Remove(e);
    }
    return out;
  }

  testing::TScriptedServer server;
  testsupport::TFakeEngineContext ctx;
  testing::TTempTree tree;
  TTaskObjectPtr task;
  bool failSub = false;
};

TEST_F(DownloadWalkTest, AFolderIsListedOnceToFindSubfoldersAndOnceForItsFiles) {
  task->FileObjects.Items.push_back({"/srv/data", 1, -1, -1, -1});
  task->DetectFolders(ctx);
  EXPECT_EQ(server.Sent("TBrower.ShowFileObject").size(), 3u);
  EXPECT_EQ(EntryPaths(), (std::vector<std::string>{"/srv/data whole", "/srv/data/sub/ whole",
                                                    "/srv/data/sub/deep/ whole"}));
  auto listings = server.Sent("TBrower.ShowFileObject");
  ASSERT_EQ(listings.size(), 6u);
  EXPECT_EQ(listings[0].Fields().Names(),
            (std::vector<std::string>{"UCode", "TaskKind", "RelatePath", "IsInlcudeSubFolder"}));
  EXPECT_EQ(listings[0].FieldByName(1, "UCode").AsString(), "owner");
  EXPECT_EQ(listings[0].FieldByName(1, "TaskKind").AsString(), "100");
  EXPECT_EQ(listings[0].FieldByName(1, "IsInlcudeSubFolder").AsString(), "1");

  auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0]->SourcePath, "/srv/data/a.txt");
  EXPECT_EQ(items[0]->ObjectCargo, tree.Path("r/srv/data/a.txt"));
  EXPECT_EQ(items[0]->ObjectSize, 5000000000);  // read in 64 bits
  EXPECT_EQ(items[0]->ObjectDate, 946164070);
  EXPECT_EQ(items[0]->ObjectVersion, 3);
  EXPECT_EQ(items[1]->SourcePath, "/srv/data/sub/b.txt");
  EXPECT_EQ(items[2]->ObjectCargo, tree.Path("r/srv/data/sub/deep/c.txt"));
  EXPECT_EQ(task->PostBag.Counters().FileCheckedCount.load(), 3);
}

TEST_F(DownloadWalkTest, OneChosenFileMakesNoListingCall) {
  task->FileObjects.Items.push_back({"/srv/data/sub/b.txt", 0, 10, 946164070, 2});
  task->DetectFolders(ctx);
  EXPECT_EQ(EntryPaths(), std::vector<std::string>{"/srv/data/sub/ part"});
  EXPECT_TRUE(server.Sent("TBrower.ShowFileObject").empty());
  auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->ObjectCargo, tree.Path("r/srv/data/sub/b.txt"));
  EXPECT_EQ(items[0]->ObjectSize, 10);
  EXPECT_EQ(items[0]->ObjectVersion, 2);
}

TEST_F(DownloadWalkTest, AFailedListingDropsOnlyThatBranch) {
  failSub = true;
  task->FileObjects.Items.push_back({"/srv/data", 1, -1, -1, -1});
  task->DetectFolders(ctx);
  EXPECT_EQ(EntryPaths(), (std::vector<std::string>{"/srv/data whole", "/srv/data/sub/ whole"}));
  auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->SourcePath, "/srv/data/a.txt");
}

TEST_F(DownloadWalkTest, NothingIsListedForATaskThatDoesNotRun) {
  task->Pause(false);
  task->FileObjects.Items.push_back({"/srv/data", 1, -1, -1, -1});
  task->DetectFolders(ctx);
  EXPECT_EQ(task->FolderList.Count(), 0u);
  EXPECT_TRUE(server.Sent("TBrower.ShowFileObject").empty());
}

}  // namespace
}  // namespace solvane
