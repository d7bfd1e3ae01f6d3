// Restores as the screens ask for them: what is restored of a choice, which
// choices are refused before anything is made, and the places a search
// result and a mail store folder name.

#include <gtest/gtest.h>

#include "FakeEngineContext.h"
#include "client/RestoreTask.h"
#include "mail/QorWithMCDefine.h"
#include "platform/LocalTime.h"

namespace solvane {
namespace {

DateTime Moment() { return *FromLocalDateTime(TLocalDateTime{2026, 12, 10, 9, 30, 4, 0}); }

std::vector<std::string> Paths(const std::vector<TServerChoice>& objects) {
  std::vector<std::string> out;
  for (const auto& o : objects) out.push_back(o.Path);
  return out;
}

TEST(RestoreChoice, ObjectsInsideAChosenFolderAndRepeatsAreLeftOut) {
  const std::vector<TServerChoice> chosen = {
      {"/home/ann/docs", true},
      {"/home/ann/docs/a.txt", false, 5, 1, -1},
      {"/home/ann/docs/sub", true},
      {"/home/ann/docsx/b.txt", false, 5, 1, -1},  // beside, not inside
      {"/home/ann/c.txt", false, 5, 1, -1},
      {"/home/ann/c.txt", false, 5, 1, -1},
  };
  EXPECT_EQ(Paths(WithoutCovered(chosen)),
            (std::vector<std::string>{"/home/ann/docs", "/home/ann/docsx/b.txt", "/home/ann/c.txt"}));
}

class RestoreOrders : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetUserCode("ann");
    ctx.SetNow(Moment());
  }
  testsupport::TFakeEngineContext ctx;
};

TEST_F(RestoreOrders, UnsafeChoicesAreRefusedWithThePathInTheWay) {
  TRestoreTarget flat{std::string("/tmp/out"), true, false};
  TRestoreTarget below{std::string("/tmp/out"), false, false};
  struct Case {
    const char* what;
    std::vector<TServerChoice> objects;
    TRestoreTarget target;
    TRestoreRefusal refusal;
    std::string path;
  };
  const Case cases[] = {
      {"nothing", {}, {}, TRestoreRefusal::Empty, ""},
      {"two versions of one file",
       {{"/home/ann/a.txt", false, 5, 10, 1}, {"/home/ann/a.txt", false, 7, 12, 2}},
       below, TRestoreRefusal::TwoVersions, "/home/ann/a.txt"},
      {"same names restored flat",
       {{"/home/ann/x/a.txt", false, 5, 10, -1}, {"/home/ann/y/a.txt", false, 5, 10, -1}},
       flat, TRestoreRefusal::TwoVersions, "/home/ann/y/a.txt"},
      {"same names below a folder keep their paths",
       {{"/home/ann/x/a.txt", false, 5, 10, -1}, {"/home/ann/y/a.txt", false, 5, 10, -1}},
       below, TRestoreRefusal::None, ""},
      {"another platform's path to its original place",
       {{"C:/docs/a.txt", false, 5, 10, -1}}, {}, TRestoreRefusal::NotThisPlatform,
       "C:/docs/a.txt"},
      {"another platform's path below a folder", {{"C:/docs/a.txt", false, 5, 10, -1}}, below,
       TRestoreRefusal::None, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TRestoreMade made = CreateRestoreTask(ctx, {"", 100, c.objects, 0, {}, c.target});
    EXPECT_EQ(made.Refusal, c.refusal);
    EXPECT_EQ(made.Path, c.path);
    EXPECT_EQ(made.Task != nullptr, c.refusal == TRestoreRefusal::None);
  }
}

TEST_F(RestoreOrders, TheTaskReadsTheViewUsersStoreWithExactSizesAndTheTasksOwnOverwrite) {
  TRestoreOrder order;
  order.ViewUser = "bob";
  order.TaskKind = 200;
  order.Objects = {{"/home/bob/big.iso", false, 3000000000LL, 1234567, 3}};
  order.Target = {std::string("/tmp/out"), false, true};
  const TRestoreMade made = CreateRestoreTask(ctx, order);
  ASSERT_NE(made.Task, nullptr);
  EXPECT_EQ(made.Task->UCode, "bob");
  EXPECT_EQ(made.Task->TaskKind, 200);
  EXPECT_EQ(made.Task->TaskName, "临时任务2026-12-10 09:30:04");
  ASSERT_EQ(made.Task->FileObjects.Items.size(), 1u);
  EXPECT_EQ(made.Task->FileObjects.Items[0].ObjectSize, 3000000000LL);
  EXPECT_EQ(made.Task->FileObjects.Items[0].ObjectVersion, 3);
  EXPECT_TRUE(made.Task->RestoreInfo.Overwrite);
  EXPECT_EQ(made.Task->RestoreInfo.IsDefine, 1);
  EXPECT_EQ(made.Task->RestoreInfo.ParentFolder, "/home/bob");
}

TEST_F(RestoreOrders, AMailOrderWithoutFoldersOrMessagesIsEmpty) {
  TRestoreOrder order;
  order.TaskKind = 500;
  EXPECT_EQ(CreateRestoreTask(ctx, order).Refusal, TRestoreRefusal::Empty);
  order.Mail.Messages = {{3001, 17}};
  const TRestoreMade made = CreateRestoreTask(ctx, order);
  ASSERT_NE(made.Task, nullptr);
  EXPECT_EQ(made.Task->TaskKind, 500);
}

TEST(RestorePlaces, SearchFoldersSplitAtTheFirstBar) {
  struct Case {
    const char* folder;
    int kind;
    const char* place;
  };
  const Case good[] = {
      {"100|/home/ann/docs", 100, "/home/ann/docs"},
      {"200|C:/x|y", 200, "C:/x|y"},
      {"500|/Foxmail/3/3001", 500, "/Foxmail/3/3001"},
  };
  for (const Case& c : good) {
    SCOPED_TRACE(c.folder);
    const auto place = ParseSeekFolder(c.folder);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->TaskKind, c.kind);
    EXPECT_EQ(place->Folder, c.place);
  }
  for (const char* bad : {"/home/ann/docs", "171|/x", "abc|/x", "|/x"})
    EXPECT_FALSE(ParseSeekFolder(bad)) << bad;
}

TEST(RestorePlaces, MailStoreFoldersNameClientParentAndFolder) {
  const auto place = ParseMailStoreFolder("/Foxmail/3/3001");
  ASSERT_TRUE(place);
  EXPECT_EQ(place->MailKind, kMCKindFoxmail);
  EXPECT_EQ(place->ParentID, 3);
  EXPECT_EQ(place->FolderID, 3001);
  for (const char* bad : {"/Foxmail/3", "/Nomail/3/3001", "/Foxmail/x/3001", "/Foxmail/3/3001/9"})
    EXPECT_FALSE(ParseMailStoreFolder(bad)) << bad;
}

}  // namespace
}  // namespace solvane
