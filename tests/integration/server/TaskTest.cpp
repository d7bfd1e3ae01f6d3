// Task definitions, default tasks and policies through the real server.

#include <gtest/gtest.h>

#include <functional>

#include "StorageFault.h"
#include "TaskTestSupport.h"

namespace solvane::testing {
namespace {

constexpr const char* kTaskId = "946164070";  // 2008-03-05 10:11:12 as a packed DOS date-time

class ServerTasks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw");
    server.AddUser("bob", "pw");
    ASSERT_TRUE(ann.SignIn(server, "ann", "pw"));
    ASSERT_TRUE(bob.SignIn(server, "bob", "pw"));
  }

  TQorPack SelectByUser(TUserClient& c, const char* includeDefaults = "1") {
    return c.Call("TTask.SelectByUser",
                  {{"UCode", c.Code()}, {"IsIncludePolicy", includeDefaults}});
  }
  // Two columns of a reply joined per record as "first:second".
  std::vector<std::string> Pairs(TUserClient& c, const std::string& op, const TFields& f,
                                 const std::string& first, const std::string& second) {
    TQorPack p = c.Call(op, f);
    EXPECT_EQ(p.ErrNo(), 1) << op;
    std::vector<std::string> a = Column(p, first), b = Column(p, second), out;
    for (std::size_t i = 0; i < a.size(); ++i) out.push_back(a[i] + ":" + b[i]);
    return out;
  }
  // Objects of a task as "kind:name" texts.
  std::vector<std::string> Objects(TUserClient& c, const std::string& taskId) {
    return Pairs(c, "TTask.GetFileObject", {{"TaskID", taskId}}, "ObjectKind", "ObjectName");
  }
  // Patterns as "kind:pattern" texts.
  std::vector<std::string> Patterns(TUserClient& c, const std::string& op, const TFields& f) {
    return Pairs(c, op, f, "FilterKind", "FilterStr");
  }
  TFields ObjectRecord(const std::string& name, const char* kind) {
    return {{"UAdmin", "ann"},    {"UIPAddr", "127.0.0.1"}, {"UMAC", ""},
            {"TaskID", kTaskId},  {"ObjectName", name},     {"ObjectKind", kind},
            {"ObjectSize", "-1"}, {"ObjectDate", "-1"},     {"ObjectVersion", "-1"}};
  }
  TFields FilterRecord(const std::string& pattern, const char* kind) {
    return {{"UAdmin", "ann"},   {"UIPAddr", "127.0.0.1"}, {"UMAC", ""},        {"UCode", "ann"},
            {"TaskID", kTaskId}, {"FilterStr", pattern},   {"FilterKind", kind}};
  }
  int SendRecords(TUserClient& c, const std::string& op, const std::vector<TFields>& records) {
    TQorPack p = MakeRecords(op, records);
    return c.Send(p).ErrNo();
  }

  TServerProcess server;
  TUserClient ann, bob;
};

