// The typed server calls of tasks, transfers, policy, browser and run log
// against the real server: what one call stores, another returns unchanged.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ServerProcess.h"
#include "api/BrowseApi.h"
#include "api/LogApi.h"
#include "api/TaskApi.h"
#include "api/UpDownApi.h"
#include "session/DosDateTime.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane::testing {
namespace {

using namespace solvane::api;

constexpr std::uint32_t kDos = 946164070;  // 2008-03-05 10:11:12
const TCaller kFrom{"ann", "127.0.0.1", "00-0C-29-3A-5B-7C"};

DateTime At(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

class TaskApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw", {"--can-delete"});
    TTestClient signIn;
    ASSERT_TRUE(signIn.Connect(server.Port()));
    ASSERT_TRUE(signIn.Login("ann", "pw"));
    for (int i = 0; i < 2; ++i) pool.AddConnection(1, "Public" + std::to_string(i));
    pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(server.Port()) + "\r\nTimeOut=10");
    pool.SetToken(signIn.Token());
    ASSERT_TRUE(pool.ConnectAll(0));
  }

  TTaskDefinition Definition(std::int32_t id, std::int32_t kind) const {
    TTaskDefinition t;
    t.UCode = "ann";
    t.TaskID = id;
    t.Kind = kind;
    t.Name = "文档备份 " + std::to_string(id);
    t.Comment = "first line\r\nsecond line";
    return t;
  }

  // One whole file uploaded in the run (taskId, sessionId) of kind 100.
  void Upload(std::int32_t taskId, std::int32_t sessionId, const std::string& folder,
              const std::string& name, const std::string& bytes) {
    TUpObject o;
    o.UCode = "ann";
    o.TaskID = taskId;
    o.TaskKind = 100;
    o.ObjectName = name;
    o.ObjectFolder = folder;
    o.ObjectSize = static_cast<std::int64_t>(bytes.size());
    o.ObjectDate = kDos;
    const auto check = UpDownCheck(pool, o, 1);
    ASSERT_TRUE(check) << check.status.Describe();
    ASSERT_EQ(check.value.Action, 1);
    ASSERT_TRUE(UpDownUpLoad(pool, o, {sessionId, 1, 1, 0}, bytes));
    EXPECT_EQ(UpDownCheck(pool, o, 1).value.Action, 0) << "stored: the next check says held";
  }

  TServerProcess server;
  TQorTCPClientPool pool;
};

