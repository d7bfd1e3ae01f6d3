// solvane-cli end to end against the real server: backup, unchanged and
// changed runs, stop and resume, sync mirroring deletions, restores.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ctime>
#include <random>
#include <sstream>
#include <thread>

#include "CliProcess.h"
#include "ServerProcess.h"
#include "TaskTestSupport.h"
#include "session/Unit_LocalHelpers.h"

#ifndef SOLVANE_CLI_BINARY
#error "SOLVANE_CLI_BINARY must name the command-line client"
#endif

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;

using TRun = TCliRun;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Random(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

// Every regular file below root, relative path -> contents.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return files;
}

// The last "12.3 MB sent" (or received) figure of the progress lines.
double LastMegabytes(const std::string& err, const std::string& unit) {
  const auto at = err.rfind(unit);
  if (at == std::string::npos) return -1;
  auto start = err.find_last_of(" (", at - 1);
  return std::stod(err.substr(start + 1, at - start - 1));
}

// Local time in the admin command's form, seconds from now.
std::string LocalTimeIn(std::chrono::seconds from) {
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + from);
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw", {"--can-delete"});
    work = server.DataDir().parent_path() / "work";
    fs::create_directories(work / "config");
  }

  // Runs solvane-cli with its settings under the test folder. stopWhen:
  // send SIGINT (once) as soon as it holds.
  TRun Run(std::vector<std::string> args, bool fast = true,
           std::function<bool()> stopWhen = {}) {
    TCliCall call;
    call.argv = {SOLVANE_CLI_BINARY, "--server", "127.0.0.1:" + std::to_string(server.Port()),
                 "--user", "ann"};
    if (fast) call.argv.push_back("--fast");
    call.argv.insert(call.argv.end(), args.begin(), args.end());
    call.env = {{"XDG_CONFIG_HOME", (work / "config").string()}, {"SOLVANE_PASSWORD", "pw"}};
    call.stopWhen = std::move(stopWhen);
    return RunCliProcess(call, work);
  }

  TServerProcess server;
  fs::path work;
};

