// Run reports, the run log and the task report through the real server.
// Objects are logged in runs the way the transfer operations log them: with
// RecordRunObject on the server's database.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "TaskTestSupport.h"
#include "storage/RunLogStore.h"
#include "storage/Database.h"

namespace solvane::testing {
namespace {

std::int64_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return (std::int64_t{y - 1980} << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | (s / 2);
}

const std::string kDayStart = std::to_string(Dos(2008, 3, 5, 0, 0, 0));
const std::string kDayEnd = std::to_string(Dos(2008, 3, 5, 23, 59, 58));
const std::string kBackupRun = std::to_string(Dos(2008, 3, 5, 10, 11, 12));
const std::string kRestoreRun = std::to_string(Dos(2008, 3, 5, 15, 0, 0));
const std::string kOtherDayRun = std::to_string(Dos(2008, 3, 6, 9, 0, 0));
const std::string kBackupTask = std::to_string(Dos(2008, 3, 1, 8, 0, 0));
const std::string kRestoreTask = std::to_string(Dos(2008, 3, 5, 14, 59, 58));

class ServerRunLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw");
    server.AddUser("bob", "pw");
    ASSERT_TRUE(ann.SignIn(server, "ann", "pw"));
    ASSERT_TRUE(bob.SignIn(server, "bob", "pw"));
  }

  TFields RunHead(const std::string& user, const std::string& task, const std::string& session,
                  const char* direction = "0") {
    return {{"UCode", user},
            {"TaskID", task},
            {"TaskName", "临时任务" + task},
            {"TaskKind", "100"},
            {"TaskDirection", direction},
            {"SessionID", session},
            {"IsTemporary", "1"}};
  }
  // The counters are first + 1, first + 2, ... in the order sent.
  TFields StopFields(const std::string& task, const std::string& session,
                     const char* direction = "0", int first = 0) {
    TFields f = RunHead("ann", task, session, direction);
    f.insert(f.begin() + 6, {"Comment",
                             "a\x02"
                             "b"});
    const char* counters[] = {"FolderTotalCount",
                              "FolderCount",
                              "TotalFileCount",
                              "TotalDoneFileSize",
                              "FileWaitedCount",
                              "FileCheckedCount",
                              "FileCheckedAndNoChangeCount",
                              "FileCheckedAndNeedUpCount",
                              "FileDispatchedCount",
                              "FileDoneCount",
                              "FileErrorCount"};
    int value = first;
    for (const char* c : counters) f.emplace_back(c, std::to_string(++value));
    return f;
  }
  TFields ErrorRecord(const std::string& session, const std::string& name) {
    return {{"UCode", "ann"},
            {"TaskID", kBackupTask},
            {"TaskName", "临时任务"},
            {"TaskKind", "100"},
            {"SessionID", session},
            {"ObjectName", name},
            {"ObjectFolder", "C:\\docs"}};
  }
  void Log(const std::string& task, const std::string& session, const std::string& folder,
           const std::string& name, std::int64_t size) {
    solvane::server::Database db(server.DataDir() / "solvane.db");
    solvane::server::TRunObject o{100, folder, name, size, Dos(2008, 1, 2, 3, 4, 6), 0};
    EXPECT_TRUE(
        solvane::server::RecordRunObject(db, "ann", std::stoll(task), std::stoll(session), o).Ok());
  }
  TQorPack Report(TUserClient& c, const std::string& user, const std::string& first,
                  const std::string& last) {
    return c.Call("TTask.SelectReport",
                  {{"UCode", user}, {"StartSession", first}, {"EndSeesion", last}});
  }
  TFields RunQuery(const std::string& user, const std::string& task, const std::string& session) {
    return {{"UCode", user}, {"TaskID", task}, {"TaskKind", "100"}, {"SessionID", session}};
  }

  TServerProcess server;
  TUserClient ann, bob;
};