TEST_F(ServerTasks, InsertSelectUpdateRemoveKeepEveryScheduleField) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 1);
  EXPECT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 6) << "same ID twice";

  auto expectFields = [&](const TFields& expected) {
    TQorPack p = SelectByUser(ann);
    ASSERT_EQ(p.ErrNo(), 1);
    ASSERT_EQ(p.RecordSetCount(), 1);
    for (const auto& [name, value] : expected)
      EXPECT_EQ(p.FieldByName(1, name).AsString(), value) << name;
  };
  expectFields({{"ID", kTaskId},           {"Kind", "100"},
                {"Name", "文档备份"},      {"UCode", "ann"},
                {"BackupMode", "1"},       {"Comment", "line1\x02line2"},
                {"IsEnableSchedule", "1"}, {"Schedule_StartTime", "2008-03-05 09:30:14"},
                {"Schedule_Kind", "2"},    {"Periodical_Days", "1"},
                {"Periodical_Hours", "2"}, {"Periodical_Minites", "15"},
                {"Daily_Days", "3"},       {"Weekly_Weeks", "4"},
                {"IsWeekly_Day1", "0"},    {"IsWeekly_Day2", "1"},
                {"IsWeekly_Day6", "0"},    {"IsWeekly_Day7", "1"},
                {"Monthly_Prefix", "3"},   {"Monthly_Day", "6"},
                {"Monthly_Months", "5"},   {"DelayExcuteMinute", "25"}});
  TQorPack created = SelectByUser(ann);
  DateTime t;
  EXPECT_TRUE(ParseDateTime(created.FieldByName(1, "CreateDate").AsString(), t));

  // The property screen of a file backup task sends BackupMode; the others
  // do not, and the stored value stays.
  TFields update = Without(TaskDefinition("ann", kTaskId,
                                          {{"Name", "renamed"},
                                           {"Schedule_Kind", "3"},
                                           {"DelayExecuteMinute", "5"},
                                           {"Periodical_Minites", "not a number"},
                                           {"IsWeekly_Day2", "0"}}),
                           {"BackupMode"});
  ASSERT_EQ(ann.ErrNo("TTask.Update", update), 1);
  expectFields({{"Name", "renamed"},
                {"BackupMode", "1"},
                {"Schedule_Kind", "3"},
                {"DelayExcuteMinute", "5"},
                {"Periodical_Minites", "0"},
                {"IsWeekly_Day2", "0"},
                {"IsWeekly_Day7", "1"}});

  TFields remove = {{"UAdmin", "ann"}, {"UIPAddr", "127.0.0.1"}, {"UMAC", ""}, {"TaskID", kTaskId}};
  ASSERT_EQ(ann.ErrNo("TTask.Remove", remove), 1);
  EXPECT_EQ(SelectByUser(ann).RecordSetCount(), 0);
  EXPECT_EQ(ann.ErrNo("TTask.Remove", remove), 5);
}

TEST_F(ServerTasks, UsersWithTheSameClientTaskIdSeeOnlyTheirOwnTask) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId, {{"Name", "ann's"}})), 1);
  ASSERT_EQ(bob.ErrNo("TTask.Insert", TaskDefinition("bob", kTaskId, {{"Name", "bob's"}})), 1);
  ASSERT_EQ(bob.ErrNo("TTask.Update", TaskDefinition("bob", kTaskId, {{"Name", "bob 2"}})), 1);
  TQorPack a = SelectByUser(ann);
  ASSERT_EQ(a.RecordSetCount(), 1);
  EXPECT_EQ(a.FieldByName(1, "Name").AsString(), "ann's");
  TQorPack b = SelectByUser(bob);
  ASSERT_EQ(b.RecordSetCount(), 1);
  EXPECT_EQ(b.FieldByName(1, "Name").AsString(), "bob 2");

  // Naming the other user is refused outright.
  EXPECT_EQ(bob.ErrNo("TTask.SelectByUser", {{"UCode", "ann"}, {"IsIncludePolicy", "1"}}), 4);
  EXPECT_EQ(bob.ErrNo("TTask.Update", TaskDefinition("ann", kTaskId)), 4);
  EXPECT_EQ(bob.ErrNo("TTask.Remove", {{"UAdmin", "ann"}, {"TaskID", kTaskId}}), 4);
  EXPECT_EQ(SelectByUser(ann).FieldByName(1, "Name").AsString(), "ann's");
}