TEST_F(TaskApiTest, InsertedAndUpdatedTasksComeBackFieldForField) {
  TTaskDefinition weekly = Definition(kDos, 100);
  weekly.BackupMode = true;
  weekly.Schedule.IsEnableSchedule = true;
  weekly.Schedule.Schedule_StartTime = At(2008, 3, 5, 9, 30);
  weekly.Schedule.Schedule_Kind = 2;
  weekly.Schedule.Weekly_Weeks = 4;
  weekly.Schedule.IsWeekly_Day[1] = weekly.Schedule.IsWeekly_Day[6] = true;
  weekly.Schedule.DelayMinute = 25;
  TTaskDefinition periodical = Definition(kDos + 2, 200);
  periodical.Schedule.IsEnableSchedule = true;
  periodical.Schedule.Schedule_StartTime = At(2009, 1, 2, 8, 0);
  periodical.Schedule.Periodical_Days = 1;
  periodical.Schedule.Periodical_Hours = 2;
  periodical.Schedule.Periodical_Minites = 15;
  periodical.Schedule.DelayMinute = 7;
  TTaskDefinition monthly = Definition(kDos + 4, 500);
  monthly.Schedule.IsEnableSchedule = true;
  monthly.Schedule.Schedule_StartTime = At(2010, 6, 1, 23, 45);
  monthly.Schedule.Schedule_Kind = 3;
  monthly.Schedule.Monthly_Prefix = 3;
  monthly.Schedule.Monthly_Day = 6;
  monthly.Schedule.Monthly_Months = 5;
  // Switched off, yet its weekly settings come back for the next time it is on.
  TTaskDefinition unscheduled = Definition(kDos + 6, 100);
  unscheduled.Schedule.Schedule_StartTime = At(2011, 2, 3, 7, 15);
  unscheduled.Schedule.Schedule_Kind = 2;
  unscheduled.Schedule.Weekly_Weeks = 3;
  unscheduled.Schedule.IsWeekly_Day[0] = unscheduled.Schedule.IsWeekly_Day[3] = true;
  unscheduled.Schedule.DelayMinute = 10;

  auto expectSame = [](const TTaskRecord& got, const TTaskDefinition& want) {
    SCOPED_TRACE(want.Name);
    EXPECT_EQ(got.Kind, want.Kind);
    EXPECT_EQ(got.Name, want.Name);
    EXPECT_EQ(got.UCode, "ann");
    EXPECT_EQ(got.Comment, want.Comment) << "CR LF survives as CR LF";
    EXPECT_EQ(got.BackupMode, want.BackupMode);
    const TTaskSchedule& g = got.Schedule;
    const TTaskSchedule& w = want.Schedule;
    EXPECT_EQ(g.IsEnableSchedule, w.IsEnableSchedule);
    EXPECT_EQ(g.DelayMinute, w.DelayMinute);
    EXPECT_EQ(g.Schedule_StartTime, w.Schedule_StartTime);
    EXPECT_EQ(g.Schedule_Kind, w.Schedule_Kind);
    EXPECT_EQ(g.Periodical_Days, w.Periodical_Days);
    EXPECT_EQ(g.Periodical_Hours, w.Periodical_Hours);
    EXPECT_EQ(g.Periodical_Minites, w.Periodical_Minites);
    EXPECT_EQ(g.Weekly_Weeks, w.Weekly_Weeks);
    for (int day = 0; day < 7; ++day) EXPECT_EQ(g.IsWeekly_Day[day], w.IsWeekly_Day[day]) << day;
    EXPECT_EQ(g.Monthly_Prefix, w.Monthly_Prefix);
    EXPECT_EQ(g.Monthly_Day, w.Monthly_Day);
    EXPECT_EQ(g.Monthly_Months, w.Monthly_Months);
  };
  auto listed = [&](std::int32_t id) {
    const auto tasks = TaskSelectByUser(pool, "ann");
    EXPECT_TRUE(tasks) << tasks.status.Describe();
    for (const TTaskRecord& t : tasks.value)
      if (t.ID == id) return t;
    ADD_FAILURE() << "task " << id << " not listed";
    return TTaskRecord{};
  };

  std::vector<TTaskDefinition> cases{weekly, periodical, monthly, unscheduled};
  for (const TTaskDefinition& t : cases) {
    ASSERT_TRUE(TaskInsert(pool, kFrom, t)) << t.Name;
    expectSame(listed(t.TaskID), t);
  }
  EXPECT_EQ(TaskInsert(pool, kFrom, weekly).failure, TApiFailure::Refused) << "the same ID again";

  // A change keeps the backup mode of a sync task (not sent) and takes the rest.
  TTaskDefinition changed = periodical;
  changed.Name = "改名";
  changed.Comment = "one\r\ntwo\r\nthree";
  changed.Schedule.Schedule_Kind = 1;
  changed.Schedule.Daily_Days = 3;
  ASSERT_TRUE(TaskUpdate(pool, kFrom, changed));
  expectSame(listed(changed.TaskID), changed);

  ASSERT_TRUE(TaskRemove(pool, kFrom, monthly.TaskID));
  for (const TTaskRecord& t : TaskSelectByUser(pool, "ann").value) EXPECT_NE(t.ID, monthly.TaskID);
  EXPECT_FALSE(TaskRemove(pool, kFrom, monthly.TaskID)) << "already gone";
}

