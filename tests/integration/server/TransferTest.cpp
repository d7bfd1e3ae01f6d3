// Uploads with resume and versions, downloads, quota and refused segments,
// through the real server.

#include <gtest/gtest.h>

#include <thread>

#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--can-delete", "--space", "100"});
    Reconnect();
  }
  void Reconnect() {
    client = std::make_unique<TTestClient>();
    ASSERT_TRUE(client->Connect(server.Port()));
    ASSERT_TRUE(client->Login("u1", "pw1"));
  }
  int Blobs() { return CountFiles(server.DataDir() / "blobs"); }
  int Staged() { return CountFiles(server.DataDir() / "staging"); }

  TServerProcess server;
  std::unique_ptr<TTestClient> client;
};

TEST_F(Transfer, InterruptedUploadResumesAfterRestartAndCompletesByteIdentical) {
  TFileSpec f{"u1", 100, "C:\\docs", "big.bin", Bytes(7 * kSeg + 1000, 1)};
  TCheckAnswer first = Check(*client, f);
  ASSERT_EQ(first.errNo, 1);
  EXPECT_EQ(first.action, 1);
  EXPECT_EQ(first.position, 0);
  ASSERT_EQ(UploadSegment(*client, f, 0, 3), 1);
  // Until the last byte arrives the file is no version.
  EXPECT_EQ(Show(*client, "u1", 100, "C:/docs").rows.size(), 0u);

  ASSERT_TRUE(server.Restart());
  Reconnect();
  TCheckAnswer again = Check(*client, f);
  ASSERT_EQ(again.errNo, 1);
  EXPECT_EQ(again.action, 1);
  EXPECT_EQ(again.position, 786432);
  ASSERT_EQ(UploadSegment(*client, f, again.position, 5), 1);

  EXPECT_EQ(Restore(*client, f), f.content);
  EXPECT_EQ(Check(*client, f).action, 0);
  EXPECT_EQ(Staged(), 0);
}

TEST_F(Transfer, ChangedFileBecomesVersionTwoAndVersionOneStaysRestorable) {
  TFileSpec v1{"u1", 100, "C:/docs", "a.txt", Bytes(kSeg + 5, 2), 946164070};
  TFileSpec v2{"u1", 100, "C:/docs", "a.txt", Bytes(300, 3), 946164080};
  Backup(*client, v1);
  EXPECT_EQ(Check(*client, v1).action, 0) << "unchanged file";
  TFileSpec touched = v1;
  touched.date += 2;
  EXPECT_EQ(Check(*client, touched).action, 1) << "same size, other date";
  Backup(*client, v2);

  EXPECT_EQ(Show(*client, "u1", 100, "C:/docs").Brief(),
            std::vector<std::string>{"a.txt:300:946164080:2"});
  EXPECT_EQ(Restore(*client, v1), v1.content);
  EXPECT_EQ(Restore(*client, v2), v2.content);
  // No version matches: the newest one.
  EXPECT_EQ(Restore(*client, v1, 1, 1), v2.content);
}

TEST_F(Transfer, EmptyFileIsStoredAtCheckAndDownloadsAsOneEmptySegment) {
  TFileSpec f{"u1", 100, "C:/docs", "empty.txt", ""};
  TCheckAnswer a = Check(*client, f);
  ASSERT_EQ(a.errNo, 1);
  EXPECT_EQ(a.action, 1);
  EXPECT_EQ(Show(*client, "u1", 100, "C:/docs").Brief(),
            std::vector<std::string>{"empty.txt:0:946164070:1"});
  EXPECT_EQ(Check(*client, f).action, 0);
  int err = 0;
  EXPECT_EQ(Restore(*client, f, &err), "");
  EXPECT_EQ(err, 1);
}

TEST_F(Transfer, StoredFilesAreLoggedInTheirRun) {
  // The check of an empty file carries no SessionID: it joins the task's
  // latest run.
  TQorPack start = MakeRequest("TTask.Start", {{"UCode", "u1"},
                                               {"TaskID", "946164070"},
                                               {"TaskName", "t"},
                                               {"TaskKind", "100"},
                                               {"TaskDirection", "0"},
                                               {"SessionID", "946164071"},
                                               {"IsTemporary", "1"}});
  ASSERT_TRUE(client->CallOk(start));
  Backup(*client, {"u1", 100, "C:\\docs", "a.bin", Bytes(kSeg + 1, 12)});
  Backup(*client, {"u1", 100, "C:\\docs", "empty.txt", ""});
  TQorPack objects = MakeRequest("TLog.TaskLog_SelectObject", {{"UCode", "u1"},
                                                               {"TaskID", "946164070"},
                                                               {"SessionID", "946164071"},
                                                               {"ObjectFolder", "C:/docs"}});
  ASSERT_TRUE(client->CallOk(objects));
  std::vector<std::string> logged;
  for (auto& r : Records(objects, {"ObjectName", "ObjectSize"}))
    logged.push_back(r["ObjectName"] + ":" + r["ObjectSize"]);
  EXPECT_EQ(logged, (std::vector<std::string>{"a.bin:262145", "empty.txt:0"}));
}

TEST_F(Transfer, DownloadPastTheEndIsAnEmptyBuffer) {
  TFileSpec f{"u1", 100, "/home/ann", "b.bin", Bytes(kSeg + 10, 4)};
  Backup(*client, f);
  for (std::int64_t order : {3, 1000}) {
    TQorPack p = DownloadRequest(f, f.Size(), f.date, order);
    std::string data = "x";
    ASSERT_TRUE(client->Call(p, {}, &data));
    EXPECT_EQ(p.ErrNo(), 1);
    EXPECT_TRUE(data.empty()) << order;
  }
  TQorPack last = DownloadRequest(f, f.Size(), f.date, 2);
  std::string data;
  ASSERT_TRUE(client->CallOk(last, {}, &data));
  EXPECT_EQ(data, f.content.substr(kSeg));
}