TEST_F(ServerTasks, SetCallsReplaceObjectsPatternsAndExtendedFilter) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 1);
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject",
                        {ObjectRecord("C:/docs/", "1"), ObjectRecord("C:\\work\\a.txt", "0")}),
            1);
  EXPECT_EQ(Objects(ann, kTaskId), (std::vector<std::string>{"1:C:/docs", "0:C:/work/a.txt"}));
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject", {ObjectRecord("/home/ann", "1")}), 1);
  EXPECT_EQ(Objects(ann, kTaskId), (std::vector<std::string>{"1:/home/ann"}));

  const TFields get = {{"TaskID", kTaskId}};
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject_Filter",
                        {FilterRecord("*.doc", "1"), FilterRecord("\\Temp", "0"),
                         FilterRecord("  ", "0"), FilterRecord("C:/Data", "1")}),
            1);
  EXPECT_EQ(Patterns(ann, "TTask.GetFileObject_Filter", get),
            (std::vector<std::string>{"1:*.doc", "1:C:/Data", "0:/Temp"}));
  // The "-1"/"-1" placeholder stands for "no patterns": it empties the list.
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject_Filter", {FilterRecord("-1", "-1")}), 1);
  EXPECT_TRUE(Patterns(ann, "TTask.GetFileObject_Filter", get).empty());

  EXPECT_EQ(ann.Call("TTask.GetFileObject_FilterEx", get).RecordSetCount(), 0);
  const TFields filterEx = {{"UAdmin", "ann"},
                            {"UCode", "ann"},
                            {"TaskID", kTaskId},
                            {"FilterSize", "1"},
                            {"MinFileSize", "5"},
                            {"MaxFileSize", "50"},
                            {"FilterCreateDate", "0"},
                            {"MinFileCreateDate", "2008-03-04 00:00:00"},
                            {"MaxFileCreateDate", "2008-03-05 00:00:00"},
                            {"FilterUpdateDate", "1"},
                            {"MinFileModifiedDate", "2008-01-01 00:00:00"},
                            {"MaxFileModifiedDate", "2008-12-31 23:59:59"},
                            {"FilterAttribute", "1"},
                            {"IsFilterReadOnly", "0"},
                            {"IsFilterHidden", "1"}};
  ASSERT_EQ(ann.ErrNo("TTask.SetFileObject_FilterEx", filterEx), 1);
  TQorPack ex = ann.Call("TTask.GetFileObject_FilterEx", get);
  ASSERT_EQ(ex.RecordSetCount(), 1);
  for (const auto& [name, value] : filterEx)
    if (name != "UAdmin" && name != "UCode" && name != "TaskID") {
      EXPECT_EQ(ex.FieldByName(1, name).AsString(), value) << name;
    }
}

TEST_F(ServerTasks, FolderSyncObjectWithoutKindIsReadBackAsFolder) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId, {{"Kind", "200"}})), 1);
  TFields sync = Without(ObjectRecord("D:/sync", "1"), {"ObjectKind"});
  sync.insert(sync.begin() + 3, {"UCode", "ann"});
  ASSERT_EQ(ann.ErrNo("TTask.SetFileObject", sync), 1);
  EXPECT_EQ(Objects(ann, kTaskId), (std::vector<std::string>{"1:D:/sync"}));
}

