// The typed stores over a real database: values round-trip, and a statement
// that fails comes back as an error value carrying SQLite's message, not as
// an exception or an empty answer.

#include <gtest/gtest.h>

#include "../platform/TempFolder.h"
#include "storage/DataDirectory.h"
#include "storage/MailMessageStore.h"
#include "storage/PermissionStore.h"
#include "storage/PolicyStore.h"
#include "storage/ProfileStore.h"
#include "storage/RunLogStore.h"
#include "storage/RunStore.h"
#include "storage/SavedSessionStore.h"
#include "storage/ShareFolderStore.h"
#include "storage/TaskMailStore.h"
#include "storage/TaskStore.h"
#include "storage/UserStore.h"

namespace solvane::server {
namespace {

// The message of a failed call; "" when it succeeded.
template <class T>
std::string ErrorOf(const TStoreResult<T>& r) {
  return r.Ok() ? std::string() : r.Error();
}

class StoreResultTest : public ::testing::Test {
 protected:
  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  TUserStore users{dir.Db()};
};

TEST_F(StoreResultTest, UserRowsRoundTrip) {
  TUserRecord u{"ann", "Ann", false, true, 300, "admin"};
  ASSERT_TRUE(users.Insert(u, "hash-1").Ok());
  auto found = users.Find("ann");
  ASSERT_TRUE(found.Ok());
  ASSERT_TRUE(found->has_value());
  EXPECT_EQ((*found)->name, "Ann");
  EXPECT_TRUE((*found)->canDelete);
  EXPECT_EQ((*found)->spaceMb, 300);
  EXPECT_EQ((*found)->manager, "admin");

  u.name = "Ann B";
  u.isAdmin = true;
  u.spaceMb = 10;
  ASSERT_TRUE(users.Update(u).Ok());
  ASSERT_TRUE(users.SetPasswordHash("ann", "hash-2").Ok());
  EXPECT_EQ(**users.PasswordHash("ann"), "hash-2");
  auto again = users.Find("ann");
  EXPECT_EQ((*again)->name, "Ann B");
  EXPECT_TRUE((*again)->isAdmin);
  EXPECT_EQ((*again)->spaceMb, 10);

  EXPECT_FALSE(*users.Exists("nobody"));
  EXPECT_FALSE(users.PasswordHash("nobody")->has_value());
  auto all = users.List();
  ASSERT_TRUE(all.Ok());
  ASSERT_EQ(all->size(), 1u);
  EXPECT_EQ((*all)[0].code, "ann");
}

TEST_F(StoreResultTest, DuplicateUserIsAnErrorValue) {
  TUserRecord u{"bob", "Bob", false, false, 1, ""};
  ASSERT_TRUE(users.Insert(u, "h").Ok());
  auto again = users.Insert(u, "h");
  ASSERT_FALSE(again.Ok());
  EXPECT_NE(again.Error().find("UNIQUE"), std::string::npos) << again.Error();
}

// Every call of the stores fails the same way when its table is gone.
TEST_F(StoreResultTest, FailedStatementsBecomeErrorValues) {
  dir.Db().Exec("PRAGMA foreign_keys = OFF");
  for (const char* table :
       {"users", "sessions", "profile", "auth_requests", "auth_permissions", "runs", "run_objects",
        "run_errors", "task_mail_folders", "task_mail_messages", "policies", "policy_patterns",
        "policy_users", "versions", "objects"})
    dir.Db().Exec(std::string("DROP TABLE ") + table);
  Database& db = dir.Db();
  TPolicyRecord policy{0, "p", -1};
  const TStoreRef mail{"a", kMailStore};
  TProfileStore profile(dir.Db());
  TSavedSessionStore sessions(dir.Db());
  const std::vector<std::pair<const char*, std::string>> failures = {
      {"Find", ErrorOf(users.Find("admin"))},
      {"Exists", ErrorOf(users.Exists("admin"))},
      {"List", ErrorOf(users.List())},
      {"PasswordHash", ErrorOf(users.PasswordHash("admin"))},
      {"SetPasswordHash", ErrorOf(users.SetPasswordHash("admin", "h"))},
      {"Insert", ErrorOf(users.Insert({"c"}, "h"))},
      {"Update", ErrorOf(users.Update({"c"}))},
      {"RecordLogin", ErrorOf(users.RecordLogin("c", "2024-01-01 00:00:00", "::1"))},
      {"All", ErrorOf(profile.All())},
      {"Get", ErrorOf(profile.Get("AppName"))},
      {"Set", ErrorOf(profile.Set("AppName", "x"))},
      {"Load", ErrorOf(sessions.Load("h"))},
      {"Save", ErrorOf(sessions.Save({"h", "c", "::1", 1, 1}))},
      {"Remove", ErrorOf(sessions.Remove("h"))},
      {"CurrentSecurityMode", ErrorOf(CurrentSecurityMode(db))},
      {"SetSecurityMode", ErrorOf(SetSecurityMode(db, SecurityMode::kSecure))},
      {"MayViewStoresOf", ErrorOf(MayViewStoresOf(db, "a", "b"))},
      {"ViewLinks", ErrorOf(ViewLinks(db, "a", ViewDirection::kUsersIMayView))},
      {"SendAuthRequest", ErrorOf(SendAuthRequest(db, "a", "b", "c", ""))},
      {"PendingRequests", ErrorOf(PendingRequests(db, "a", RequestBox::kReceived))},
      {"DecideAuthRequest", ErrorOf(DecideAuthRequest(db, "b", "a", "2024-01-01", true))},
      {"RevokePermission", ErrorOf(RevokePermission(db, "a", "b"))},
      {"ListPermissions", ErrorOf(ListPermissions(db))},
      {"StartRun", ErrorOf(StartRun(db, "a", 70000, 100, {}))},
      {"StopRun", ErrorOf(StopRun(db, "a", 70000, 100, {}, "", {}))},
      {"AddRunErrors", ErrorOf(AddRunErrors(db, "a", 70000, 100, {}, {{"f", "/", ""}}))},
      {"SelectRuns", ErrorOf(SelectRuns(db, "a", 0, 1LL << 32, false))},
      {"SelectRunFolders", ErrorOf(SelectRunFolders(db, "a", 70000, 100))},
      {"SelectRunObjects", ErrorOf(SelectRunObjects(db, "a", 70000, 100, "/"))},
      {"SelectRunErrors", ErrorOf(SelectRunErrors(db, "a", 70000, 100))},
      {"ReplaceMailFolders", ErrorOf(ReplaceMailFolders(db, 1, {}))},
      {"ReplaceMailMessages", ErrorOf(ReplaceMailMessages(db, 1, {}))},
      {"MailFolders", ErrorOf(MailFolders(db, 1))},
      {"MailMessages", ErrorOf(MailMessages(db, 1, 1))},
      {"FindPolicy", ErrorOf(FindPolicy(db, "p"))},
      {"PolicyOfUser", ErrorOf(PolicyOfUser(db, "a"))},
      {"ListPolicies", ErrorOf(ListPolicies(db))},
      {"PolicyPatterns", ErrorOf(PolicyPatterns(db, 1))},
      {"PolicyUsers", ErrorOf(PolicyUsers(db, 1))},
      {"InsertPolicy", ErrorOf(InsertPolicy(db, policy))},
      {"UpdatePolicyLimit", ErrorOf(UpdatePolicyLimit(db, 1, 5))},
      {"ReplacePolicyPatterns", ErrorOf(ReplacePolicyPatterns(db, 1, {{"*.tmp", false}}))},
      {"RemovePolicy", ErrorOf(RemovePolicy(db, 1))},
      {"AssignPolicy", ErrorOf(AssignPolicy(db, 1, "a"))},
      {"UnassignPolicy", ErrorOf(UnassignPolicy(db, 1, "a"))},
      {"MailTopFolders", ErrorOf(MailTopFolders(db, mail))},
      {"MailFoldersUnder", ErrorOf(MailFoldersUnder(db, mail, "/Foxmail/"))},
      {"MailMessagesIn", ErrorOf(MailMessagesIn(db, mail, "/Foxmail/1/2"))},
      {"MailDescription", ErrorOf(MailDescription(db, mail, "/Foxmail/1/2", "1.eml"))},
  };
  for (const auto& [call, message] : failures)
    EXPECT_NE(message.find("no such table"), std::string::npos) << call << ": " << message;
}

// The share-folder, task and run calls fail the same way when their tables
// are gone.
TEST_F(StoreResultTest, ShareTaskAndRunCallsReturnErrorValues) {
  dir.Db().Exec("PRAGMA foreign_keys = OFF");
  for (const char* table : {"share_folders", "task_objects", "task_filters", "task_filter_ex",
                            "default_task_users", "tasks", "run_objects", "runs", "used_space"})
    dir.Db().Exec(std::string("DROP TABLE ") + table);
  Database& db = dir.Db();
  TShareFolder folder{1, 0, "docs", "a"};
  TTaskRecord task;
  task.owner = "a";
  task.taskId = 70000;
  const TRunObject object{100, "C:/d", "f.txt", 1, 1, 0};
  const std::vector<std::pair<const char*, std::string>> failures = {
      {"FindShareFolder", ErrorOf(FindShareFolder(db, 1))},
      {"ListShareFolders", ErrorOf(ListShareFolders(db))},
      {"HasSubfolders", ErrorOf(HasSubfolders(db, 1))},
      {"IsWithin", ErrorOf(IsWithin(db, 1, 2))},
      {"NameTaken", ErrorOf(NameTaken(db, 0, "docs", 0))},
      {"InsertShareFolder", ErrorOf(InsertShareFolder(db, folder))},
      {"UpdateShareFolder", ErrorOf(UpdateShareFolder(db, folder))},
      {"DeleteShareFolder", ErrorOf(DeleteShareFolder(db, 1))},
      {"FindTaskOfUser", ErrorOf(FindTaskOfUser(db, "a", 70000))},
      {"FindDefaultTask", ErrorOf(FindDefaultTask(db, 1))},
      {"ListTasksOfUser", ErrorOf(ListTasksOfUser(db, "a", true))},
      {"ListDefaultTasks", ErrorOf(ListDefaultTasks(db))},
      {"AssignedUsers", ErrorOf(AssignedUsers(db, 1))},
      {"InsertTask", ErrorOf(InsertTask(db, task))},
      {"UpdateTask", ErrorOf(UpdateTask(db, task))},
      {"RemoveTask", ErrorOf(RemoveTask(db, 1))},
      {"NextDefaultTaskId", ErrorOf(NextDefaultTaskId(db))},
      {"AssignDefaultTask", ErrorOf(AssignDefaultTask(db, 1, "a"))},
      {"UnassignDefaultTask", ErrorOf(UnassignDefaultTask(db, 1, "a"))},
      {"ReplaceTaskObjects", ErrorOf(ReplaceTaskObjects(db, 1, {{"C:/d"}}))},
      {"TaskObjects", ErrorOf(TaskObjects(db, 1))},
      {"ReplaceTaskFilters", ErrorOf(ReplaceTaskFilters(db, 1, {{"*.tmp", false}}))},
      {"TaskFilters", ErrorOf(TaskFilters(db, 1))},
      {"ReplaceTaskFilterEx", ErrorOf(ReplaceTaskFilterEx(db, 1, {}))},
      {"TaskFilterEx", ErrorOf(TaskFilterEx(db, 1))},
      {"RecordRunObject", ErrorOf(RecordRunObject(db, "a", 70000, 100, object))},
      {"LatestRunSession", ErrorOf(LatestRunSession(db, "a", 70000))},
      {"UsedBytes", ErrorOf(users.UsedBytes("a"))},
  };
  for (const auto& [call, message] : failures)
    EXPECT_NE(message.find("no such table"), std::string::npos) << call << ": " << message;
}

// Task filters and policy patterns are one kind of list in two tables: each
// reads back its own rows, includes first, each group in the order sent.
TEST_F(StoreResultTest, PatternListsOfTasksAndPoliciesStayApart) {
  Database& db = dir.Db();
  TTaskRecord task;
  task.owner = "a";
  task.taskId = 70000;
  TPolicyRecord policy{0, "p", -1};
  {
    Transaction tx(db);
    ASSERT_TRUE(*InsertTask(db, task));
    ASSERT_TRUE(InsertPolicy(db, policy).Ok());
    ASSERT_TRUE(
        ReplaceTaskFilters(db, task.rowId, {{"*.tmp", false}, {"C:/a", true}, {"~", false}}).Ok());
    ASSERT_TRUE(ReplacePolicyPatterns(db, policy.id, {{"*.doc", true}}).Ok());
    tx.Commit();
  }
  auto brief = [](const TStoreResult<std::vector<TFilterPattern>>& r) {
    std::string out;
    for (const auto& p : *r) out += (p.isInclude ? "+" : "-") + p.pattern + " ";
    return out;
  };
  ASSERT_EQ(task.rowId, policy.id) << "one key in both tables";
  EXPECT_EQ(brief(TaskFilters(db, task.rowId)), "+C:/a -*.tmp -~ ");
  EXPECT_EQ(brief(PolicyPatterns(db, policy.id)), "+*.doc ");
}

// A run object whose row is refused leaves no run behind that it would have
// opened: the run's row and the object's go in one transaction.
TEST_F(StoreResultTest, RefusedRunObjectOpensNoRun) {
  Database& db = dir.Db();
  ASSERT_TRUE(users.Insert({"admin"}, "h").Ok());
  db.Exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON run_objects "
      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  auto recorded = RecordRunObject(db, "admin", 70000, 100, {100, "C:/d", "f.txt", 1, 1, 0});
  ASSERT_FALSE(recorded.Ok());
  EXPECT_NE(recorded.Error().find("refused"), std::string::npos) << recorded.Error();
  auto latest = LatestRunSession(db, "admin", 70000);
  ASSERT_TRUE(latest.Ok());
  EXPECT_FALSE(latest->has_value()) << "no run was left open";

  db.Exec("DROP TRIGGER refuse");
  ASSERT_TRUE(RecordRunObject(db, "admin", 70000, 100, {100, "C:/d", "f.txt", 1, 1, 0}).Ok());
  EXPECT_EQ(**LatestRunSession(db, "admin", 70000), 100);
}

}  // namespace
}  // namespace solvane::server
