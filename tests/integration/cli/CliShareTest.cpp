// solvane-cli share ls|put|get end to end against the real server: a large
// file round-trips byte-identical; a protected folder takes its password from
// the option, the environment or standard input, and a wrong one moves
// nothing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "EngineTestSupport.h"
#include "CliProcess.h"
#include "ServerProcess.h"
#include "ShareCalls.h"

#ifndef SOLVANE_CLI_BINARY
#error "SOLVANE_CLI_BINARY must name the command-line client"
#endif

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;
using enginetest::PatternBytes;
using enginetest::ReadFile;
using enginetest::WriteFile;

using TRun = TCliRun;

struct TCall {
  std::vector<std::string> args;
  std::string user = "bob";
  std::string stdinText;    // what standard input holds (a file, not a terminal)
  std::string envPassword;  // SOLVANE_SHARE_PASSWORD; unset when empty
};

class CliShare : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw", {"--space", "200"});
    server.AddUser("bob", "pw", {"--space", "200"});
    ASSERT_TRUE(ann.Connect(server.Port()));
    ASSERT_TRUE(ann.Login("ann", "pw"));
    work = server.DataDir().parent_path() / "work";
    fs::create_directories(work / "config");
  }

  // Runs solvane-cli (fast pacing) with its settings, input and output
  // under the test folder.
  TRun Run(const TCall& call) {
    TCliCall run;
    run.argv = {SOLVANE_CLI_BINARY, "--server", "127.0.0.1:" + std::to_string(server.Port()),
                "--user", call.user, "--fast"};
    run.argv.insert(run.argv.end(), call.args.begin(), call.args.end());
    run.env = {{"XDG_CONFIG_HOME", (work / "config").string()},
               {"SOLVANE_PASSWORD", "pw"},
               {"SOLVANE_SHARE_PASSWORD", call.envPassword}};
    run.stdinText = call.stdinText;
    return RunCliProcess(run, work);
  }

  TServerProcess server;
  TTestClient ann;
  fs::path work;
};

TEST_F(CliShare, FiftyMebibyteFileRoundTripsThroughSharePutAndGet) {
  const std::int64_t folder = InsertFolder(ann, "ann", 0, "exchange");
  ASSERT_GT(folder, 0);
  const std::string id = std::to_string(folder);
  const std::string content = PatternBytes(50u << 20, 50);
  const std::string original = (work / "big.bin").string();
  WriteFile(original, content);

  TRun put = Run({{"share", "put", id, original}});
  ASSERT_EQ(put.exitCode, 0) << put.err;
  EXPECT_NE(put.err.find("FileDoneCount=1"), std::string::npos) << put.err;

  TRun folders = Run({{"share", "ls"}});
  ASSERT_EQ(folders.exitCode, 0) << folders.err;
  EXPECT_EQ(folders.out.find(id + "\texchange\tann\topen\twritable"), 0u) << folders.out;

  TRun files = Run({{"share", "ls", id}});
  ASSERT_EQ(files.exitCode, 0) << files.err;
  EXPECT_EQ(files.out.find("big.bin\t52,428,800\t20"), 0u) << files.out;

  const fs::path into = work / "downloads";
  TRun get = Run({{"share", "get", id, "big.bin", into.string()}});
  ASSERT_EQ(get.exitCode, 0) << get.err;
  EXPECT_TRUE(ReadFile((into / "big.bin").string()) == content) << "not byte-identical";
  EXPECT_FALSE(fs::exists(into / "big.bin.tmp"));
}

TEST_F(CliShare, ProtectedFolderTakesItsPasswordFromOptionEnvironmentOrInput) {
  const std::int64_t folder = InsertFolder(ann, "ann", 0, "private", false, "s3cret");
  ASSERT_GT(folder, 0);
  const std::string id = std::to_string(folder);
  const std::string file = (work / "f.txt").string();
  WriteFile(file, "payload");

  struct TCase {
    const char* what;
    TCall call;
    int exitCode;
    const char* message;  // in stderr
    std::size_t filesAfter;
  };
  const TCase cases[] = {
      {"wrong password: refused, nothing sent",
       {{"share", "put", id, file, "--share-password", "wrong"}},
       2,
       "wrong password for share folder",
       0},
      {"no password anywhere", {{"share", "put", id, file}}, 2, "no password was given", 0},
      {"from the environment", {{"share", "put", id, file}, "bob", "", "s3cret"}, 0, "", 1},
      {"one line of standard input", {{"share", "ls", id}, "bob", "s3cret\n"}, 0, "", 1},
      {"the owner needs none", {{"share", "ls", id}, "ann"}, 0, "", 1},
      {"usage", {{"share", "get", id, "f.txt"}}, 2, "share get takes", 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TRun r = Run(c.call);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(SelectFiles(ann, folder).rows.size(), c.filesAfter);
  }
  TRun listed = Run({{"share", "ls", id, "--share-password", "s3cret"}});
  EXPECT_EQ(listed.out.find("f.txt\t7\t"), 0u) << listed.out;

  // A file of that name in the chosen folder is replaced; its copy is kept.
  const fs::path into = work / "into";
  fs::create_directories(into);
  WriteFile((into / "f.txt").string(), "old");
  TRun get = Run({{"share", "get", id, "f.txt", into.string(), "--share-password", "s3cret"}});
  ASSERT_EQ(get.exitCode, 0) << get.err;
  EXPECT_EQ(ReadFile((into / "f.txt").string()), "payload");
  EXPECT_EQ(ReadFile((into / "f.txt.tmp").string()), "old");
  EXPECT_NE(get.err.find("previous copy is kept as " + (into / "f.txt.tmp").string()),
            std::string::npos)
      << get.err;
}

}  // namespace
}  // namespace solvane::testing
