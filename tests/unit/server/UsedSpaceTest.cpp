// The running total of each user's bytes (schema version 2): kept equal to
// the sum over his versions by every change of the stores, and filled from
// the versions already stored when a version-1 database is opened.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "StoreValue.h"
#include "../platform/TempFolder.h"
#include "handlers/ShareStore.h"
#include "storage/DataDirectory.h"
#include "storage/FileStore.h"
#include "storage/Schema.h"

namespace solvane::server {
namespace {

constexpr std::int64_t kDate = 946164070;

// What the running total must equal: the versions of every object of the
// user, recycle bin included, summed afresh.
std::int64_t SumOverVersions(Database& db, const std::string& user) {
  auto lock = db.Lock();
  Statement st(db,
               "SELECT COALESCE(SUM(v.size), 0) FROM versions v "
               "JOIN objects o ON o.id = v.object_id WHERE o.user_code = ?");
  st.Bind(1, user);
  return st.Step() ? st.Int(0) : -1;
}

class UsedSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Statement(dir.Db(),
              "INSERT INTO users(code, pwd_hash, space_mb) VALUES('u', '-', 100), ('v', '-', 100)")
        .Run();
  }
  UploadOutcome Store(const TStoreRef& store, const std::string& folder, const std::string& name,
                      const std::string& content, std::int64_t date = kDate) {
    TUploadSegment s{store, folder, name,   static_cast<std::int64_t>(content.size()),
                     date,  0,      content};
    return files.Upload(s);
  }
  TTrashSelector Latest(const std::string& folder, const std::string& name, bool isFolder) {
    return {folder, name, isFolder, -1, -1};
  }

  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  TFileStore files{dir.Db(), dir.Blobs(), dir.Staging()};
  TStoreRef backup{"u", kBackupStore};
  TStoreRef mail{"u", kMailStore};
};

TEST_F(UsedSpaceTest, TotalFollowsEveryKindOfChange) {
  const std::string a1(100, 'a'), a2(250, 'b'), a3(40, 'c');
  TShareFolder share{0, 0, "docs", "u"};
  share.id = *InsertShareFolder(dir.Db(), share);
  const std::string shareFolder = ShareStoreFolder(share.id);

  struct TStep {
    const char* what;
    std::function<bool()> change;
    std::int64_t deltaU, deltaV;
  };
  const std::vector<TStep> steps = {
      {"upload", [&] { return Store(backup, "C:/d", "a", a1) == UploadOutcome::kStored; }, 100, 0},
      {"second version",
       [&] { return Store(backup, "C:/d", "a", a2, kDate + 2) == UploadOutcome::kStored; }, 250, 0},
      {"identical re-upload adds no version",
       [&] { return Store(backup, "C:/d", "a", a2, kDate + 2) == UploadOutcome::kStored; }, 0, 0},
      {"empty file", [&] { return Store(backup, "C:/d", "e", "") == UploadOutcome::kStored; }, 0,
       0},
      {"mail upload",
       [&] {
         TUploadSegment s{mail, "/3",      "m.eml", 70, kDate, 0, std::string(70, 'm'),
                          5,    "subject", "from"};
         return files.Upload(s) == UploadOutcome::kStored;
       },
       70, 0},
      {"folder deleted to the bin", [&] { return Must(files.MoveToTrash(backup, "C:", "d", true)); }, 0,
       0},
      {"upload at the deleted path",
       [&] { return Store(backup, "C:/d", "a", a3, kDate + 4) == UploadOutcome::kStored; }, 40, 0},
      {"revert joins the live file's history",
       [&] { return Must(files.RevertTrash(backup, Latest("C:", "d", true))); }, 0, 0},
      {"file with three versions removed from the bin",
       [&] {
         return Must(files.MoveToTrash(backup, "C:/d", "a", false)) &&
                Must(files.PurgeTrash(backup, Latest("C:/d", "a", false)));
       },
       -390, 0},
      {"mail message removed from the bin",
       [&] {
         return Must(files.MoveToTrash(mail, "/3", "m.eml", false)) &&
                Must(files.PurgeTrash(mail, Latest("/3", "m.eml", false)));
       },
       -70, 0},
      {"share uploads",
       [&] {
         return Store(ShareStoreOf(share), shareFolder, "s1", std::string(300, 's')) ==
                    UploadOutcome::kStored &&
                Store(ShareStoreOf(share), shareFolder, "s2", std::string(20, 't')) ==
                    UploadOutcome::kStored;
       },
       320, 0},
      {"share folder handed to another user",
       [&] {
         Transaction tx(dir.Db());
         share.owner = "v";
         if (!UpdateShareFolder(dir.Db(), share).Ok()) return false;
         tx.Commit();
         return true;
       },
       -320, 320},
      {"share file deleted", [&] { return Must(RemoveShareFile(files, share, "s1")); }, 0, -300},
      {"share folder removed with its files",
       [&] {
         Must(PurgeShareFiles(files, share));
         return true;
       },
       0, -20},
  };

  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    const std::int64_t u = UsedBytes(dir.Db(), "u"), v = UsedBytes(dir.Db(), "v");
    ASSERT_TRUE(step.change());
    EXPECT_EQ(UsedBytes(dir.Db(), "u") - u, step.deltaU);
    EXPECT_EQ(UsedBytes(dir.Db(), "v") - v, step.deltaV);
    EXPECT_EQ(UsedBytes(dir.Db(), "u"), SumOverVersions(dir.Db(), "u"));
    EXPECT_EQ(UsedBytes(dir.Db(), "v"), SumOverVersions(dir.Db(), "v"));
  }
  EXPECT_EQ(UsedBytes(dir.Db(), "u"), 0);
  EXPECT_EQ(UsedBytes(dir.Db(), "v"), 0);
}