TEST_F(Transfer, SameContentOfTwoUsersAndTwoFilesIsStoredOnce) {
  server.AddUser("u2", "pw2", {"--space", "100"});
  TTestClient other;
  ASSERT_TRUE(other.Connect(server.Port()));
  ASSERT_TRUE(other.Login("u2", "pw2"));
  const std::string same = Bytes(2 * kSeg + 7, 5);
  Backup(*client, {"u1", 100, "C:/docs", "a.bin", same});
  Backup(*client, {"u1", 200, "D:/sync", "copy.bin", same});
  Backup(other, {"u2", 100, "/home/u2", "a.bin", same});
  EXPECT_EQ(Blobs(), 1);
  Backup(other, {"u2", 100, "/home/u2", "b.bin", Bytes(10, 6)});
  EXPECT_EQ(Blobs(), 2);
  EXPECT_EQ(Restore(other, {"u2", 100, "/home/u2", "a.bin", same}), same);
}

TEST_F(Transfer, SegmentsThatDoNotFitAreRefusedAndChangeNothing) {
  TFileSpec f{"u1", 100, "C:/docs", "a.bin", Bytes(2 * kSeg, 7)};
  ASSERT_EQ(UploadSegment(*client, f, 0), 1);
  const std::string seg = f.content.substr(kSeg, kSeg);
  struct TCase {
    const char* what;
    std::int64_t offset;
    std::int64_t declared;
    std::string data;
    int errNo;
  };
  const std::vector<TCase> cases = {
      {"offset past the staged length", 2 * kSeg - 1, 1, "x", 6},
      {"Source_Size larger than the data", kSeg, kSeg + 1, seg, 2},
      {"Source_Size smaller than the data", kSeg, kSeg - 1, seg, 2},
      {"data past ObjectSize", kSeg, kSeg + 1, seg + "x", 2},
      {"no data for a non-empty file", kSeg, 0, "", 2},
      {"negative offset", -1, 1, "x", 2},
  };
  for (const auto& c : cases) {
    TQorPack p = UploadRequest(f, c.offset, c.declared);
    ASSERT_TRUE(client->Call(p, c.data));
    EXPECT_EQ(p.ErrNo(), c.errNo) << c.what;
  }
  EXPECT_EQ(Check(*client, f).position, kSeg);
  ASSERT_EQ(UploadSegment(*client, f, kSeg), 1);
  EXPECT_EQ(Restore(*client, f), f.content);
}

// ObjectDate must be a packed date-time, or 0: the client's value for a
// last-write time the packed form cannot hold (before 1980).
TEST_F(Transfer, ObjectDatesThatAreNoDateTimeAreRefused) {
  struct TCase {
    std::int64_t date;
    int errNo;
  };
  const TCase cases[] = {
      {-1, 2},
      {4294967295, 2},
      {946143232 & ~(0xF << 21), 2},  // month 0
      {946143232 | 0x1F, 2},          // second 62
      {0, 1},
      {-1932566528, 1},  // 2050-06-15 12:00:00 read as a signed 32-bit number
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date);
    TFileSpec f{"u1", 100, "C:/dates", "f" + std::to_string(c.date), "abc", c.date};
    EXPECT_EQ(Check(*client, f).errNo, c.errNo);
    EXPECT_EQ(UploadSegment(*client, f, 0), c.errNo);
  }
  EXPECT_EQ(Show(*client, "u1", 100, "C:/dates").rows.size(), 2u);
}

TEST_F(Transfer, QuotaRefusesAFileThatDoesNotFit) {
  server.AddUser("small", "pw", {"--space", "1"});
  TTestClient c;
  ASSERT_TRUE(c.Connect(server.Port()));
  ASSERT_TRUE(c.Login("small", "pw"));
  Backup(c, {"small", 100, "C:/d", "fits.bin", Bytes(800000, 8)});
  TFileSpec tooBig{"small", 100, "C:/d", "more.bin", Bytes(300000, 9)};
  EXPECT_EQ(Check(c, tooBig).errNo, 9);
  EXPECT_EQ(UploadSegment(c, tooBig, 0), 9);
  // A new version of a file counts too: every version is kept.
  EXPECT_EQ(Check(c, {"small", 100, "C:/d", "fits.bin", Bytes(300000, 10)}).errNo, 9);
  EXPECT_EQ(Show(c, "small", 100, "C:/d").Brief(),
            std::vector<std::string>{"fits.bin:800000:946164070:1"});
}

TEST_F(Transfer, TwoUploadsOfTheSameFileAtOnceLeaveOneIntactVersion) {
  TFileSpec f{"u1", 100, "C:/docs", "race.bin", Bytes(8 * kSeg, 11)};
  TTestClient second;
  ASSERT_TRUE(second.Connect(server.Port()));
  ASSERT_TRUE(second.Login("u1", "pw1"));
  // Both send every segment; whichever completes first stores the file and
  // the other's later segments are refused.
  std::thread other([&] { UploadSegment(second, f, 0, 8); });
  UploadSegment(*client, f, 0, 8);
  other.join();
  Backup(*client, f);
  EXPECT_EQ(Restore(*client, f), f.content);
  EXPECT_EQ(Show(*client, "u1", 100, "C:/docs").Brief(),
            std::vector<std::string>{"race.bin:2097152:946164070:1"});
}

}  // namespace
}  // namespace solvane::testing
