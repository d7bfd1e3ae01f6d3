// Scheduled runs against a real server that closes idle connections, is
// restarted between two due times, or is away when a task is due; a session
// the server forgot; a user switch while a run goes on. The engine's clock is
// the test's, the server and its connections are real.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "ServerProcess.h"
#include "engine/TaskEngine.h"
#include "platform/AutoRun.h"
#include "platform/MemoryRegistry.h"
#include "platform/NetworkInfo.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "api/TaskApi.h"

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TFixedNetwork : public INetworkInfo {
 public:
  std::string LocalIPAddress() override { return "127.0.0.1"; }
  std::string LocalMacAddress() override { return "00-0C-29-3A-5B-7C"; }
};

class TNotes : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind) override {
    std::lock_guard g(m_mutex);
    m_notes.push_back(text);
  }
  std::vector<std::string> All() const {
    std::lock_guard g(m_mutex);
    return m_notes;
  }
  int Containing(const std::string& part) const {
    int n = 0;
    for (const auto& note : All()) n += note.find(part) != std::string::npos;
    return n;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_notes;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// The schedule's start: the task is due from one minute before each
// ten-minute mark after it to one minute after.
DateTime ScheduleStart() { return *FromLocalDateTime(TLocalDateTime{2026, 12, 10, 9, 0, 0, 0}); }
constexpr const char* kScheduleStartText = "2026-12-10 09:00:00";

class ScheduledRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetExtraArgs({"--idle-timeout", "2"});
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw");
    server.AddUser("bob", "pw");
    source = server.DataDir().parent_path() / "source";
    fs::create_directories(source);
    for (int i = 0; i < 3; ++i)
      std::ofstream(source / ("f" + std::to_string(i) + ".txt")) << "file " << i;
    SetClock(ScheduleStart() - 5min);  // not due
  }
  void TearDown() override {
    if (HasFailure())
      for (const auto& note : notes.All()) std::cerr << "note: " << note << "\n";
    info.reset();
  }

  void SetClock(DateTime t) { clock = t.time_since_epoch().count(); }
  DateTime Clock() const { return DateTime(DateTime::duration(clock.load())); }

  // A default task of ann's: back up the source folder every ten minutes,
  // at most once in three minutes.
  void AddScheduledTask() {
    auto added = server.Admin({"task", "add-default", "daily", "--kind", "100", "--folder",
                               source.string(), "--delay", "3", "--periodical", "0:0:10",
                               "--start", kScheduleStartText, "--assign", "ann"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
  }

  // ann signed in, her scheduled task loaded; null when it is not.
  TTaskObjectPtr SignInWithScheduledTask() {
    AddScheduledTask();
    info = SignIn("ann");
    return Task("daily");
  }

  std::unique_ptr<TPublicInfo> SignIn(const std::string& user, TPacing pacing = TPacing::Fast) {
    auto made = std::make_unique<TPublicInfo>(TPublicInfoDeps{
        registry, autoRun, network, notes, "/opt/solvane/solvane", [this] { return Clock(); }});
    TSettings s = made->Settings();
    s.Host = "127.0.0.1";
    s.Port = static_cast<std::uint16_t>(server.Port());
    s.UserCode = user;
    s.UserPwd = "pw";
    s.Pacing = pacing;
    made->SetSettings(s);
    made->Pool().SetReconnectBackoff(200ms, 1s);
    EXPECT_TRUE(Login(*made));
    return made;
  }

  TTaskObjectPtr Task(const std::string& name) {
    for (const auto& t : info->Tasks().Snapshot())
      if (t->TaskName == name) return t;
    return nullptr;
  }

  // Runs of the user the server recorded.
  int RunsOnServer(const std::string& user) {
    TTestClient c;
    if (!c.Connect(server.Port()) || !c.Login(user, "pw")) return -1;
    TQorPack p = MakeRequest("TTask.SelectReport", {{"UCode", user},
                                                    {"StartSession", "0"},
                                                    {"EndSeesion", "2147483647"}});
    return c.CallOk(p) ? p.RecordSetCount() : -1;
  }

  // Files of the user's backup store below folder; -1 when it cannot be read.
  int StoredFiles(const std::string& user, const fs::path& folder) {
    TTestClient c;
    if (!c.Connect(server.Port()) || !c.Login(user, "pw")) return -1;
    TQorPack p = MakeRequest("TBrower.ShowFileObject", {{"UCode", user},
                                                        {"TaskKind", "100"},
                                                        {"RelatePath", folder.string()},
                                                        {"IsInlcudeSubFolder", "1"}});
    if (!c.Call(p)) return -1;
    if (p.ErrNo() != 1) return 0;  // nothing stored there
    int files = 0;
    for (int n = 1; n <= p.RecordSetCount(); ++n)
      files += p.FieldByName(n, "ObjectKind").AsInteger() == 0;
    return files;
  }

  // The task ran to its end (again) since sessionBefore.
  bool RanSince(const TTaskObjectPtr& task, std::int32_t sessionBefore) {
    return WaitUntil([&] {
      auto lock = task->Lock();
      return task->SessionID != sessionBefore && task->State() == kStateTerminated &&
             info->CurrentTask() == nullptr;
    });
  }

  TServerProcess server;
  fs::path source;
  TMemoryRegistry registry;
  TXdgAutoRun autoRun{fs::temp_directory_path().string()};
  TFixedNetwork network;
  TNotes notes;
  std::atomic<DateTime::rep> clock{0};
  std::unique_ptr<TPublicInfo> info;
};

std::uint64_t ConnectAttempts(TQorTCPClientPool& pool) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < pool.Count(); ++i) sum += pool.Item(i).ConnectAttempts();
  return sum;
}

