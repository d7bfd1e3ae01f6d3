// `solvane-server admin verify` as an administrator runs it, and admin
// commands run by root against a data directory owned by the service account.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ServerProcess.h"
#include "storage/DataDirectory.h"
#include "storage/FileStore.h"

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace solvane::server;

class AdminVerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TDataDirectory dir(server.DataDir());
    Statement(dir.Db(), "INSERT INTO users(code, pwd_hash, space_mb) VALUES('u', '-', 100)").Run();
    TFileStore files(dir.Db(), dir.Blobs(), dir.Staging());
    const std::string content = "quarterly figures";
    TUploadSegment s{{"u", 100}, "C:/docs", "q.xls", static_cast<std::int64_t>(content.size()),
                     946164070, 0, content};
    ASSERT_EQ(files.Upload(s), UploadOutcome::kStored);
    blob = dir.Blobs().PathOf(Sha256Hex(content));
    orphan = dir.Blobs().PathOf(Sha256Hex("stray"));
  }

  // A blob file no version uses, older than an upload in flight would be.
  void PlantOrphan() {
    fs::create_directories(orphan.parent_path());
    std::ofstream(orphan, std::ios::binary) << "stray";
    fs::last_write_time(orphan, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }

  TServerProcess server;
  fs::path blob, orphan;
};

TEST_F(AdminVerifyTest, ExitStatusFollowsDamageAndRepairMovesTheOrphanAside) {
  auto r = server.Admin({"verify"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("verify clean: 1 versions"), std::string::npos) << r.out;

  PlantOrphan();
  { std::fstream(blob, std::ios::in | std::ios::out | std::ios::binary).put('Q'); }
  r = server.Admin({"verify", "--repair"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("damaged: blob " + blob.string()), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("user u, backup store, C:/docs/q.xls, version 1"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("unused: blob file " + orphan.string()), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(fs::exists(blob)) << "a damaged blob some version uses stays";
  EXPECT_TRUE(fs::exists(server.DataDir() / "quarantine" / orphan.parent_path().filename() /
                         orphan.filename()));
}

TEST_F(AdminVerifyTest, BadSampleIsAUsageError) {
  for (const char* bad : {"0", "101", "ten", ""}) {
    auto r = server.Admin({"verify", "--sample", bad});
    EXPECT_EQ(r.exitCode, 2) << bad;
    EXPECT_NE(r.err.find("--sample"), std::string::npos) << r.err;
  }
  EXPECT_EQ(server.Admin({"verify", "--sample", "12.5"}).exitCode, 0);
  EXPECT_EQ(server.Admin({"verify", "extra"}).exitCode, 2);
}

// The package's service runs as its own account; root's admin commands must
// leave every file they create usable by it.
TEST_F(AdminVerifyTest, RootActsAsTheOwnerOfTheDataDirectory) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  const uid_t nobody = 65534;
  for (const auto& e : fs::recursive_directory_iterator(server.DataDir()))
    ASSERT_EQ(::chown(e.path().c_str(), nobody, nobody), 0);
  ASSERT_EQ(::chown(server.DataDir().c_str(), nobody, nobody), 0);
  fs::permissions(server.DataDir().parent_path(), fs::perms::others_exec, fs::perm_options::add);
  fs::remove(server.DataDir() / "solvane.db-wal");
  fs::remove(server.DataDir() / "solvane.db-shm");

  PlantOrphan();
  ASSERT_EQ(::chown(orphan.c_str(), nobody, nobody), 0);
  ASSERT_EQ(::chown(orphan.parent_path().c_str(), nobody, nobody), 0);
  auto r = server.Admin({"verify", "--repair"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  server.AddUser("clerk", "pw123456");
  for (const auto& e : fs::recursive_directory_iterator(server.DataDir())) {
    struct stat st {};
    ASSERT_EQ(::lstat(e.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody) << e.path();
  }
  EXPECT_TRUE(fs::exists(server.DataDir() / "quarantine"));
}

}  // namespace
}  // namespace solvane::testing