TEST_F(TaskApiTest, FileObjectsPatternsAndExtendedFilterRoundTrip) {
  struct TCase {
    std::int32_t kind;
    bool syncCreation;  // the folder sync creation screen's shape
    std::vector<TTaskFileObjectRecord> sent, expected;
  };
  const std::vector<TCase> cases{
      {100, false,
       {{"/home/ann/docs", true}, {"/home/ann/a b.txt", false}},
       {{"/home/ann/docs", true}, {"/home/ann/a b.txt", false}}},
      {200, true, {{"/home/ann/sync", false}}, {{"/home/ann/sync", true}}},
  };
  std::int32_t id = kDos;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind);
    id += 2;
    ASSERT_TRUE(TaskInsert(pool, kFrom, Definition(id, c.kind)));
    ASSERT_TRUE(TaskSetFileObject(pool, kFrom, "ann", id, c.sent, c.syncCreation));
    const auto got = TaskGetFileObject(pool, id);
    ASSERT_TRUE(got);
    ASSERT_EQ(got.value.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(got.value[i].ObjectName, c.expected[i].ObjectName);
      EXPECT_EQ(got.value[i].IsFolder, c.expected[i].IsFolder);
    }
  }

  const std::vector<TFilterPattern> patterns{{"*.doc", true}, {"/home/ann/Temp", false}};
  ASSERT_TRUE(TaskSetFileObjectFilter(pool, kFrom, "ann", id, patterns));
  auto got = TaskGetFileObjectFilter(pool, id);
  ASSERT_TRUE(got);
  ASSERT_EQ(got.value.size(), 2u);
  EXPECT_EQ(got.value[0].FilterStr, "*.doc");
  EXPECT_TRUE(got.value[0].IsInclude);
  EXPECT_EQ(got.value[1].FilterStr, "/home/ann/Temp");
  EXPECT_FALSE(got.value[1].IsInclude);
  ASSERT_TRUE(TaskSetFileObjectFilter(pool, kFrom, "ann", id, {}));
  EXPECT_TRUE(TaskGetFileObjectFilter(pool, id).value.empty()) << "no patterns, no placeholder";

  EXPECT_FALSE(TaskGetFileObjectFilterEx(pool, id).value) << "nothing stored yet";
  TTaskFilterEx ex;
  ex.FilterSize = true;
  ex.MinFileSize = 1;
  ex.MaxFileSize = 5;
  ex.FilterCreateDate = false;
  ex.MinFileCreateDate = At(2020, 1, 1, 0, 0);
  ex.MaxFileCreateDate = At(2020, 12, 31, 0, 0);
  ex.FilterUpdateDate = true;
  ex.MinFileModifiedDate = At(2021, 1, 1, 0, 0);
  ex.MaxFileModifiedDate = At(2021, 12, 31, 23, 59);
  ex.FilterAttribute = true;
  ex.IsFilterHidden = true;
  ASSERT_TRUE(TaskSetFileObjectFilterEx(pool, kFrom, "ann", id, ex));
  const auto back = TaskGetFileObjectFilterEx(pool, id);
  ASSERT_TRUE(back && back.value);
  const TTaskFilterEx& b = *back.value;
  EXPECT_EQ(b.FilterSize, std::optional<bool>(true));
  EXPECT_EQ(b.FilterCreateDate, std::optional<bool>(false));
  EXPECT_EQ(b.FilterUpdateDate, std::optional<bool>(true));
  EXPECT_EQ(b.FilterAttribute, std::optional<bool>(true));
  EXPECT_EQ(b.MinFileSize, 1);
  EXPECT_EQ(b.MaxFileSize, 5);
  EXPECT_EQ(b.MinFileCreateDate, ex.MinFileCreateDate);
  EXPECT_EQ(b.MaxFileCreateDate, ex.MaxFileCreateDate);
  EXPECT_EQ(b.MinFileModifiedDate, ex.MinFileModifiedDate);
  EXPECT_EQ(b.MaxFileModifiedDate, ex.MaxFileModifiedDate);
  EXPECT_FALSE(b.IsFilterReadOnly);
  EXPECT_TRUE(b.IsFilterHidden);
}

