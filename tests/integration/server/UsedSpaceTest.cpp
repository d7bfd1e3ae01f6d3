// The user's space through the real server: the quota of TUpDown.Check and
// TUpDown.UpLoad and the "UsedSpace" of TUser.SelectOne follow uploads, the
// recycle bin and its removal, and the stored total stays equal to the sum
// over the versions.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

constexpr int kQuotaExceeded = 9;

// {stored running total, sum over the user's versions}, read beside the
// running server.
std::pair<std::int64_t, std::int64_t> TotalAndSum(const std::filesystem::path& db,
                                                  const std::string& user) {
  sqlite3* h = nullptr;
  std::pair<std::int64_t, std::int64_t> out{-1, -1};
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        h,
        "SELECT (SELECT COALESCE(SUM(bytes), 0) FROM used_space WHERE user_code = ?1),"
        " (SELECT COALESCE(SUM(v.size), 0) FROM versions v"
        "  JOIN objects o ON o.id = v.object_id WHERE o.user_code = ?1)",
        -1, &st, nullptr);
    sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW)
      out = {sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1)};
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return out;
}

class UsedSpace : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("q", "pw", {"--can-delete", "--space", "1"});
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login("q", "pw"));
  }
  TFileSpec File(const std::string& name, std::size_t size, std::uint32_t seed) {
    return {"q", 100, "C:/d", name, Bytes(size, seed)};
  }
  std::int64_t UsedMb() {
    TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "q"}});
    return client.CallOk(one) ? one.FieldByName(1, "UsedSpace").AsInteger() : -1;
  }
  void ExpectTotalIsSum() {
    auto [total, sum] = TotalAndSum(server.DataDir() / "solvane.db", "q");
    EXPECT_EQ(total, sum);
  }

  TServerProcess server;
  TTestClient client;
};

TEST_F(UsedSpace, QuotaCountsEveryVersionAndTheBinUntilRemovedFromIt) {
  EXPECT_EQ(UsedMb(), 0);
  const TFileSpec big = File("big", 700000, 1);
  Backup(client, big);
  Backup(client, File("empty", 0, 2));
  EXPECT_EQ(UsedMb(), 1);
  ExpectTotalIsSum();

  // 1 MB is 1 048 576 bytes.
  const TFileSpec tooBig = File("more", 400000, 3);
  EXPECT_EQ(Check(client, tooBig).errNo, kQuotaExceeded);
  EXPECT_EQ(UploadSegment(client, tooBig, 0), kQuotaExceeded);
  Backup(client, File("fits", 300000, 4));
  ExpectTotalIsSum();

  TQorPack remove = RemoveRequest("q", 100, "C:/d", "big", false);
  ASSERT_TRUE(client.CallOk(remove));
  EXPECT_EQ(Check(client, File("small", 100000, 5)).errNo, kQuotaExceeded)
      << "the recycle bin still counts";

  TListing bin = ShowTrash(client, "q", 100);
  ASSERT_EQ(bin.rows.size(), 1u);
  ASSERT_EQ(TrashCall(client, "TBrower.RemoveTrashObject", "q", 100, bin.rows[0]), 1);
  ExpectTotalIsSum();
  Backup(client, File("small", 100000, 5));
  EXPECT_EQ(UsedMb(), 1);  // 400 000 bytes, rounded up
  ExpectTotalIsSum();
}

TEST_F(UsedSpace, NoSpaceRefusesEvenOneByte) {
  server.AddUser("none", "pw", {"--space", "0"});
  TTestClient c;
  ASSERT_TRUE(c.Connect(server.Port()));
  ASSERT_TRUE(c.Login("none", "pw"));
  EXPECT_EQ(Check(c, {"none", 100, "C:/d", "one", "x"}).errNo, kQuotaExceeded);
}

}  // namespace
}  // namespace solvane::testing
