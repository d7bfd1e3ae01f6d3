#include <gtest/gtest.h>

#include <filesystem>

#include "FakeEngineContext.h"
#include "TempTree.h"
#include "session/DosDateTime.h"
#include "tasks/RestoreTarget.h"
#include "tasks/TTaskObject_File.h"

namespace solvane {
namespace {

struct TargetCase {
  const char* name;
  std::string serverPath;
  int isDefine;
  std::string cacheFolder;
  std::optional<std::string> target;  // nullopt: refused
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class RestoreTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(RestoreTargetTest, MapsOrRefuses) {
  const TargetCase& c = GetParam();
  EXPECT_EQ(RestoreTargetPath(c.serverPath, c.isDefine, c.cacheFolder), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RestoreTargetTest,
    ::testing::Values(
        TargetCase{"OriginalPlace", "/home/a/x.txt", 0, "/r", "/home/a/x.txt"},
        TargetCase{"OriginalDriveIsNoPathHere", "C:/docs/x.txt", 0, "/r", std::nullopt},
        TargetCase{"OriginalRelativeRefused", "home/a/x.txt", 0, "/r", std::nullopt},
        TargetCase{"OriginalDotDotRefused", "/home/a/../../etc/passwd", 0, "/r", std::nullopt},
        TargetCase{"BelowKeepsFullPath", "/home/a/x.txt", 1, "/r", "/r/home/a/x.txt"},
        TargetCase{"BelowWithTrailingSeparator", "/home/a/x.txt", 1, "/r/", "/r/home/a/x.txt"},
        TargetCase{"BelowDriveBecomesFolder", "C:/docs/x.txt", 1, "/r", "/r/C/docs/x.txt"},
        TargetCase{"BelowBackslashes", "C:\\docs\\x.txt", 1, "/r", "/r/C/docs/x.txt"},
        TargetCase{"BelowDotDotRefused", "/home/../../x.txt", 1, "/r", std::nullopt},
        TargetCase{"BelowDotDotBackslashRefused", "/home/..\\..\\x.txt", 1, "/r", std::nullopt},
        TargetCase{"BelowSingleDotRefused", "/home/./x.txt", 1, "/r", std::nullopt},
        TargetCase{"BelowWithoutFolderRefused", "/home/a/x.txt", 1, "", std::nullopt},
        TargetCase{"FlatNameOnly", "/home/a/x.txt", 2, "/r", "/r/x.txt"},
        TargetCase{"FlatOtherValue", "C:/docs/x.txt", 7, "/r", "/r/x.txt"},
        TargetCase{"FlatDotDotNameRefused", "/home/a/..", 2, "/r", std::nullopt},
        TargetCase{"FlatFolderPathRefused", "/home/a/", 2, "/r", std::nullopt},
        TargetCase{"EmptyRefused", "", 1, "/r", std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

class EnqueueDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    task = CreateTaskObject(100, 1, "u1");
    task->RestoreInfo.IsDefine = 1;
    task->RestoreInfo.CacheFolder = tree.Folder("restore");
  }
  bool Enqueue(const std::string& serverPath, std::int64_t size, std::int64_t objectDate) {
    return task->EnqueueDownload(ctx, serverPath, size, -1, 3, objectDate);
  }
  testsupport::TFakeEngineContext ctx;
  testing::TTempTree tree;
  TTaskObjectPtr task;
  const std::int64_t date =
      DateTimeToDos(std::chrono::system_clock::now() - std::chrono::hours(30));
};

TEST_F(EnqueueDownloadTest, QueuesAMissingFileAndCreatesItsFolder) {
  ASSERT_TRUE(Enqueue("/home/ann/docs/a.txt", 12, date));
  const std::string target = tree.Path("restore/home/ann/docs/a.txt");
  EXPECT_TRUE(std::filesystem::is_directory(tree.Path("restore/home/ann/docs")));
  auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->SourcePath, "/home/ann/docs/a.txt");
  EXPECT_EQ(items[0]->ObjectCargo, target);
  EXPECT_EQ(items[0]->ObjectSize, 12);
  EXPECT_EQ(items[0]->ObjectVersion, 3);
  EXPECT_EQ(items[0]->ObjectDate, date);
  EXPECT_EQ(items[0]->ItemState.load(), kItemChecked);
}

TEST_F(EnqueueDownloadTest, LeavesAnExistingFileAloneUnlessOverwriteIsOn) {
  tree.FileWithText("restore/home/ann/a.txt", "local copy");
  EXPECT_FALSE(Enqueue("/home/ann/a.txt", 99, date));
  EXPECT_EQ(task->PostBag.Count(), 0u);
  task->RestoreInfo.Overwrite = true;
  EXPECT_TRUE(Enqueue("/home/ann/a.txt", 99, date));
  EXPECT_EQ(task->PostBag.Count(), 1u);
}

TEST_F(EnqueueDownloadTest, SkipsTheSameFileEvenWithOverwrite) {
  task->RestoreInfo.Overwrite = true;
  const std::string local = tree.FileWithText("restore/home/ann/same.txt", "12345");
  DateTime when;
  ASSERT_TRUE(DosToDateTime(static_cast<std::uint32_t>(date), when));
  testing::SetLastWrite(local, when);
  EXPECT_FALSE(Enqueue("/home/ann/same.txt", 5, date));
  EXPECT_TRUE(Enqueue("/home/ann/same.txt", 6, date));  // other size: replaced
}

TEST_F(EnqueueDownloadTest, RefusesAPathThatLeavesTheTargetAndCountsItFailed) {
  EXPECT_FALSE(Enqueue("/home/../../../etc/evil", 5, date));
  EXPECT_FALSE(std::filesystem::exists(tree.Path("etc")));
  EXPECT_EQ(task->PostBag.Count(), 0u);
  auto failed = task->ErrorBag.Snapshot();
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0]->SourcePath, "/home/../../../etc/evil");
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount.load(), 1);
  EXPECT_EQ(task->PostBag.Counters().TotalFileCount.load(), 1);
}

TEST_F(EnqueueDownloadTest, FlatRestorePutsFilesOfDifferentFoldersSideBySide) {
  task->RestoreInfo.IsDefine = 2;
  EXPECT_TRUE(Enqueue("/a/one.txt", 1, date));
  EXPECT_TRUE(Enqueue("/b/c/two.txt", 1, date));
  auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->ObjectCargo, tree.Path("restore/one.txt"));
  EXPECT_EQ(items[1]->ObjectCargo, tree.Path("restore/two.txt"));
}

}  // namespace
}  // namespace solvane