TEST_F(ServerRunLog, ReportsOfARunAreReadBackByTheLogAndTheTaskReport) {
  // The first object may arrive before the start report; the start then
  // names the run.
  Log(kBackupTask, kBackupRun, "C:/docs", "a.txt", 10);
  for (int attempt = 0; attempt < 2; ++attempt)
    ASSERT_EQ(ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kBackupRun)), 1);
  Log(kBackupTask, kBackupRun, "C:/docs/sub", "c.txt", 30);
  Log(kBackupTask, kBackupRun, "C:/docs", "b.txt", 20);
  ASSERT_EQ(ann.ErrNo("TTask.Stop", StopFields(kBackupTask, kBackupRun)), 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    TQorPack errors = MakeRecords(
        "TTask.ErrorReport", {ErrorRecord(kBackupRun, "x.doc"), ErrorRecord(kBackupRun, "y.doc")});
    ASSERT_EQ(ann.Send(errors).ErrNo(), 1);
  }
  // A restore run (no objects: downloads carry no run) and a run of another day.
  ASSERT_EQ(ann.ErrNo("TTask.Stop", StopFields(kRestoreTask, kRestoreRun, "1")), 1);
  ASSERT_EQ(ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kOtherDayRun)), 1);

  TQorPack list = Report(ann, "ann", kDayStart, kDayEnd);
  ASSERT_EQ(list.ErrNo(), 1);
  EXPECT_EQ(Column(list, "SeesionID"), (std::vector<std::string>{kBackupRun, kRestoreRun}));
  EXPECT_EQ(Column(list, "TaskID"), (std::vector<std::string>{kBackupTask, kRestoreTask}));
  EXPECT_EQ(Column(list, "TaskDirection"), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(Column(list, "TaskName"),
            (std::vector<std::string>{"临时任务" + kBackupTask, "临时任务" + kRestoreTask}));

  TQorPack one = Report(ann, "ann", kBackupRun, kBackupRun);
  ASSERT_EQ(one.RecordSetCount(), 1);
  const std::pair<const char*, const char*> counters[] = {{"FolderTotalCount", "1"},
                                                          {"TotalFileCount", "3"},
                                                          {"TotalDoneFileSize", "4"},
                                                          {"FileCheckedCount", "6"},
                                                          {"FileCheckedAndNoChangeCount", "7"},
                                                          {"FileDoneCount", "10"},
                                                          {"FileErrorCount", "11"},
                                                          {"TaskKind", "100"}};
  for (auto [name, value] : counters) EXPECT_EQ(one.FieldByName(1, name).AsString(), value) << name;

  TQorPack runs =
      ann.Call("TLog.TaskLog_Select",
               {{"UCode", "ann"}, {"StartSession", kDayStart}, {"EndSeesion", kDayEnd}});
  ASSERT_EQ(runs.RecordSetCount(), 1) << "upload runs only";
  EXPECT_EQ(runs.FieldByName(1, "SessionID").AsString(), kBackupRun);
  EXPECT_EQ(runs.FieldByName(1, "TaskID").AsString(), kBackupTask);
  EXPECT_EQ(runs.FieldByName(1, "TaskKind").AsString(), "100");

  TQorPack folders =
      ann.Call("TLog.TaskLog_SelectFolder",
               {{"UCode", "ann"}, {"TaskID", kBackupTask}, {"SessionID", kBackupRun}});
  EXPECT_EQ(Column(folders, "ObjectFolder"), (std::vector<std::string>{"C:/docs", "C:/docs/sub"}));

  // The folder comes back as the screen showed it, with "\".
  TQorPack objects = ann.Call("TLog.TaskLog_SelectObject", {{"UCode", "ann"},
                                                            {"TaskID", kBackupTask},
                                                            {"SessionID", kBackupRun},
                                                            {"ObjectFolder", "C:\\docs"}});
  EXPECT_EQ(Column(objects, "ObjectName"), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Column(objects, "ObjectSize"), (std::vector<std::string>{"10", "20"}));
  EXPECT_EQ(Column(objects, "ObjectDate")[0], std::to_string(Dos(2008, 1, 2, 3, 4, 6)));

  TQorPack errors =
      ann.Call("TLog.TaskLog_SelectErrorObject", RunQuery("ann", kBackupTask, kBackupRun));
  EXPECT_EQ(Column(errors, "ObjectName"), (std::vector<std::string>{"x.doc", "y.doc"}));
  EXPECT_EQ(Column(errors, "ObjectFolder"), (std::vector<std::string>{"C:\\docs", "C:\\docs"}));
  EXPECT_EQ(Column(errors, "ObjectComment").size(), 2u);
}

// Two starts of a task within the two seconds of one packed date-time send
// the same key; the second run must not take over the first one's report.
TEST_F(ServerRunLog, StartOnAnEndedRunOpensANewRunAndKeepsTheEndedOne) {
  ASSERT_EQ(ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kBackupRun)), 1);
  Log(kBackupTask, kBackupRun, "C:/docs", "a.txt", 10);
  ASSERT_EQ(ann.ErrNo("TTask.Stop", StopFields(kBackupTask, kBackupRun)), 1);
  // A start repeated after a lost reply renews the open run, not a third one.
  for (int attempt = 0; attempt < 2; ++attempt)
    ASSERT_EQ(ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kBackupRun)), 1);
  Log(kBackupTask, kBackupRun, "C:/docs", "b.txt", 20);
  ASSERT_EQ(ann.ErrNo("TTask.Stop", StopFields(kBackupTask, kBackupRun, "0", 100)), 1);

  TQorPack list = Report(ann, "ann", kDayStart, kDayEnd);
  ASSERT_EQ(list.RecordSetCount(), 2);
  EXPECT_EQ(Column(list, "SeesionID"), (std::vector<std::string>{kBackupRun, kBackupRun}));
  EXPECT_EQ(Column(list, "FolderTotalCount"), (std::vector<std::string>{"1", "101"}));
  EXPECT_EQ(Column(list, "FileDoneCount"), (std::vector<std::string>{"10", "110"}));
  // The log by key shows the newest run.
  TQorPack objects = ann.Call("TLog.TaskLog_SelectObject", {{"UCode", "ann"},
                                                            {"TaskID", kBackupTask},
                                                            {"SessionID", kBackupRun},
                                                            {"ObjectFolder", "C:\\docs"}});
  EXPECT_EQ(Column(objects, "ObjectName"), (std::vector<std::string>{"b.txt"}));
}