TEST_F(ServerTasks, BadRequestsAreRefusedAndChangeNothing) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 1);
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject", {ObjectRecord("C:/keep", "1")}), 1);
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject_Filter", {FilterRecord("*.keep", "0")}), 1);
  const std::string other = "946164071";
  struct Case {
    const char* what;
    std::function<int()> call;
    int errNo;
  };
  const Case cases[] = {
      {"non-numeric TaskID",
       [&] { return ann.ErrNo("TTask.Insert", TaskDefinition("ann", "12ab")); }, 2},
      {"TaskID of the default range",
       [&] { return ann.ErrNo("TTask.Insert", TaskDefinition("ann", "17")); }, 2},
      {"kind without task class",
       [&] {
         return ann.ErrNo("TTask.Insert", TaskDefinition("ann", other, {{"Kind", "171"}}));
       },
       2},
      {"schedule kind out of range",
       [&] {
         return ann.ErrNo("TTask.Insert", TaskDefinition("ann", other, {{"Schedule_Kind", "7"}}));
       },
       2},
      {"unreadable start time",
       [&] {
         return ann.ErrNo("TTask.Insert",
                          TaskDefinition("ann", other, {{"Schedule_StartTime", "tomorrow"}}));
       },
       2},
      {"empty name",
       [&] {
         return ann.ErrNo("TTask.Insert", TaskDefinition("ann", other, {{"Name", ""}}));
       },
       2},
      {"update of a missing task",
       [&] {
         return ann.ErrNo("TTask.Update", TaskDefinition("ann", other, {{"Name", "x"}}));
       },
       5},
      {"kind change",
       [&] {
         return ann.ErrNo("TTask.Update",
                          TaskDefinition("ann", kTaskId, {{"Kind", "200"}, {"Name", "x"}}));
       },
       6},
      {"objects of a missing task",
       [&] {
         return ann.ErrNo("TTask.GetFileObject", {{"TaskID", other}});
       },
       5},
      {"records naming two tasks",
       [&] {
         TFields second = ObjectRecord("C:/x", "0");
         second[3].second = other;
         return SendRecords(ann, "TTask.SetFileObject", {ObjectRecord("C:/y", "1"), second});
       },
       2},
      {"an empty object name among good ones",
       [&] {
         return SendRecords(ann, "TTask.SetFileObject",
                            {ObjectRecord("C:/y", "1"), ObjectRecord("", "0")});
       },
       2},
      {"object kind 7",
       [&] { return SendRecords(ann, "TTask.SetFileObject", {ObjectRecord("C:/y", "7")}); }, 2},
      {"filter kind not 0 or 1",
       [&] {
         return SendRecords(ann, "TTask.SetFileObject_Filter",
                            {FilterRecord("*.a", "1"), FilterRecord("*.b", "x")});
       },
       2},
      {"set-call without records",
       [&] { return SendRecords(ann, "TTask.SetFileObject_Filter", {}); }, 2},
      {"remove with a malformed ID",
       [&] {
         return ann.ErrNo("TTask.Remove", {{"UAdmin", "ann"}, {"TaskID", "1x"}});
       },
       2},
      {"UAdmin of another user",
       [&] {
         return ann.ErrNo("TTask.Remove", {{"UAdmin", "bob"}, {"TaskID", kTaskId}});
       },
       4},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.errNo) << c.what;

  TQorPack tasks = SelectByUser(ann);
  ASSERT_EQ(tasks.RecordSetCount(), 1);
  EXPECT_EQ(tasks.FieldByName(1, "Name").AsString(), "文档备份");
  EXPECT_EQ(tasks.FieldByName(1, "Kind").AsString(), "100");
  EXPECT_EQ(Objects(ann, kTaskId), (std::vector<std::string>{"1:C:/keep"}));
  EXPECT_EQ(Patterns(ann, "TTask.GetFileObject_Filter", {{"TaskID", kTaskId}}),
            (std::vector<std::string>{"0:*.keep"}));
}