TEST_F(Cli, BackupThenUnchangedRunThenChangedFileMakesVersionTwo) {
  const fs::path src = work / "docs";
  WriteFile(src / "a.bin", Random(700000, 1));
  WriteFile(src / "sub" / "b.txt", "hello");
  WriteFile(src / "sub" / "empty.txt", "");

  TRun first = Run({"backup", src.string()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  auto c1 = CliSummary(first.err);
  EXPECT_EQ(c1["TotalFileCount"], 3);
  EXPECT_EQ(c1["FileErrorCount"], 0);
  EXPECT_EQ(c1["TotalDoneFileSize"], 700005);

  TRun unchanged = Run({"backup", src.string()});
  ASSERT_EQ(unchanged.exitCode, 0) << unchanged.err;
  auto c2 = CliSummary(unchanged.err);
  EXPECT_EQ(c2["FileCheckedAndNoChangeCount"], 3);
  EXPECT_EQ(c2["FileDispatchedCount"], 0);
  EXPECT_EQ(c2["TotalDoneFileSize"], 0);

  std::this_thread::sleep_for(std::chrono::seconds(2));  // a new 2-second DOS stamp
  WriteFile(src / "sub" / "b.txt", "hello, changed");
  TRun changed = Run({"backup", src.string()});
  ASSERT_EQ(changed.exitCode, 0) << changed.err;
  EXPECT_EQ(CliSummary(changed.err)["FileDoneCount"], 1);
  TRun ls = Run({"ls", (src / "sub").string()});
  ASSERT_EQ(ls.exitCode, 0) << ls.err;
  EXPECT_NE(ls.out.find("b.txt\t14\tversion 2"), std::string::npos) << ls.out;
}

// Two runs started within the two seconds of one packed date-time: each
// keeps its own report on the server.
TEST_F(Cli, BackToBackBackupsLeaveTwoRunsWithTheirOwnCounters) {
  const fs::path src = work / "small";
  WriteFile(src / "a.txt", "first");
  WriteFile(src / "b.txt", "second");
  TRun first = Run({"backup", src.string()});
  TRun second = Run({"backup", src.string()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_EQ(second.exitCode, 0) << second.err;

  TUserClient ann;
  ASSERT_TRUE(ann.SignIn(server, "ann", "pw"));
  const std::string anyTime[] = {std::to_string((1 << 21) | (1 << 16)),     // 1980-01-01
                                 std::to_string(0xFF9Fu << 16 | 0xBF7Du)};  // 2107-12-31 23:59:58
  TQorPack report =
      ann.Call("TTask.SelectReport",
               {{"UCode", "ann"}, {"StartSession", anyTime[0]}, {"EndSeesion", anyTime[1]}});
  ASSERT_EQ(report.ErrNo(), 1);
  ASSERT_EQ(report.RecordSetCount(), 2);
  const auto tasks = Column(report, "TaskID");
  const auto sessions = Column(report, "SeesionID");
  EXPECT_NE(std::make_pair(tasks[0], sessions[0]), std::make_pair(tasks[1], sessions[1]));
  EXPECT_EQ(Column(report, "FileDoneCount"), (std::vector<std::string>{"2", "0"}));
  EXPECT_EQ(Column(report, "FileCheckedAndNoChangeCount"), (std::vector<std::string>{"0", "2"}));
}

TEST_F(Cli, RestoreToOriginalPlaceAnotherFolderAndFlatWithAndWithoutOverwrite) {
  const fs::path src = work / "orig";
  WriteFile(src / "x" / "one.bin", Random(300000, 2));
  WriteFile(src / "y" / "two.txt", "two");
  ASSERT_EQ(Run({"backup", src.string()}).exitCode, 0);
  const auto original = Tree(src);

  // Into another folder, keeping the full path.
  TRun below = Run({"restore", "--to", (work / "below").string(), src.string()});
  ASSERT_EQ(below.exitCode, 0) << below.err;
  EXPECT_EQ(Tree(work / "below" / fs::relative(src, "/")), original);

  // Flat: every file directly in the target folder.
  TRun flat = Run({"restore", "--to", (work / "flat").string(), "--flat", src.string()});
  ASSERT_EQ(flat.exitCode, 0) << flat.err;
  EXPECT_EQ(Tree(work / "flat"),
            (std::map<std::string, std::string>{{"one.bin", original.at("x/one.bin")},
                                                {"two.txt", "two"}}));

  // Original place: an existing file is left alone without --overwrite and
  // replaced with it (the previous copy kept beside it as ".tmp").
  WriteFile(src / "y" / "two.txt", "local edit");
  fs::remove(src / "x" / "one.bin");
  TRun keep = Run({"restore", src.string()});
  ASSERT_EQ(keep.exitCode, 0) << keep.err;
  EXPECT_EQ(ReadFile(src / "y" / "two.txt"), "local edit");
  EXPECT_EQ(ReadFile(src / "x" / "one.bin"), original.at("x/one.bin"));

  TRun overwrite = Run({"restore", "--overwrite", src.string()});
  ASSERT_EQ(overwrite.exitCode, 0) << overwrite.err;
  EXPECT_EQ(ReadFile(src / "y" / "two.txt"), "two");
  EXPECT_EQ(ReadFile(src / "y" / "two.txt.tmp"), "local edit");
}

TEST_F(Cli, StoppedUploadResumesAtASegmentBoundaryOnTheNextRun) {
  const fs::path src = work / "big";
  const std::string content = Random(24 << 20, 3);
  WriteFile(src / "big.bin", content);
  // Standard pacing (10 ms per segment): stopped once the server has staged
  // part of the file.
  auto staged = [&] {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(server.DataDir() / "staging", ec))
      if (e.file_size(ec) >= 3 * 262144) return true;
    return false;
  };
  TRun stopped = Run({"backup", src.string()}, /*fast=*/false, staged);
  ASSERT_NE(stopped.err.find("stopping the task"), std::string::npos) << stopped.err;
  EXPECT_EQ(stopped.exitCode, 1) << stopped.err;
  EXPECT_EQ(CliSummary(stopped.err)["FileErrorCount"], 1);

  // The server holds part of it, on a segment boundary.
  TTestClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(client.Login("ann", "pw"));
  TQorPack check = MakeRequest(
      "TUpDown.Check",
      {{"UCode", "ann"}, {"TaskID", "1"}, {"TaskKind", "100"}, {"ObjectID", "1"},
       {"ObjectName", "big.bin"}, {"ObjectFolder", src.string()}, {"ObjectData", "-1"},
       {"ObjectCargo", ""}, {"ObjectCargo2", ""},
       {"ObjectSize", std::to_string(content.size())},
       {"ObjectDate", std::to_string(FileDateStamp((src / "big.bin").string(), false))},
       {"Position", "0"}, {"Action", "0"}});
  ASSERT_TRUE(client.CallOk(check));
  const std::int64_t resumeAt = check.FieldByName(1, "refPosition").AsInteger();
  EXPECT_GT(resumeAt, 0);
  EXPECT_LT(resumeAt, static_cast<std::int64_t>(content.size()));
  EXPECT_EQ(resumeAt % 262144, 0);

  TRun resumed = Run({"backup", src.string()});
  ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_EQ(CliSummary(resumed.err)["FileDoneCount"], 1);
  // The progress counts what moved, not the whole file.
  const double leftMB = static_cast<double>(content.size() - resumeAt) / (1 << 20);
  EXPECT_NEAR(LastMegabytes(resumed.err, " MB sent"), leftMB, 0.1) << resumed.err;

  TRun back = Run({"restore", "--to", (work / "back").string(), "--flat", src.string()});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(ReadFile(work / "back" / "big.bin"), content);
}

// An overwriting restore keeps the previous copy as "f.bin.tmp", two whole
// segments long; a later restore of the deleted target must not take that
// copy for a partial download of the newest version.
TEST_F(Cli, RestoreNeverResumesFromTheCopyAnOverwriteKept) {
  const fs::path src = work / "repro";
  const std::string first = Random(524288, 4), second = Random(1000000, 5);
  WriteFile(src / "f.bin", first);
  ASSERT_EQ(Run({"backup", src.string()}).exitCode, 0);
  std::this_thread::sleep_for(std::chrono::seconds(2));  // a new 2-second DOS stamp
  WriteFile(src / "f.bin", second);
  ASSERT_EQ(Run({"backup", src.string()}).exitCode, 0);
  WriteFile(src / "f.bin", first);

  TRun overwrite = Run({"restore", "--overwrite", (src / "f.bin").string()});
  ASSERT_EQ(overwrite.exitCode, 0) << overwrite.err;
  ASSERT_EQ(ReadFile(src / "f.bin"), second);
  ASSERT_EQ(ReadFile(src / "f.bin.tmp"), first);

  fs::remove(src / "f.bin");
  TRun again = Run({"restore", (src / "f.bin").string()});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(CliSummary(again.err)["FileDoneCount"], 1);
  EXPECT_EQ(CliSummary(again.err)["FileErrorCount"], 0);
  EXPECT_TRUE(ReadFile(src / "f.bin") == second) << "the restored file is not the stored version";
  EXPECT_NEAR(LastMegabytes(again.err, " MB received"), 1000000.0 / (1 << 20), 0.1);
}

// A daemon whose connections the server closed as idle runs a task an
// administrator assigned after its sign-in (SIGHUP reloads the list), due
// about 20 s after the sign-in.
TEST_F(Cli, DaemonRunsATaskAssignedLaterAfterItsIdleConnectionsWereClosed) {
  server.SetExtraArgs({"--idle-timeout", "5"});
  ASSERT_TRUE(server.Restart());
  const fs::path src = work / "daily";
  WriteFile(src / "ledger.txt", "ledger");

  TCliCall call;
  call.argv = {SOLVANE_CLI_BINARY, "--server", "127.0.0.1:" + std::to_string(server.Port()),
               "--user", "ann", "--fast", "daemon"};
  call.env = {{"XDG_CONFIG_HOME", (work / "config").string()}, {"SOLVANE_PASSWORD", "pw"}};
  std::string seen;
  const auto t0 = std::chrono::steady_clock::now();
  std::optional<std::chrono::steady_clock::time_point> signedIn;
  bool assigned = false;
  call.whileRunning = [&](int pid, const std::string& err) {
    seen = err;
    const auto now = std::chrono::steady_clock::now();
    if (!signedIn && err.find("running the scheduled tasks") != std::string::npos) signedIn = now;
    if (signedIn && !assigned && now - *signedIn >= std::chrono::seconds(7)) {
      // Due from 60 s before its start time on: about 20 s after the sign-in.
      auto added = server.Admin({"task", "add-default", "daily", "--kind", "100", "--folder",
                                 src.string(), "--delay", "5", "--periodical", "0:0:10", "--start",
                                 LocalTimeIn(std::chrono::seconds(73)), "--assign", "ann"});
      EXPECT_EQ(added.exitCode, 0) << added.err;
      ::kill(pid, SIGHUP);
      assigned = true;
    }
  };
  call.stopWhen = [&] {
    return seen.find("summary:") != std::string::npos ||
           std::chrono::steady_clock::now() - t0 > std::chrono::seconds(120);
  };
  TRun daemon = RunCliProcess(call, work);
  EXPECT_NE(daemon.err.find("task list reloaded: 1 tasks"), std::string::npos) << daemon.err;
  EXPECT_NE(daemon.err.find("(daily) started"), std::string::npos) << daemon.err;
  EXPECT_EQ(CliSummary(daemon.err)["FileDoneCount"], 1) << daemon.err;
  TRun ls = Run({"ls", src.string()});
  EXPECT_NE(ls.out.find("ledger.txt"), std::string::npos) << ls.out;
}

TEST_F(Cli, SyncMirrorsLocalDeletions) {
  const fs::path folder = work / "mirror";
  WriteFile(folder / "keep.txt", "keep");
  WriteFile(folder / "gone.txt", "gone");
  WriteFile(folder / "sub" / "d", "last file of sub");
  ASSERT_EQ(Run({"sync", folder.string()}).exitCode, 0);
  TRun ls1 = Run({"ls", "--kind", "200", folder.string()});
  EXPECT_NE(ls1.out.find("gone.txt"), std::string::npos) << ls1.out;
  const std::string dLine = "f " + (folder / "sub" / "d").string() + "\t";
  TRun lsSub1 = Run({"ls", "--kind", "200", (folder / "sub").string()});
  EXPECT_NE(lsSub1.out.find(dLine), std::string::npos) << lsSub1.out;

  fs::remove(folder / "gone.txt");
  fs::remove(folder / "sub" / "d");  // sub stays, empty
  TRun again = Run({"sync", folder.string()});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  TRun ls2 = Run({"ls", "--kind", "200", folder.string()});
  EXPECT_EQ(ls2.out.find("gone.txt"), std::string::npos) << ls2.out;
  EXPECT_NE(ls2.out.find("keep.txt"), std::string::npos) << ls2.out;
  EXPECT_NE(ls2.out.find("sub"), std::string::npos) << ls2.out;
  TRun lsSub2 = Run({"ls", "--kind", "200", (folder / "sub").string()});
  ASSERT_EQ(lsSub2.exitCode, 0) << lsSub2.err;
  EXPECT_EQ(lsSub2.out.find(dLine), std::string::npos) << "the emptied folder is mirrored: "
                                                         << lsSub2.out;
}

TEST_F(Cli, ErrorsAreClearMessagesWithUsageExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  };
  const Case cases[] = {
      {{"frobnicate"}, 2, "unknown command"},
      {{"backup"}, 2, "needs at least one path"},
      {{"backup", (work / "missing").string()}, 2, "does not exist"},
      {{"restore", "--flat", "/x"}, 2, "--flat needs --to"},
      {{"run", "12345"}, 2, "no task 12345"},
      {{"ls", "/nowhere"}, 1, "could not list"},
  };
  for (const auto& c : cases) {
    TRun r = Run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

TEST_F(Cli, UnreachableServerAndRefusedSignInAreToldApart) {
  struct Case {
    const char* what;
    std::string server;
    std::string password;
    int exitCode;
    const char* says;
  };
  const std::string here = "127.0.0.1:" + std::to_string(server.Port());
  const Case cases[] = {
      // Nothing listens on port 1 of this machine.
      {"no server", "127.0.0.1:1", "pw", 3, "cannot be reached"},
      {"wrong password", here, "not-pw", 4, "refused the sign-in of ann"},
  };
  for (const Case& c : cases) {
    TCliCall call;
    call.argv = {SOLVANE_CLI_BINARY, "--server", c.server, "--user", "ann", "tasks"};
    call.env = {{"XDG_CONFIG_HOME", (work / "config").string()}, {"SOLVANE_PASSWORD", c.password}};
    const TRun r = RunCliProcess(call, work);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << r.err;
  }
}

}  // namespace
}  // namespace solvane::testing
