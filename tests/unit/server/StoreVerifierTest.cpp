#include "StoreValue.h"
#include "storage/StoreVerifier.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "../platform/TempFolder.h"
#include "storage/DataDirectory.h"
#include "storage/FileStore.h"
#include "storage/VerifySchedule.h"

namespace solvane::server {
namespace {

namespace fs = std::filesystem;

class StoreVerifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Statement(dir.Db(), "INSERT INTO users(code, pwd_hash, space_mb) VALUES('u', '-', 100)").Run();
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      versions[name] = Store(name, std::string("contents of ") + name + std::string(5000, 'x'));
  }
  TVersion Store(const std::string& name, const std::string& content) {
    TUploadSegment s{store, "C:/d", name, static_cast<std::int64_t>(content.size()),
                     946164070, 0, content};
    EXPECT_EQ(files.Upload(s), UploadOutcome::kStored);
    return *Must(files.NewestVersion(store, "C:/d", name));
  }
  fs::path BlobFile(const std::string& name) { return dir.Blobs().PathOf(versions[name].sha256); }
  // A file the store does not know, old enough not to be an upload in flight.
  fs::path PlantOrphan(const std::string& content) {
    const fs::path file = dir.Blobs().PathOf(Sha256Hex(content));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(2));
    return file;
  }
  TVerifyReport Verify(TVerifyOptions options = {}) {
    return VerifyStore(dir.Db(), dir.Blobs(), options);
  }

  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  TFileStore files{dir.Db(), dir.Blobs(), dir.Staging()};
  TStoreRef store{"u", 100};
  std::map<std::string, TVersion> versions;
};

TEST_F(StoreVerifierTest, CleanStoreVerifiesCleanWithEveryBlobRehashed) {
  const TVerifyReport r = Verify();
  EXPECT_FALSE(r.Damaged());
  EXPECT_EQ(r.versions, 4u);
  EXPECT_EQ(r.blobsUsed, 4u);
  EXPECT_EQ(r.blobsHashed, 4u);
  EXPECT_EQ(r.blobFiles, 4u);
  EXPECT_TRUE(r.problems.empty() && r.orphans.empty() && r.databaseProblems.empty());
  std::ostringstream text;
  WriteVerifyReport(r, text);
  EXPECT_NE(text.str().find("verify clean: 4 versions"), std::string::npos) << text.str();
}