TEST_F(TaskApiTest, MailSelectionRoundTrips) {
  ASSERT_TRUE(TaskInsert(pool, kFrom, Definition(kDos, 500)));
  std::vector<TTaskMailFolder> folders(2);
  folders[0] = {0, -1, 3, 0, "C:/Mail/Inbox", "in.box", "in.ind", true};
  folders[1] = {0, 3, 3001, 0, "C:/Mail/Sub", "sub.box", "sub.ind", false};
  ASSERT_TRUE(TaskSetMCObject(pool, kFrom, "ann", kDos, folders));
  TTaskMailMessage m;
  m.MCFolderID = 3001;
  m.MCMessageID = 42;
  m.MCMessageSubject = "季度报告";
  m.MCMessageSender = "bob@example.com";
  m.SentDate = At(2008, 3, 5, 10, 11);
  m.MCMessageSize = 1234;
  m.MCMessageCago = "locator";
  ASSERT_TRUE(TaskSetMCObjectMessage(pool, kFrom, "ann", kDos, {m}));

  const auto got = TaskGetMCObject(pool, kDos);
  ASSERT_TRUE(got);
  ASSERT_EQ(got.value.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got.value[i].MCFolderParentID, folders[i].MCFolderParentID);
    EXPECT_EQ(got.value[i].MCFolderID, folders[i].MCFolderID);
    EXPECT_EQ(got.value[i].MCFileName1, folders[i].MCFileName1);
    EXPECT_EQ(got.value[i].MCFileName2, folders[i].MCFileName2);
    EXPECT_EQ(got.value[i].IsSelected, folders[i].IsSelected);
  }
  const auto messages = TaskGetMCObjectMessage(pool, kDos, 3001);
  ASSERT_TRUE(messages);
  ASSERT_EQ(messages.value.size(), 1u);
  EXPECT_EQ(messages.value[0].MCMessageID, 42);
  EXPECT_EQ(messages.value[0].MCMessageSubject, m.MCMessageSubject);
  EXPECT_EQ(messages.value[0].MCMessageSender, m.MCMessageSender);
  EXPECT_EQ(messages.value[0].SentDateDos, DateTimeToDos(m.SentDate)) << "the sent date, packed";
}