TEST_F(UsedSpaceTest, QuotaCountsTheBinAndRefusesWhatDoesNotFit) {
  Statement(dir.Db(), "UPDATE users SET space_mb = 1 WHERE code = 'u'").Run();
  const std::int64_t mb = 1 << 20;
  ASSERT_EQ(Store(backup, "C:/d", "a", std::string(mb - 100, 'a')), UploadOutcome::kStored);
  EXPECT_FALSE(Must(files.WouldExceedQuota("u", 100)));
  EXPECT_TRUE(Must(files.WouldExceedQuota("u", 101)));
  EXPECT_EQ(Store(backup, "C:/d", "b", std::string(101, 'b')), UploadOutcome::kQuotaExceeded);
  ASSERT_TRUE(Must(files.MoveToTrash(backup, "C:/d", "a", false)));
  EXPECT_EQ(Store(backup, "C:/d", "b", std::string(101, 'b')), UploadOutcome::kQuotaExceeded)
      << "the recycle bin still counts";
  EXPECT_EQ(Store(backup, "C:/d", "b", std::string(100, 'b')), UploadOutcome::kStored);
  ASSERT_TRUE(Must(files.PurgeTrash(backup, Latest("C:/d", "a", false))));
  EXPECT_EQ(Store(backup, "C:/d", "c", std::string(mb - 100, 'c')), UploadOutcome::kStored);

  Statement(dir.Db(), "UPDATE users SET space_mb = 0 WHERE code = 'u'").Run();
  EXPECT_TRUE(Must(files.WouldExceedQuota("u", 1))) << "no space at all";
}