TEST_F(ScheduledRuns, RunWhenDueAfterTheServerClosedEveryIdleConnection) {
  auto task = SignInWithScheduledTask();
  ASSERT_TRUE(task);
  const std::uint64_t attemptsAtSignIn = ConnectAttempts(info->Pool());
  std::this_thread::sleep_for(3500ms);  // past the server's idle time-out
  EXPECT_GT(ConnectAttempts(info->Pool()), attemptsAtSignIn) << "dropped connections came back";

  SetClock(ScheduleStart() + 30s);
  ASSERT_TRUE(RanSince(task, -1));
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 3);
  EXPECT_EQ(RunsOnServer("ann"), 1);
}

TEST_F(ScheduledRuns, ServerRestartedBetweenTwoDueTimesGetsTheSecondRun) {
  auto task = SignInWithScheduledTask();
  ASSERT_TRUE(task);
  SetClock(ScheduleStart() + 30s);
  ASSERT_TRUE(RanSince(task, -1));
  const std::int32_t firstRun = task->SessionID;

  ASSERT_TRUE(server.RestartOnSamePort());
  SetClock(ScheduleStart() + 10min + 30s);
  ASSERT_TRUE(RanSince(task, firstRun));
  EXPECT_EQ(task->PostBag.Counters().FileCheckedAndNoChangeCount, 3);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
  EXPECT_EQ(RunsOnServer("ann"), 2);
}

TEST_F(ScheduledRuns, ServerAwayWhenDueGetsTheRunInsideTheWindowAndANoteOtherwise) {
  auto task = SignInWithScheduledTask();
  ASSERT_TRUE(task);
  const int port = server.Port();

  // Away at the due time, back two minutes later: inside the three-minute
  // window.
  server.Stop();
  SetClock(ScheduleStart() + 30s);
  ASSERT_TRUE(WaitUntil([&] { return notes.Containing("服务器恢复后运行") == 1; }));
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(task->State(), kStateWaiting) << "not given up while the window lasts";
  SetClock(ScheduleStart() + 2min);
  ASSERT_TRUE(server.StartOnPort(port));
  ASSERT_TRUE(RanSince(task, -1));
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 3);
  EXPECT_EQ(RunsOnServer("ann"), 1);

  // Away for the whole window of the next due time: a note says why.
  const std::int32_t firstRun = task->SessionID;
  server.Stop();
  SetClock(ScheduleStart() + 10min + 30s);
  ASSERT_TRUE(WaitUntil([&] { return notes.Containing("服务器恢复后运行") == 2; }));
  SetClock(ScheduleStart() + 15min);
  ASSERT_TRUE(WaitUntil([&] { return notes.Containing("没有运行") == 1; }));
  EXPECT_EQ(task->State(), kStateTerminated);
  EXPECT_NE(task->SessionID, firstRun);
  ASSERT_TRUE(server.StartOnPort(port));
  EXPECT_EQ(RunsOnServer("ann"), 1);
}