TEST_F(TaskApiTest, RunReportsAndTheRunLogAgree) {
  const std::int32_t task = kDos, session = kDos + 100;
  TRunHead run{"ann", task, "夜间备份", 100, 0, session, false};
  ASSERT_TRUE(TaskStart(pool, run));
  Upload(task, session, "/home/ann/docs", "a.txt", "hello");
  Upload(task, session, "/home/ann/docs", "b.txt", "world!");
  TRunCounters counters;
  counters.FolderTotalCount = 3;
  counters.TotalFileCount = 4;
  counters.TotalDoneFileSize = 5'000'000'000;  // beyond 32 bits
  counters.FileCheckedCount = 4;
  counters.FileCheckedAndNoChangeCount = 1;
  counters.FileDoneCount = 2;
  counters.FileErrorCount = 2;
  ASSERT_TRUE(TaskStop(pool, run, "a\r\nb", counters));
  ASSERT_TRUE(TaskErrorReport(pool, run, {{"x.txt", "/home/ann/bad"}, {"y.txt", "/home/ann/bad"}}));

  const auto reports = TaskSelectReport(pool, "ann", session, session);
  ASSERT_TRUE(reports);
  ASSERT_EQ(reports.value.size(), 1u);
  const TRunReport& r = reports.value[0];
  EXPECT_EQ(r.TaskID, task);
  EXPECT_EQ(r.TaskName, run.TaskName);
  EXPECT_EQ(r.TaskKind, 100);
  EXPECT_FALSE(r.IsDownload);
  EXPECT_EQ(r.SessionID, static_cast<std::uint32_t>(session));
  EXPECT_EQ(r.Counters.FolderTotalCount, 3);
  EXPECT_EQ(r.Counters.TotalFileCount, 4);
  EXPECT_EQ(r.Counters.TotalDoneFileSize, 5'000'000'000);
  EXPECT_EQ(r.Counters.FileCheckedCount, 4);
  EXPECT_EQ(r.Counters.FileCheckedAndNoChangeCount, 1);
  EXPECT_EQ(r.Counters.FileDoneCount, 2);
  EXPECT_EQ(r.Counters.FileErrorCount, 2);

  const auto runs = LogTaskLogSelect(pool, "ann", session - 10, session + 10);
  ASSERT_TRUE(runs);
  ASSERT_EQ(runs.value.size(), 1u);
  EXPECT_EQ(runs.value[0].TaskID, task);
  EXPECT_EQ(runs.value[0].TaskKind, 100);
  EXPECT_EQ(runs.value[0].SessionID, static_cast<std::uint32_t>(session));
  EXPECT_EQ(runs.value[0].TaskName, run.TaskName);

  const auto folders = LogTaskLogSelectFolder(pool, "ann", task, session);
  ASSERT_TRUE(folders);
  EXPECT_EQ(folders.value, std::vector<std::string>{"/home/ann/docs"});
  const auto objects = LogTaskLogSelectObject(pool, "ann", task, session, "/home/ann/docs");
  ASSERT_TRUE(objects);
  ASSERT_EQ(objects.value.size(), 2u);
  EXPECT_EQ(objects.value[0].ObjectName, "a.txt");
  EXPECT_EQ(objects.value[0].ObjectSize, 5);
  EXPECT_EQ(objects.value[0].ObjectDate, kDos);
  EXPECT_EQ(objects.value[1].ObjectName, "b.txt");
  EXPECT_EQ(objects.value[1].ObjectSize, 6);

  const auto errors = LogTaskLogSelectErrorObject(pool, "ann", task, 100, session);
  ASSERT_TRUE(errors);
  ASSERT_EQ(errors.value.size(), 2u);
  EXPECT_EQ(errors.value[0].ObjectName, "x.txt");
  EXPECT_EQ(errors.value[0].ObjectFolder, "/home/ann/bad");
  EXPECT_EQ(errors.value[1].ObjectName, "y.txt");
}

TEST_F(TaskApiTest, SearchRemoveRevertAndPurgeAStoredFile) {
  ASSERT_TRUE(TaskStart(pool, {"ann", kDos, "t", 100, 0, kDos, false}));
  Upload(kDos, kDos, "/home/ann/docs", "report.txt", "0123456789");
  std::string bytes = "left over";
  ASSERT_TRUE(UpDownDownLoad(pool, {"ann", 100, "report.txt", "/home/ann/docs", -1, "", "", 10, kDos, 1},
                             1, bytes));
  EXPECT_EQ(bytes, "0123456789");

  TSeekRequest seek;
  seek.UCode = "ann";
  seek.ObjectNameSR = "REPORT";
  const auto hits = BrowerSeekFileObject(pool, seek);
  ASSERT_TRUE(hits);
  ASSERT_EQ(hits.value.size(), 1u);
  EXPECT_EQ(hits.value[0].ObjectFolder, "100|/home/ann/docs");
  EXPECT_EQ(hits.value[0].ObjectSize, 10);

  auto listing = [&] { return BrowerShowFileObject(pool, "ann", 100, "/home/ann/docs").value; };
  ASSERT_EQ(listing().size(), 1u);
  const TStoreEntry stored = listing()[0];
  EXPECT_EQ(stored.ObjectName, "report.txt");
  EXPECT_EQ(stored.ObjectFolder, "/home/ann/docs");
  EXPECT_EQ(stored.ObjectKind, 0);
  EXPECT_EQ(stored.ObjectDate, kDos);

  auto trash = [&] { return BrowerShowTrashObject(pool, "ann", 100).value; };
  ASSERT_TRUE(BrowerRemoveFileObject(pool, "ann", 100, stored));
  EXPECT_TRUE(listing().empty());
  ASSERT_EQ(trash().size(), 1u);
  const TTrashEntry deleted = trash()[0];
  EXPECT_EQ(deleted.ObjectName, "report.txt");
  EXPECT_EQ(deleted.AbsoluteObjectName, "/home/ann/docs/report.txt");
  EXPECT_EQ(deleted.ObjectSize, 10);

  ASSERT_TRUE(BrowerRevertTrashObject(pool, kFrom, "ann", 100, deleted));
  EXPECT_EQ(listing().size(), 1u);
  EXPECT_TRUE(trash().empty());

  ASSERT_TRUE(BrowerRemoveFileObject(pool, "ann", 100, stored));
  ASSERT_TRUE(BrowerRemoveTrashObject(pool, kFrom, "ann", 100, trash().at(0)));
  EXPECT_TRUE(trash().empty());
  EXPECT_TRUE(listing().empty());
  EXPECT_FALSE(BrowerRevertTrashObject(pool, kFrom, "ann", 100, deleted)) << "purged for good";
}

}  // namespace
}  // namespace solvane::testing
