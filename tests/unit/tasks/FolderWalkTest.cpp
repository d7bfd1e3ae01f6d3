// The upload walks on a temporary tree: folder entries, queued files and the
// task filter.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "FakeEngineContext.h"
#include "TempTree.h"
#include "tasks/TTaskObject_File.h"

namespace solvane {
namespace {

using ::testing::UnorderedElementsAreArray;

class UploadWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    tree.File("a.txt");
    tree.File("b.tmp");
    tree.File(".hidden.txt");
    tree.File("sub/c.txt");
    tree.File("sub/other.txt");
    tree.File("sub/deeper/d.txt");
    tree.File(".hid/e.txt");
    tree.File(".hid/inner/f.txt");
    task = std::make_shared<TTaskObject_FileBackup_UP>("u1");
    task->RequestStart(false, std::chrono::system_clock::now());
    task->MarkRunning();
  }

  struct Entry {
    std::string path;
    bool whole;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> Entries() {
    std::vector<Entry> out;
    while (auto e = task->FolderList.First()) {
      out.push_back({e->FolderPath, e->IsWholeFolder});
      task->FolderList.Remove(e);
    }
    return out;
  }
  // Runs the walk and the calc step of every entry; the queued paths.
  std::vector<std::string> Queued() {
    task->DetectFolders(ctx);
    while (auto e = task->FolderList.First()) {
      task->CalcFolder(ctx, e);
      task->FolderList.Remove(e);
    }
    std::vector<std::string> out;
    for (const auto& item : task->PostBag.Snapshot()) out.push_back(item->SourcePath);
    return out;
  }

  testsupport::TFakeEngineContext ctx;
  testing::TTempTree tree;
  std::shared_ptr<TTaskObject_FileBackup_UP> task;
};

TEST_F(UploadWalkTest, AFolderGivesWholeEntriesForItselfAndEverySubfolder) {
  task->FileObjects.Add(tree.Root(), 1);
  task->DetectFolders(ctx);
  EXPECT_THAT(Entries(),
              UnorderedElementsAreArray(std::vector<Entry>{{tree.Root() + "/", true},
                                                           {tree.Path("sub"), true},
                                                           {tree.Path("sub/deeper"), true},
                                                           {tree.Path(".hid"), true},
                                                           {tree.Path(".hid/inner"), true}}));
  EXPECT_EQ(task->FolderList.FolderTotalCount(), 5);
}

TEST_F(UploadWalkTest, AHiddenSubfolderIsNeitherAddedNorWalkedWithTheHiddenFilter) {
  task->FilterInfo.FilterAttribute = true;
  task->FilterInfo.IsFilterHidden = true;
  task->FileObjects.Add(tree.Root(), 1);
  EXPECT_THAT(Queued(), UnorderedElementsAreArray(
                            {tree.Path("a.txt"), tree.Path("b.tmp"), tree.Path("sub/c.txt"),
                             tree.Path("sub/other.txt"), tree.Path("sub/deeper/d.txt")}));
  EXPECT_EQ(task->FolderList.FolderTotalCount(), 3);
}

TEST_F(UploadWalkTest, ASingleFileGivesItsParentAsAPartEntryAndQueuesOnlyThatFile) {
  task->FileObjects.Add(tree.Path("sub/c.txt"), 0);
  task->DetectFolders(ctx);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{tree.Path("sub"), false}}));
  EXPECT_EQ(Queued(), std::vector<std::string>{tree.Path("sub/c.txt")});
  EXPECT_EQ(task->PostBag.Snapshot()[0]->ObjectFolder, tree.Path("sub"));
}

TEST_F(UploadWalkTest, AFileOfAFolderTheWalkAddedLeavesTheEntryWhole) {
  task->FileObjects.Add(tree.Root(), 1);
  task->FileObjects.Add(tree.Path("sub/c.txt"), 0);
  task->DetectFolders(ctx);
  auto sub = task->FolderList.FindFolder(tree.Path("sub"));
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->IsWholeFolder);
  EXPECT_EQ(task->FolderList.Count(), 5u);
}

