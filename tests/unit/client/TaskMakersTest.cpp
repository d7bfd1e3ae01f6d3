// The one-off tasks as the makers hand them to the task list: kind,
// direction, identity and name, and the choice and restore target carried
// over unchanged.

#include <gtest/gtest.h>

#include <set>

#include "FakeEngineContext.h"
#include "client/TaskMakers.h"
#include "mail/QorWithMCDefine.h"
#include "platform/LocalTime.h"

namespace solvane {
namespace {

DateTime Moment() { return *FromLocalDateTime(TLocalDateTime{2026, 12, 10, 9, 30, 4, 0}); }

class TaskMakers : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetUserCode("ann");
    ctx.SetNow(Moment());
  }
  testsupport::TFakeEngineContext ctx;
};

TEST_F(TaskMakers, EveryOneOffTaskIsTemporaryWithAFreshIdAndItsSystemName) {
  const std::string restoreName = "临时任务2026-12-10 09:30:04";
  const TMailTaskChoice mail{{{3, 3001}}, {}, {}};
  struct Case {
    const char* what;
    std::function<TTaskObjectPtr()> make;
    int kind, direction;
  };
  const Case cases[] = {
      {"file backup", [&] { return MakeFileBackupTask(ctx, {{"/home/ann/a.txt", false}}); }, 100, 0},
      {"folder sync", [&] { return MakeFolderSyncTask(ctx, {{"/home/ann/docs", true}}); }, 200, 0},
      {"backup restore", [&] { return MakeFileRestoreTask(ctx, 100, {{"/home/ann/a.txt"}}, {}); },
       100, 1},
      {"sync restore", [&] { return MakeFileRestoreTask(ctx, 200, {{"/home/ann/docs", true}}, {}); },
       200, 1},
      {"mail backup", [&] { return MakeMailBackupTask(ctx, kMCKindFoxmail, mail); }, 500, 0},
      {"mail restore", [&] { return MakeMailRestoreTask(ctx, kMCKindFoxmail, mail, {}); }, 500, 1},
  };
  std::set<std::int32_t> ids;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TTaskObjectPtr task = c.make();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->TaskKind, c.kind);
    EXPECT_EQ(task->TaskDirection, c.direction);
    EXPECT_TRUE(task->IsTemporary);
    EXPECT_EQ(task->UCode, "ann");
    EXPECT_TRUE(ids.insert(task->TaskID).second) << "TaskID " << task->TaskID << " given twice";
    // An upload is named by its TaskID, a restore by the moment it was made.
    EXPECT_EQ(task->TaskName,
              c.direction == 1 ? restoreName : "临时任务" + std::to_string(task->TaskID));
    EXPECT_EQ(task->CreateDate, Moment());
    ctx.Tasks().Add(task);
  }
}

TEST_F(TaskMakers, RestoreCarriesTheObjectsTheirParentAndTheTargetAsChosen) {
  const std::vector<TServerChoice> objects = {{"/home/ann/docs/a.txt", false, 12, 946164070, 2},
                                              {"/home/ann/docs/sub", true, -1, -1, -1}};
  struct Case {
    TRestoreTarget target;
    int isDefine;
  };
  const Case cases[] = {{{std::nullopt, false, false}, 0},
                        {{std::string("/tmp/back"), false, true}, 1},
                        {{std::string("/tmp/back"), true, false}, 2}};
  for (const Case& c : cases) {
    const TTaskObjectPtr task = MakeFileRestoreTask(ctx, 100, objects, c.target);
    EXPECT_EQ(task->RestoreInfo.IsDefine, c.isDefine);
    EXPECT_EQ(task->RestoreInfo.CacheFolder, c.target.Folder.value_or(""));
    EXPECT_EQ(task->RestoreInfo.Overwrite, c.target.Overwrite);
    EXPECT_EQ(task->RestoreInfo.ParentFolder, "/home/ann/docs");
    ASSERT_EQ(task->FileObjects.Items.size(), 2u);
    const TTaskFileObject& file = task->FileObjects.Items[0];
    EXPECT_EQ(file.ObjectName, "/home/ann/docs/a.txt");
    EXPECT_EQ(file.ObjectKind, 0);
    EXPECT_EQ(file.ObjectSize, 12);
    EXPECT_EQ(file.ObjectDate, 946164070);
    EXPECT_EQ(file.ObjectVersion, 2);
    EXPECT_EQ(task->FileObjects.Items[1].ObjectKind, 1);
  }
}

TEST_F(TaskMakers, MailChoiceTakesWholeFoldersAndPicksEachMessageOnceUnderItsParent) {
  // Folder 3001 whole; a message of it is not listed again. Two picks of
  // folder 3002 (one twice) land in one folder under the parent parentOf
  // names; folder 9 has no known parent.
  const TMailTaskChoice choice{{{3, 3001}},
                           {{3001, 7}, {3002, 8}, {3002, 8}, {3002, 9}, {9, 1}},
                           [](std::int64_t id) { return id / 1000 == 3 ? std::int64_t{3} : -1; }};
  const TTaskObjectPtr task = MakeMailRestoreTask(ctx, kMCKindOutlookExpress, choice,
                                                  {std::string("/tmp/mail"), false, true});
  EXPECT_EQ(task->MCInfo.MCKind, kMCKindOutlookExpress);
  EXPECT_EQ(task->RestoreInfo.IsDefine, 1);
  const auto& folders = task->MCInfo.MCFolders;
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0]->FolderID, 3001);
  EXPECT_TRUE(folders[0]->IsSelected);
  EXPECT_TRUE(folders[0]->Messages.Empty());
  EXPECT_EQ(folders[1]->FolderID, 3002);
  EXPECT_EQ(folders[1]->ParentID, 3);
  EXPECT_FALSE(folders[1]->IsSelected);
  ASSERT_EQ(folders[1]->Messages.Count(), 2u);
  EXPECT_EQ(folders[1]->Messages[0].MessageID, 8);
  EXPECT_EQ(folders[1]->Messages[1].MessageID, 9);
  EXPECT_TRUE(folders[1]->Messages[1].IsSelected);
  EXPECT_EQ(folders[2]->FolderID, 9);
  EXPECT_EQ(folders[2]->ParentID, -1);
}

}  // namespace
}  // namespace solvane