// A database as schema version 1 left it: the version-1 tables and some rows.
class VersionOneDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(file.c_str(), &m_raw), SQLITE_OK);
    for (const SchemaGroup& g : AllSchemaGroups()) Exec(g.ddl);
    Exec("PRAGMA user_version=1");
    Exec(R"SQL(
      INSERT INTO users(code, pwd_hash, space_mb) VALUES('a', '-', 1), ('b', '-', 1), ('c', '-', 1);
      INSERT INTO blobs VALUES('h1', 1000), ('h2', 2000), ('h3', 3000);
      INSERT INTO trash(id, user_code, kind, is_folder, folder, name, size, object_date)
        VALUES(1, 'a', 100, 0, 'C:', 'gone', 3000, 0);
      INSERT INTO objects(id, user_code, kind, folder, name, is_folder, trash_id) VALUES
        (1, 'a', 100, '', 'C:', 1, NULL), (2, 'a', 100, 'C:', 'x', 0, NULL),
        (3, 'a', 100, 'C:', 'gone', 0, 1), (4, 'b', 171, '/1', 'y', 0, NULL);
      INSERT INTO versions(object_id, size, object_date, sha256, stored_dos) VALUES
        (2, 1000, 0, 'h1', 0), (2, 2000, 0, 'h2', 0), (3, 3000, 0, 'h3', 0), (4, 2000, 0, 'h2', 0);
    )SQL");
  }
  void TearDown() override { sqlite3_close(m_raw); }
  void Exec(const char* sql) {
    ASSERT_EQ(sqlite3_exec(m_raw, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(m_raw);
  }
  int RawVersion() {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(m_raw, "PRAGMA user_version", -1, &st, nullptr);
    const int v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return v;
  }

  test::TTempFolder temp;
  std::string file = temp / "solvane.db";
  sqlite3* m_raw = nullptr;
};

TEST_F(VersionOneDatabase, OpeningFillsTheTotalsFromTheStoredVersions) {
  {
    Database db(file);
    EXPECT_EQ(db.SchemaVersion(), AllSchemaMigrations().back().version);
    EXPECT_EQ(UsedBytes(db, "a"), 6000) << "live versions and the recycle bin";
    EXPECT_EQ(UsedBytes(db, "b"), 2000);
    EXPECT_EQ(UsedBytes(db, "c"), 0);
    // From now on every change keeps the total.
    Statement(db, "DELETE FROM objects WHERE trash_id = 1").Run();
    EXPECT_EQ(UsedBytes(db, "a"), 3000);
  }
  Database again(file);
  EXPECT_EQ(again.SchemaVersion(), AllSchemaMigrations().back().version);
  EXPECT_EQ(UsedBytes(again, "a"), 3000) << "filled once, not again on the next open";
  EXPECT_EQ(UsedBytes(again, "b"), 2000);
}

TEST_F(VersionOneDatabase, FailedMigrationLeavesVersionOneUntouched) {
  // A trigger of the same name makes the step fail after its table, its
  // totals and its first triggers were made.
  Exec("CREATE TRIGGER used_space_object_removed AFTER INSERT ON blobs BEGIN SELECT 1; END");
  EXPECT_THROW(Database db(file), DatabaseError);
  EXPECT_EQ(RawVersion(), 1);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(
      sqlite3_prepare_v2(m_raw, "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'used_space%'",
                         -1, &st, nullptr),
      SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 1) << "only the trigger that was in the way";
  sqlite3_finalize(st);
}

// Version 3 rebuilds the run tables without the unique run key; the runs
// and what they logged must come through whole.
TEST_F(VersionOneDatabase, OpeningKeepsTheRunLogsAndLetsAKeyNameTwoRuns) {
  Exec(R"SQL(
    INSERT INTO runs(id, user_code, task_id, session_id, task_name, stopped_at, file_done_count)
      VALUES(7, 'a', 5, 9, 'nightly', 'x', 3);
    INSERT INTO run_objects(run, kind, folder, name, size, object_date) VALUES(7, 100, 'C:', 'f', 1, 0);
    INSERT INTO run_errors(run, object_name, object_folder) VALUES(7, 'g', 'C:');
  )SQL");
  Database db(file);
  auto count = [&](const char* sql) {
    Statement st(db, sql);
    return st.Step() ? st.Int(0) : -1;
  };
  EXPECT_EQ(count("SELECT file_done_count FROM runs WHERE id = 7 AND task_name = 'nightly'"), 3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM run_objects WHERE run = 7"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM run_errors WHERE run = 7"), 1);
  Statement(db, "INSERT INTO runs(user_code, task_id, session_id) VALUES('a', 5, 9)").Run();
  EXPECT_EQ(count("SELECT COUNT(*) FROM runs WHERE task_id = 5"), 2);
  // The logged rows still belong to their run: deleting it takes them along.
  Statement(db, "DELETE FROM runs WHERE id = 7").Run();
  EXPECT_EQ(count("SELECT COUNT(*) FROM run_objects"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM run_errors"), 0);
}

}  // namespace
}  // namespace solvane::server