TEST_F(UploadWalkTest, PatternsAndPolicyApplyToFilesAndFolders) {
  task->FilterInfo.AddPattern("*.tmp", false);
  task->FilterInfo.AddPattern("/deeper", false);
  TDefaultPolicy policy;
  policy.ExcludeList = {"other"};
  ctx.Tasks().SetPolicy(policy);
  task->FileObjects.Add(tree.Root(), 1);
  EXPECT_THAT(Queued(), UnorderedElementsAreArray({tree.Path("a.txt"), tree.Path(".hidden.txt"),
                                                   tree.Path("sub/c.txt"), tree.Path(".hid/e.txt"),
                                                   tree.Path(".hid/inner/f.txt")}));
}

TEST_F(UploadWalkTest, SizeLimitsAreInclusiveMebibytes) {
  testing::TTempTree sizes;
  sizes.File("empty.bin", 0);
  sizes.File("exact.bin", 1048576);
  sizes.File("over.bin", 1048577);
  task->FilterInfo.FilterSize = true;
  task->FilterInfo.MinFileSize = 0;
  task->FilterInfo.MaxFileSize = 1;
  task->FileObjects.Add(sizes.Root(), 1);
  EXPECT_THAT(Queued(),
              UnorderedElementsAreArray({sizes.Path("empty.bin"), sizes.Path("exact.bin")}));
}

TEST_F(UploadWalkTest, DateLimitsIncludeBothEnds) {
  testing::TTempTree dated;
  const auto old = dated.File("old.txt");
  const auto fresh = dated.File("fresh.txt");
  const DateTime then = *FromLocalDateTime(TLocalDateTime{2020, 6, 1, 12, 0, 0, 0});
  testing::SetLastWrite(old, then);
  task->FilterInfo.FilterUpdateDate = true;
  task->FilterInfo.MinFileModifiedDate = then;
  task->FilterInfo.MaxFileModifiedDate = then;
  task->FileObjects.Add(dated.Root(), 1);
  EXPECT_EQ(Queued(), std::vector<std::string>{old});
}

TEST_F(UploadWalkTest, ReadOnlyFilterExcludesReadOnlyFiles) {
  testing::TTempTree files;
  const auto locked = files.File("ro.txt");
  files.File("rw.txt");
  std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  task->FilterInfo.FilterAttribute = true;
  task->FilterInfo.IsFilterReadOnly = true;
  task->FileObjects.Add(files.Root(), 1);
  EXPECT_EQ(Queued(), std::vector<std::string>{files.Path("rw.txt")});
}

TEST_F(UploadWalkTest, WalksStopAsSoonAsTheTaskNoLongerRuns) {
  task->FileObjects.Add(tree.Root(), 1);
  int paces = 0;
  ctx.SetPaceHook([&](int) {
    if (++paces == 1) task->Pause(false);
  });
  task->DetectFolders(ctx);
  EXPECT_LE(task->FolderList.Count(), 2u);  // the root and at most one subfolder

  // Nothing is queued for a task that does not run.
  auto root = task->FolderList.FindFolder(tree.Root() + "/");
  ASSERT_NE(root, nullptr);
  task->CalcFolder(ctx, root);
  EXPECT_EQ(task->PostBag.Count(), 0u);
}

TEST_F(UploadWalkTest, PacesPerEntryAndPerSelectedObjectUnderStandardPacing) {
  ctx.SetPacing(TPacing::Standard);
  ctx.SetSleepOnPace(false);
  testing::TTempTree small;
  small.File("one.txt");
  small.File("two/three.txt");
  task->FileObjects.Add(small.Root(), 1);
  task->FileObjects.Add(small.Path("one.txt"), 0);
  task->DetectFolders(ctx);
  EXPECT_EQ(ctx.PaceCount(10), 2);  // one per selected object
  // Root: two entries and the drop of the path; "two": one entry and the drop.
  EXPECT_EQ(ctx.PaceCount(1), 5);
}

}  // namespace
}  // namespace solvane