// Each damage is found, named by its blob file and by the user, path and
// version that lose their contents.
TEST_F(StoreVerifierTest, EachInjectedDamageIsReportedWithItsFileAndVersion) {
  struct TCase {
    const char* what;
    std::function<void(const fs::path&)> damage;
    BlobDamage expected;
  };
  const std::vector<TCase> cases = {
      {"flipped byte",
       [](const fs::path& f) {
         std::fstream io(f, std::ios::in | std::ios::out | std::ios::binary);
         io.seekp(100);
         io.put('X' ^ 0x01);
       },
       BlobDamage::kWrongHash},
      {"missing blob", [](const fs::path& f) { fs::remove(f); }, BlobDamage::kMissing},
      {"truncated blob", [](const fs::path& f) { fs::resize_file(f, 1000); },
       BlobDamage::kWrongSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "b.txt";
    const fs::path file = BlobFile(name);
    const std::string good = [&] {
      std::ifstream in(file, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    c.damage(file);
    const TVerifyReport r = Verify();
    EXPECT_TRUE(r.Damaged());
    ASSERT_EQ(r.problems.size(), 1u);
    const TBlobProblem& p = r.problems[0];
    EXPECT_EQ(p.damage, c.expected);
    EXPECT_EQ(p.file, file);
    ASSERT_EQ(p.uses.size(), 1u);
    EXPECT_EQ(p.uses[0].user, "u");
    EXPECT_EQ(p.uses[0].path, "C:/d/b.txt");
    EXPECT_EQ(p.uses[0].versionId, versions[name].id);
    std::ostringstream text;
    WriteVerifyReport(r, text);
    EXPECT_NE(text.str().find(file.string()), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("user u, backup store, C:/d/b.txt, version " +
                              std::to_string(versions[name].id)),
              std::string::npos)
        << text.str();
    std::ofstream(file, std::ios::binary) << good;  // healed for the next case
  }
  EXPECT_FALSE(Verify().Damaged());
}

TEST_F(StoreVerifierTest, SampleRehashesAShareButSizesAreCheckedForEveryBlob) {
  TVerifyOptions half;
  half.samplePercent = 50;
  EXPECT_EQ(Verify(half).blobsHashed, 2u);

  fs::resize_file(BlobFile("a.txt"), 10);
  TVerifyOptions tiny;
  tiny.samplePercent = 1;
  const TVerifyReport r = Verify(tiny);
  EXPECT_LE(r.blobsHashed, 1u);
  ASSERT_EQ(r.problems.size(), 1u) << "found whether or not a.txt was in the sample";
  EXPECT_EQ(r.problems[0].damage, BlobDamage::kWrongSize);
}

TEST_F(StoreVerifierTest, BlobSharedByTwoUsersNamesBoth) {
  Statement(dir.Db(), "INSERT INTO users(code, pwd_hash, space_mb) VALUES('w', '-', 100)").Run();
  const std::string same = std::string("contents of c.txt") + std::string(5000, 'x');
  TUploadSegment s{{"w", 200}, "/home/w", "copy.txt", static_cast<std::int64_t>(same.size()),
                   946164070, 0, same};
  ASSERT_EQ(files.Upload(s), UploadOutcome::kStored);
  fs::remove(BlobFile("c.txt"));
  const TVerifyReport r = Verify();
  ASSERT_EQ(r.problems.size(), 1u);
  ASSERT_EQ(r.problems[0].uses.size(), 2u);
  EXPECT_EQ(r.problems[0].uses[1].user, "w");
  EXPECT_EQ(r.problems[0].uses[1].path, "/home/w/copy.txt");
  EXPECT_EQ(r.problems[0].uses[1].kind, 200);
}

TEST_F(StoreVerifierTest, OrphanIsReportedAndRepairMovesOnlyIt) {
  const fs::path orphan = PlantOrphan("nobody stores this");
  TVerifyReport r = Verify();
  EXPECT_TRUE(r.Damaged());
  ASSERT_EQ(r.orphans.size(), 1u);
  EXPECT_EQ(r.orphans[0].file, orphan);
  EXPECT_TRUE(fs::exists(orphan)) << "reported, not moved, without --repair";

  TVerifyOptions repair;
  repair.repair = true;
  r = Verify(repair);
  ASSERT_EQ(r.orphans.size(), 1u);
  EXPECT_FALSE(r.Damaged()) << "the only fault was repaired";
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(fs::exists(r.orphans[0].movedTo));
  EXPECT_EQ(r.orphans[0].movedTo.parent_path().parent_path().filename(), "quarantine");
  for (const auto& [name, v] : versions) EXPECT_TRUE(fs::exists(BlobFile(name))) << name;
  r = Verify();
  EXPECT_FALSE(r.Damaged());
  EXPECT_TRUE(r.orphans.empty());
}

TEST_F(StoreVerifierTest, RepairMovesAnUnusedBlobWithItsRowButNeverAReferencedOne) {
  // A blob left behind by a deleted version: file and row, no version.
  const fs::path leftover = PlantOrphan("left behind");
  Statement(dir.Db(), "INSERT INTO blobs(sha256, size) VALUES(?, 11)")
      .Bind(1, Sha256Hex("left behind"))
      .Run();
  fs::remove(BlobFile("d.txt"));  // damage repair must leave alone
  TVerifyOptions repair;
  repair.repair = true;
  const TVerifyReport r = Verify(repair);
  EXPECT_TRUE(r.Damaged()) << "the missing blob stays a fault";
  ASSERT_EQ(r.orphans.size(), 1u);
  EXPECT_FALSE(fs::exists(leftover));
  Statement row(dir.Db(), "SELECT COUNT(*) FROM blobs WHERE sha256 = ?");
  row.Bind(1, Sha256Hex("left behind"));
  ASSERT_TRUE(row.Step());
  EXPECT_EQ(row.Int(0), 0);
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_TRUE(fs::exists(BlobFile(name)));
}

TEST_F(StoreVerifierTest, FreshUnknownFileIsAnUploadInFlightNotAnOrphan) {
  const fs::path file = PlantOrphan("arriving");
  fs::last_write_time(file, fs::file_time_type::clock::now());
  EXPECT_TRUE(Verify().orphans.empty());
  TVerifyOptions noGrace;
  noGrace.orphanGrace = std::chrono::seconds(0);
  EXPECT_EQ(Verify(noGrace).orphans.size(), 1u);
}

TEST_F(StoreVerifierTest, MissingBlobRowIsAnInconsistentRecord) {
  Statement(dir.Db(), "PRAGMA foreign_keys=OFF").Run();
  Statement(dir.Db(), "DELETE FROM blobs WHERE sha256 = ?").Bind(1, versions["a.txt"].sha256).Run();
  const TVerifyReport r = Verify();
  bool unrecorded = false;
  for (const auto& p : r.problems) unrecorded |= p.damage == BlobDamage::kUnrecorded;
  EXPECT_TRUE(unrecorded);
  EXPECT_TRUE(r.Damaged());
}

TEST_F(StoreVerifierTest, ScheduleLogsEachRunAndStopsPromptly) {
  fs::remove(BlobFile("a.txt"));
  std::mutex mutex;
  std::string text;
  {
    TVerifySchedule schedule(dir.Db(), dir.Blobs(), std::chrono::milliseconds(50),
                             [&](const std::string& lines) {
                               std::lock_guard lock(mutex);
                               text += lines;
                             });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::lock_guard lock(mutex);
      if (!text.empty()) break;
    }
  }
  std::lock_guard lock(mutex);
  EXPECT_NE(text.find("scheduled missing: blob " + BlobFile("a.txt").string()), std::string::npos)
      << text;
  EXPECT_NE(text.find("scheduled verify found damage"), std::string::npos) << text;
}

}  // namespace
}  // namespace solvane::server