TEST_F(ServerRunLog, AnotherUsersRunsAreRefusedAndBadReportsChangeNothing) {
  ASSERT_EQ(ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kBackupRun)), 1);
  Log(kBackupTask, kBackupRun, "C:/docs", "a.txt", 10);

  const TFields span = {{"UCode", "ann"}, {"StartSession", kDayStart}, {"EndSeesion", kDayEnd}};
  const TFields run = RunQuery("ann", kBackupTask, kBackupRun);
  TFields folderRun = run;
  folderRun.emplace_back("ObjectFolder", "C:/docs");
  const std::pair<const char*, TFields> reads[] = {{"TTask.SelectReport", span},
                                                   {"TLog.TaskLog_Select", span},
                                                   {"TLog.TaskLog_SelectFolder", run},
                                                   {"TLog.TaskLog_SelectObject", folderRun},
                                                   {"TLog.TaskLog_SelectErrorObject", run}};
  for (const auto& [op, fields] : reads) EXPECT_EQ(bob.ErrNo(op, fields), 4) << op;
  EXPECT_EQ(Report(bob, "bob", kDayStart, kDayEnd).RecordSetCount(), 0);
  EXPECT_EQ(bob.Call("TLog.TaskLog_SelectFolder", RunQuery("bob", kBackupTask, kBackupRun))
                .RecordSetCount(),
            0);

  auto with = [](TFields f, const std::string& name, const std::string& value) {
    for (auto& field : f)
      if (field.first == name) field.second = value;
    return f;
  };
  const TFields stop = StopFields(kBackupTask, kBackupRun);
  TFields otherRun = ErrorRecord(kOtherDayRun, "z.doc");
  struct Case {
    const char* what;
    std::function<int()> call;
    int errNo;
  };
  const Case cases[] = {
      {"start for another user",
       [&] { return bob.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kOtherDayRun)); }, 4},
      {"session not a number",
       [&] { return ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, "10:11")); }, 2},
      {"session zero", [&] { return ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, "0")); },
       2},
      {"unknown task kind",
       [&] {
         return ann.ErrNo("TTask.Start",
                          with(RunHead("ann", kBackupTask, kOtherDayRun), "TaskKind", "99"));
       },
       2},
      {"direction 2",
       [&] { return ann.ErrNo("TTask.Start", RunHead("ann", kBackupTask, kOtherDayRun, "2")); }, 2},
      {"negative counter",
       [&] { return ann.ErrNo("TTask.Stop", with(stop, "FileDoneCount", "-5")); }, 2},
      {"counter not a number",
       [&] { return ann.ErrNo("TTask.Stop", with(stop, "TotalDoneFileSize", "1e9")); }, 2},
      {"errors of two runs in one report",
       [&] {
         TQorPack p = MakeRecords("TTask.ErrorReport", {ErrorRecord(kBackupRun, "x"), otherRun});
         return ann.Send(p).ErrNo();
       },
       2},
      {"error without a name",
       [&] {
         TQorPack p = MakeRecords("TTask.ErrorReport", {ErrorRecord(kBackupRun, "")});
         return ann.Send(p).ErrNo();
       },
       2},
      {"error report without records", [&] { return ann.ErrNo("TTask.ErrorReport", {}); }, 2},
      {"log query with a malformed TaskID",
       [&] { return ann.ErrNo("TLog.TaskLog_SelectFolder", with(run, "TaskID", "x1")); }, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.errNo) << c.what;

  TQorPack list = Report(ann, "ann", kDayStart, "4294967295");
  ASSERT_EQ(list.RecordSetCount(), 1) << "no run was added";
  EXPECT_EQ(list.FieldByName(1, "FileDoneCount").AsString(), "0");
  EXPECT_EQ(list.FieldByName(1, "TotalDoneFileSize").AsString(), "0");
  EXPECT_EQ(ann.Call("TLog.TaskLog_SelectErrorObject", run).RecordSetCount(), 0);
}

}  // namespace
}  // namespace solvane::testing