TEST_F(ServerTasks, DefaultTaskAssignedByAdminIsListedAndReadOnly) {
  auto r = server.Admin({"task", "add-default", "公司文档", "--kind", "100", "--folder",
                         "C:\\Company\\", "--file", "C:\\boot.ini", "--exclude", "*.tmp", "--daily",
                         "2", "--start", "2024-05-06 08:00:00", "--assign", "ann"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 1);

  TQorPack all = SelectByUser(ann);
  ASSERT_EQ(all.RecordSetCount(), 2);
  EXPECT_EQ(Column(all, "UCode"), (std::vector<std::string>{"ann", ""}));
  const std::string id = all.FieldByName(2, "ID").AsString();
  EXPECT_LT(std::stoll(id), 65536);
  EXPECT_EQ(all.FieldByName(2, "Name").AsString(), "公司文档");
  EXPECT_EQ(all.FieldByName(2, "Schedule_Kind").AsString(), "1");
  EXPECT_EQ(all.FieldByName(2, "Daily_Days").AsString(), "2");
  EXPECT_EQ(all.FieldByName(2, "Schedule_StartTime").AsString(), "2024-05-06 08:00:00");
  EXPECT_EQ(SelectByUser(ann, "0").RecordSetCount(), 1) << "own tasks only";
  EXPECT_EQ(SelectByUser(bob).RecordSetCount(), 0) << "not assigned to bob";

  EXPECT_EQ(Objects(ann, id), (std::vector<std::string>{"1:C:/Company", "0:C:/boot.ini"}));
  EXPECT_EQ(Patterns(ann, "TTask.GetFileObject_Filter", {{"TaskID", id}}),
            (std::vector<std::string>{"0:*.tmp"}));
  EXPECT_EQ(bob.ErrNo("TTask.GetFileObject", {{"TaskID", id}}), 5);

  EXPECT_EQ(ann.ErrNo("TTask.Update", TaskDefinition("ann", id, {{"Name", "mine now"}})), 4);
  EXPECT_EQ(ann.ErrNo("TTask.Remove", {{"UAdmin", "ann"}, {"TaskID", id}}), 4);
  TFields object = ObjectRecord("C:/other", "1");
  object[3].second = id;
  EXPECT_EQ(ann.ErrNo("TTask.SetFileObject", object), 4);
  EXPECT_EQ(Objects(ann, id), (std::vector<std::string>{"1:C:/Company", "0:C:/boot.ini"}));

  ASSERT_EQ(server.Admin({"task", "unassign", id, "ann"}).exitCode, 0);
  EXPECT_EQ(SelectByUser(ann).RecordSetCount(), 1);
}

TEST_F(ServerTasks, PolicyAssignedByAdminIsReturnedWithItsPatterns) {
  ASSERT_EQ(server
                .Admin({"policy", "add", "office", "--max-size", "5", "--include", "*.doc",
                        "--exclude", "\\Temp", "--exclude", "~"})
                .exitCode,
            0);
  TQorPack none = ann.Call("TPolicy.SelectByUser", {{"UCode", "ann"}});
  ASSERT_EQ(none.ErrNo(), 1);
  EXPECT_EQ(none.RecordSetCount(), 0);

  ASSERT_EQ(server.Admin({"policy", "assign", "office", "ann"}).exitCode, 0);
  TQorPack policy = ann.Call("TPolicy.SelectByUser", {{"UCode", "ann"}});
  ASSERT_EQ(policy.RecordSetCount(), 1);
  EXPECT_EQ(policy.FieldByName(1, "MaxFileSize").AsString(), "5");
  const std::string pid = policy.FieldByName(1, "PolicyID").AsString();
  EXPECT_EQ(Patterns(ann, "TPolicy.GetFileObject_Filter", {{"PID", pid}}),
            (std::vector<std::string>{"1:*.doc", "0:/Temp", "0:~"}));

  EXPECT_EQ(bob.ErrNo("TPolicy.GetFileObject_Filter", {{"PID", pid}}), 4);
  EXPECT_EQ(bob.ErrNo("TPolicy.SelectByUser", {{"UCode", "ann"}}), 4);
  EXPECT_EQ(ann.ErrNo("TPolicy.GetFileObject_Filter", {{"PID", "x"}}), 2);

  ASSERT_EQ(
      server.Admin({"policy", "set", "office", "--max-size", "none", "--no-patterns"}).exitCode, 0);
  policy = ann.Call("TPolicy.SelectByUser", {{"UCode", "ann"}});
  EXPECT_EQ(policy.FieldByName(1, "MaxFileSize").AsString(), "-1");
  EXPECT_TRUE(Patterns(ann, "TPolicy.GetFileObject_Filter", {{"PID", pid}}).empty());
}

TEST_F(ServerTasks, AdminCommandsValidateTheirInput) {
  ASSERT_EQ(server.Admin({"policy", "add", "p1"}).exitCode, 0);
  ASSERT_EQ(server.Admin({"task", "add-default", "t1", "--kind", "200", "--folder", "/x"}).exitCode,
            0);
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  };
  const Case cases[] = {
      {{"policy", "add", "p1"}, 1},                                        // exists
      {{"policy", "add", "p2", "--max-size", "big"}, 1},                   // not a number
      {{"policy", "add", "p2", "--include", ""}, 1},                       // empty pattern
      {{"policy", "add", "p2", "--max-size", "1", "--max-size", "2"}, 1},  // twice
      {{"policy", "assign", "p1", "ghost"}, 1},                            // no such user
      {{"policy", "assign", "nope", "ann"}, 1},                            // no such policy
      {{"policy", "unassign", "p1", "ann"}, 1},                            // not assigned
      {{"policy", "remove", "nope"}, 1},
      {{"policy", "add"}, 2},  // no name
      {{"task", "add-default", "t", "--kind", "500", "--folder", "/x"}, 1},
      {{"task", "add-default", "t", "--kind", "200", "--folder", "/x", "--folder", "/y"}, 1},
      {{"task", "add-default", "t", "--kind", "100"}, 1},  // no object
      {{"task", "add-default", "t", "--kind", "100", "--folder", "/x", "--weekly", "1"}, 1},
      {{"task", "add-default", "t", "--kind", "100", "--folder", "/x", "--periodical", "0:0:0"}, 1},
      {{"task", "add-default", "t", "--kind", "100", "--folder", "/x", "--daily", "1", "--monthly",
        "1"},
       1},
      {{"task", "add-default", "t", "--kind", "100", "--folder", "/x", "--start",
        "2024-01-01 08:00:00"},
       1},  // start without a kind
      {{"task", "add-default", "t", "--kind", "100", "--folder", "/x", "--assign", "ghost"}, 1},
      {{"task", "assign", "99", "ann"}, 1},     // no such task
      {{"task", "assign", "70000", "ann"}, 1},  // not a default ID
      {{"task", "remove", "abc"}, 1},
      {{"task", "list", "--bogus"}, 2},
      {{"task", "assign", "1", "ann"}, 0},
      {{"policy", "assign", "p1", "bob"}, 0},
  };
  for (const auto& c : cases) {
    auto r = server.Admin(c.args);
    std::string cmd;
    for (const auto& w : c.args) cmd += w + " ";
    EXPECT_EQ(r.exitCode, c.exitCode) << cmd << ": " << r.err;
    if (c.exitCode != 0) {
      EXPECT_NE(r.err.find("error"), std::string::npos) << cmd;
    }
  }
  EXPECT_NE(server.Admin({"task", "list"}).out.find("1\t200\tt1\toff\tann"), std::string::npos);
  EXPECT_NE(server.Admin({"policy", "list"}).out.find("p1\tnone\tbob"), std::string::npos);
  auto help = server.Admin({"task", "--help"});
  EXPECT_NE(help.out.find("task add-default NAME"), std::string::npos);
  ASSERT_EQ(server.Admin({"task", "remove", "1"}).exitCode, 0);
  EXPECT_EQ(SelectByUser(ann).RecordSetCount(), 0);
}

