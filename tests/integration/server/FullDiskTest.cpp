// The data directory's file system runs full: uploads are refused, while
// sign-in, listing and downloads of what is stored go on; once space is
// freed uploads resume, and nothing stored is lost. The data directory sits
// on a small tmpfs, which needs the right to mount (root in CI).

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "CliProcess.h"
#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;

#ifndef SOLVANE_CLI_BINARY
#error "SOLVANE_CLI_BINARY must name the command-line client"
#endif

// solvane-cli as user u1, its settings in `work`.
TCliRun Cli(const TServerProcess& server, const fs::path& work, std::vector<std::string> args) {
  TCliCall call;
  call.argv = {SOLVANE_CLI_BINARY, "--server", "127.0.0.1:" + std::to_string(server.Port()),
               "--user",           "u1",       "--fast"};
  call.argv.insert(call.argv.end(), args.begin(), args.end());
  call.env = {{"XDG_CONFIG_HOME", (work / "config").string()}, {"SOLVANE_PASSWORD", "pw1"}};
  return RunCliProcess(call, work);
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A tmpfs of `size` mounted on a fresh folder for the fixture's life.
class TSmallFileSystem {
 public:
  explicit TSmallFileSystem(const std::string& size) {
    std::random_device rd;
    m_root = fs::temp_directory_path() / ("solvane-full-" + std::to_string(rd()));
    fs::create_directories(m_root);
    const std::string options = "size=" + size;
    if (::mount("tmpfs", m_root.c_str(), "tmpfs", 0, options.c_str()) == 0)
      m_mounted = true;
    else
      m_error = std::strerror(errno);
  }
  ~TSmallFileSystem() {
    if (m_mounted) ::umount2(m_root.c_str(), MNT_DETACH);
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  bool Mounted() const { return m_mounted; }
  const std::string& Error() const { return m_error; }
  const fs::path& Root() const { return m_root; }

  // Writes a filler file until the file system is full.
  void Fill() {
    std::ofstream out(m_root / "filler", std::ios::binary);
    const std::string block(64 * 1024, 'f');
    while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) out.flush();
  }
  void Free() { fs::remove(m_root / "filler"); }

 private:
  fs::path m_root;
  bool m_mounted = false;
  std::string m_error;
};

TEST(ServerFullDisk, UploadsAreRefusedWhileEverythingElseGoesOn) {
  TSmallFileSystem disk("24m");
  if (!disk.Mounted())
    GTEST_SKIP() << "cannot mount a tmpfs here (" << disk.Error() << "); run as root";
  TServerProcess server(disk.Root() / "srv");
  ASSERT_TRUE(server.Start());
  server.AddUser("u1", "pw1");
  TTestClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(client.Login("u1", "pw1"));
  const std::vector<TFileSpec> stored = {{"u1", 100, "C:/docs", "a.bin", Bytes(300000, 1)},
                                         {"u1", 100, "C:/docs", "b.txt", "small"}};
  for (const auto& f : stored) Backup(client, f);
  // The client's own restore runs a download task, whose run is reported.
  const fs::path work =
      fs::temp_directory_path() / ("solvane-full-work-" + std::to_string(server.Port()));
  WriteFile(work / "src" / "c.txt", "restored by the client");
  ASSERT_EQ(Cli(server, work, {"backup", (work / "src").string()}).exitCode, 0);

  disk.Fill();
  // Long enough for anything written lazily to come due (the fault showed
  // after about a second).
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  TFileSpec fresh{"u1", 100, "C:/docs", "new.bin", Bytes(400000, 2)};
  const int refused = UploadSegment(client, fresh, 0, 2);
  EXPECT_TRUE(refused == 9 || refused == 10) << "ErrNo " << refused;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    TTestClient other;
    ASSERT_TRUE(other.Connect(server.Port()));
    ASSERT_TRUE(other.Login("u1", "pw1")) << "sign-in needs no space";
    TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
    EXPECT_TRUE(other.CallOk(one));
    EXPECT_EQ(Show(other, "u1", 100, "C:/docs").Brief().size(), 2u);
    for (const auto& f : stored) EXPECT_EQ(Restore(other, f), f.content) << f.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  }
  TCliRun restore =
      Cli(server, work,
          {"restore", "--to", (work / "back").string(), "--flat", (work / "src").string()});
  EXPECT_EQ(restore.exitCode, 0) << restore.err;
  EXPECT_EQ(ReadFile(work / "back" / "c.txt"), "restored by the client");
  fs::remove_all(work);

  disk.Free();
  Backup(client, fresh);
  ASSERT_TRUE(server.Restart());
  TTestClient after;
  ASSERT_TRUE(after.Connect(server.Port()));
  ASSERT_TRUE(after.Login("u1", "pw1"));
  for (const auto& f : stored) EXPECT_EQ(Restore(after, f), f.content) << f.name;
  EXPECT_EQ(Restore(after, fresh), fresh.content);
}

}  // namespace
}  // namespace solvane::testing