TEST_F(ScheduledRuns, SessionTheServerForgotIsRenewedOnceWithTheUsersCredentials) {
  info = SignIn("ann");
  auto forget = [&] {
    TTestClient c;
    ASSERT_TRUE(c.Connect(server.Port()));
    c.SetToken(info->Pool().Token());
    TQorPack logout = MakeRequest("TUser.Logout", {{"UAdmin", "ann"}, {"UCode", "ann"}});
    ASSERT_TRUE(c.CallOk(logout));
  };
  auto list = [&] {
    return api::TaskSelectByUser(info->Pool(), "ann").Ok();
  };
  const std::string firstToken = info->Pool().Token();
  forget();
  EXPECT_TRUE(list());
  EXPECT_EQ(info->Pool().Reauthentications(), 1u);
  EXPECT_NE(info->Pool().Token(), firstToken);
  EXPECT_TRUE(list()) << "the new session holds";
  EXPECT_EQ(info->Pool().Reauthentications(), 1u);

  // The password changed meanwhile: the calls fail, the user is told once,
  // and the server is not asked again and again.
  auto changed = server.Admin({"user", "passwd", "ann", "--password", "other"});
  ASSERT_EQ(changed.exitCode, 0) << changed.err;
  forget();
  EXPECT_FALSE(list());
  EXPECT_FALSE(list());
  EXPECT_EQ(info->Pool().Reauthentications(), 1u);
  EXPECT_EQ(notes.Containing("请重新登录"), 1);
}

class UserSwitch : public ScheduledRuns {
 protected:
  // ann's one-off backup of many files, under the standard pacing (about a
  // tenth of a second per file), started and some files in.
  TTaskObjectPtr StartLongBackup() {
    for (int i = 0; i < 60; ++i)
      std::ofstream(source / ("many" + std::to_string(i) + ".txt")) << "content " << i;
    auto task = CreateTaskObject(kKindFileBackup, 0, "ann");
    task->IsTemporary = true;
    task->TaskID = info->Tasks().NewTaskID(info->Now());
    task->TaskName = "备份文件";
    task->FileObjects.Add(source.string(), 1);
    info->Tasks().Add(task);
    EXPECT_TRUE(info->Tasks().RequestStart(task->TaskID, false, info->Now()));
    EXPECT_TRUE(WaitUntil([&] { return task->PostBag.Counters().FileDoneCount >= 3; }));
    EXPECT_EQ(info->CurrentTask(), task) << "the run goes on";
    return task;
  }
  void SignInAs(const std::string& user) {
    TSettings s = info->Settings();
    s.UserCode = user;
    s.UserPwd = "pw";
    info->SetSettings(s);
    ASSERT_TRUE(Login(*info));
  }
};

// Even when somebody else signs in while a run goes on, its remaining
// requests name the user it started as: the server refuses them for the
// other session instead of storing them in the other user's store.
TEST_F(UserSwitch, ARunNeverWritesIntoTheStoreOfWhoeverSignsInMeanwhile) {
  info = SignIn("ann", TPacing::Standard);
  auto task = StartLongBackup();
  SignInAs("bob");
  ASSERT_TRUE(WaitUntil([&] { return info->CurrentTask() == nullptr; }, 60s));
  EXPECT_EQ(StoredFiles("bob", source), 0);
  EXPECT_GE(StoredFiles("ann", source), 3);
}

// Switching user stops every task and waits for the engine first.
TEST_F(UserSwitch, StopAllTasksEndsTheRunWithItsReportBeforeAnybodyElseSignsIn) {
  info = SignIn("ann", TPacing::Standard);
  auto task = StartLongBackup();
  ASSERT_TRUE(info->StopAllTasks(30s));
  EXPECT_EQ(info->CurrentTask(), nullptr);
  EXPECT_EQ(task->State(), kStateTerminated);
  const int annFiles = StoredFiles("ann", source);
  EXPECT_LT(annFiles, 63) << "stopped before its end";
  SignInAs("bob");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(StoredFiles("bob", source), 0);
  EXPECT_EQ(StoredFiles("ann", source), annFiles) << "nothing of ann's run moved after the stop";
  EXPECT_EQ(RunsOnServer("ann"), 1) << "the stopped run was reported";
}

}  // namespace
}  // namespace solvane::testing