// A statement that fails on the server comes back as the "storage error"
// reply (or the admin command's error), and the transaction it ran in is
// rolled back: a replaced list keeps its old rows, a task written in several
// steps is not left half-written.
TEST_F(ServerTasks, FailedStatementsReplyStorageErrorAndChangeNothing) {
  ASSERT_EQ(ann.ErrNo("TTask.Insert", TaskDefinition("ann", kTaskId)), 1);
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject",
                        {ObjectRecord("C:/docs/", "1"), ObjectRecord("C:/a.txt", "0")}),
            1);
  ASSERT_EQ(SendRecords(ann, "TTask.SetFileObject_Filter",
                        {FilterRecord("*.doc", "1"), FilterRecord("\\Temp", "0")}),
            1);
  const TFields filterEx = {
      {"UCode", "ann"}, {"TaskID", kTaskId}, {"FilterSize", "1"}, {"MaxFileSize", "50"}};
  ASSERT_EQ(ann.ErrNo("TTask.SetFileObject_FilterEx", filterEx), 1);
  const TFields get = {{"TaskID", kTaskId}};
  // What the user and the administrator read back of every task.
  auto state = [&] {
    TQorPack list = SelectByUser(ann);
    std::string text;
    for (const auto& column : {"ID", "Name"})
      for (const auto& v : Column(list, column)) text += v + ";";
    for (const auto& o : Objects(ann, kTaskId)) text += o + ";";
    for (const auto& p : Patterns(ann, "TTask.GetFileObject_Filter", get)) text += p + ";";
    text += ann.Call("TTask.GetFileObject_FilterEx", get).FieldByName(1, "MaxFileSize").AsString();
    return text + server.Admin({"task", "list"}).out;
  };
  const std::string before = state();

  auto call = [&](const std::string& op, TFields f) {
    return [&, op, f] { return Outcome(ann.Call(op, f)); };
  };
  auto records = [&](const std::string& op, std::vector<TFields> r) {
    return [&, op, r] {
      TQorPack p = MakeRecords(op, r);
      return Outcome(ann.Send(p));
    };
  };
  auto admin = [&](std::vector<std::string> args) { return AdminOutcome(server, std::move(args)); };
  const std::string storageError = kStorageError;
  const std::string noTasks = "no such table: tasks";
  const std::string noFilters = "no such table: task_filters";
  const std::vector<TFaultCase> cases = {
      {"objects replaced", Refuse("INSERT", "task_objects"),
       records("TTask.SetFileObject", {ObjectRecord("C:/new", "1")}), storageError, kRefusal},
      {"patterns replaced", Refuse("INSERT", "task_filters"),
       records("TTask.SetFileObject_Filter", {FilterRecord("*.new", "0")}), storageError, kRefusal},
      {"extended filter replaced", Refuse("INSERT", "task_filter_ex"),
       call("TTask.SetFileObject_FilterEx", {{"UCode", "ann"}, {"TaskID", kTaskId}}),
       storageError, kRefusal},
      {"task updated", Refuse("UPDATE", "tasks"),
       call("TTask.Update", TaskDefinition("ann", kTaskId, {{"Name", "renamed"}})), storageError,
       kRefusal},
      {"task removed", Refuse("DELETE", "tasks"),
       call("TTask.Remove", {{"UAdmin", "ann"}, {"TaskID", kTaskId}}), storageError, kRefusal},
      {"task inserted", Refuse("INSERT", "tasks"),
       call("TTask.Insert", TaskDefinition("ann", "946164072")), storageError, kRefusal},
      {"tasks listed", RenameAway("tasks"), call("TTask.SelectByUser", {{"UCode", "ann"}}),
       storageError, noTasks},
      {"task found", RenameAway("tasks"), call("TTask.GetFileObject", get), storageError, noTasks},
      {"patterns read", RenameAway("task_filters"), call("TTask.GetFileObject_Filter", get),
       storageError, noFilters},
      {"default task added: its row, then a refused pattern", Refuse("INSERT", "task_filters"),
       admin({"task", "add-default", "half", "--kind", "100", "--folder", "C:\\x", "--exclude",
              "*.tmp", "--assign", "ann"}),
       "exit 1 error: ", kRefusal},
      {"default tasks listed", RenameAway("task_filters"), admin({"task", "list"}),
       "exit 1 error: ", noFilters},
  };
  ASSERT_EQ(server.Admin({"task", "add-default", "kept", "--kind", "100", "--folder", "C:\\k"})
                .exitCode,
            0);
  const std::string withDefault = state();
  ExpectFaultsChangeNothing(server, cases, state, withDefault);
  EXPECT_NE(before, withDefault) << "the state shows a default task";
}

}  // namespace
}  // namespace solvane::testing
