// Browsing, search, the recycle bin, sync folder listings and refused
// requests, through the real server.

#include <gtest/gtest.h>

#include <ctime>

#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

using TNames = std::vector<std::string>;

std::int64_t DosDayOf(std::time_t t) {
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return static_cast<std::int64_t>((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday)
         << 16;
}

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--can-delete", "--space", "100"});
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login("u1", "pw1"));
  }
  int Blobs() { return CountFiles(server.DataDir() / "blobs"); }
  TFileSpec File(const std::string& folder, const std::string& name, std::size_t size,
                 std::uint32_t seed, int kind = 100) {
    return {"u1", kind, folder, name, Bytes(size, seed)};
  }

  TServerProcess server;
  TTestClient client;
};

TEST_F(Browser, TreeStartsAtDrivesAndThePosixRootAndListsOneLevel) {
  Backup(client, File("C:\\docs", "a.txt", 10, 1));
  Backup(client, File("c:\\docs\\sub", "b.txt", 20, 2));
  Backup(client, File("/home/ann", "c.txt", 30, 3));
  Backup(client, File("", "top.txt", 40, 4));  // a file in "/" sent with the "/" stripped

  TListing top = Show(client, "u1", 100, "");
  EXPECT_EQ(top.Brief(), (TNames{"//", "C:/"}));
  EXPECT_EQ(top.rows[0]["ObjectFolder"], "");
  EXPECT_EQ(top.rows[0]["ObjectSize"], "-1");

  TListing drive = Show(client, "u1", 100, "C:");
  EXPECT_EQ(drive.Brief(), TNames{"docs/"});
  EXPECT_EQ(drive.rows[0]["ObjectFolder"], "C:");
  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").Brief(), (TNames{"sub/", "a.txt:10:946164070:1"}));

  TListing root = Show(client, "u1", 100, "/");
  EXPECT_EQ(root.Brief(), (TNames{"home/", "top.txt:40:946164070:1"}));
  EXPECT_EQ(root.rows[0]["ObjectFolder"], "/");
  // The restore walk sends folders with a trailing separator.
  for (const char* path : {"/home/ann", "/home/ann/", "\\home\\ann"}) {
    TListing ann = Show(client, "u1", 100, path);
    EXPECT_EQ(ann.Brief(), TNames{"c.txt:30:946164070:1"}) << path;
    EXPECT_EQ(ann.rows[0]["ObjectFolder"], "/home/ann") << path;
  }
  EXPECT_EQ(Show(client, "u1", 100, "C:/nothing").errNo, 5);
  EXPECT_EQ(Show(client, "u1", 200, "").Brief(), TNames{}) << "the sync store is another store";
}

TEST_F(Browser, SearchFiltersByNameSizeBackupDateAndVersions) {
  Backup(client, File("C:/docs", "Report.txt", 1000, 1));
  Backup(client, File("C:/docs", "notes.md", 5000, 2));
  TFileSpec old = File("/srv", "report-old.txt", 2000, 3);
  Backup(client, old);
  old.content = Bytes(3000, 4);
  old.date += 2;
  Backup(client, old);

  const std::int64_t today = DosDayOf(std::time(nullptr));
  const std::int64_t yesterday = DosDayOf(std::time(nullptr) - 86400);
  struct TCase {
    std::string pattern;
    std::int64_t minSize, maxSize, minDate, maxDate;
    bool onlyLast;
    TNames expected;  // "folder|name:size"
  };
  const std::vector<TCase> cases = {
      {"*.txt",
       -1,
       -1,
       -1,
       -1,
       true,
       {"100|/srv|report-old.txt:3000", "100|C:/docs|Report.txt:1000"}},
      {"REP",
       -1,
       -1,
       -1,
       -1,
       true,
       {"100|/srv|report-old.txt:3000", "100|C:/docs|Report.txt:1000"}},
      {"", 2000, -1, -1, -1, true, {"100|/srv|report-old.txt:3000", "100|C:/docs|notes.md:5000"}},
      {"", -1, 1000, -1, -1, true, {"100|C:/docs|Report.txt:1000"}},
      {"report-old",
       -1,
       -1,
       -1,
       -1,
       false,
       {"100|/srv|report-old.txt:3000", "100|/srv|report-old.txt:2000"}},
      {"n?tes.*", -1, -1, today, today, true, {"100|C:/docs|notes.md:5000"}},
      {"", -1, -1, yesterday, yesterday, true, {}},
  };
  for (const auto& c : cases) {
    const bool sizes = c.minSize >= 0 || c.maxSize >= 0, dates = c.minDate >= 0;
    TQorPack p =
        MakeRequest("TBrower.SeekFileObject", {{"UCode", "u1"},
                                               {"ObjectNameSR", c.pattern},
                                               {"SizeIncluded", sizes ? "1" : "0"},
                                               {"ObjectSize_Min", std::to_string(c.minSize)},
                                               {"ObjectSize_Max", std::to_string(c.maxSize)},
                                               {"DateIncluded", dates ? "1" : "0"},
                                               {"ObjectDate_Min", std::to_string(c.minDate)},
                                               {"ObjectDate_Max", std::to_string(c.maxDate)},
                                               {"OnlyLastVersion", c.onlyLast ? "1" : "0"}});
    ASSERT_TRUE(client.CallOk(p)) << c.pattern;
    TNames found;
    for (auto& r : Records(p, {"ObjectName", "ObjectFolder", "ObjectSize"}))
      found.push_back(r["ObjectFolder"] + "|" + r["ObjectName"] + ":" + r["ObjectSize"]);
    EXPECT_EQ(found, c.expected) << "pattern '" << c.pattern << "'";
  }
}

TEST_F(Browser, RemovedFolderGoesToTheBinAndComesBackRestorable) {
  TFileSpec a = File("C:/docs", "a.txt", kSeg + 3, 1), b = File("C:/docs/sub", "b.txt", 50, 2);
  Backup(client, a);
  Backup(client, b);
  TQorPack remove = RemoveRequest("u1", 100, "C:", "docs", true);
  ASSERT_TRUE(client.CallOk(remove));

  EXPECT_EQ(Show(client, "u1", 100, "C:").Brief(), TNames{});
  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").errNo, 5);
  for (const TFileSpec* f : {&a, &b}) {
    int err = 0;
    Restore(client, *f, &err);
    EXPECT_EQ(err, 5) << f->name;
  }
  TListing bin = ShowTrash(client, "u1", 100);
  ASSERT_EQ(bin.rows.size(), 1u) << "one entry per deletion, not per object";
  EXPECT_EQ(bin.rows[0]["ObjectName"], "docs");
  EXPECT_EQ(bin.rows[0]["ObjectKind"], "1");
  EXPECT_EQ(bin.rows[0]["ObjectSize"], "-1");
  EXPECT_EQ(bin.rows[0]["AbsoluteObjectName"], "C:/docs");

  ASSERT_EQ(TrashCall(client, "TBrower.RevertTrashObject", "u1", 100, bin.rows[0]), 1);
  EXPECT_EQ(ShowTrash(client, "u1", 100).rows.size(), 0u);
  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").Brief(),
            (TNames{"sub/", "a.txt:262147:946164070:1"}));
  EXPECT_EQ(Restore(client, a), a.content);
  EXPECT_EQ(Restore(client, b), b.content);
}

TEST_F(Browser, RevertOntoAPathInUseAgainKeepsBothVersions) {
  TFileSpec v1 = File("C:/docs", "a.txt", 100, 1), v2 = File("C:/docs", "a.txt", 200, 2);
  v2.date += 2;
  Backup(client, v1);
  TQorPack remove = RemoveRequest("u1", 100, "C:/docs", "a.txt", false);
  ASSERT_TRUE(client.CallOk(remove));
  Backup(client, v2);
  TListing bin = ShowTrash(client, "u1", 100);
  ASSERT_EQ(bin.rows.size(), 1u);
  EXPECT_EQ(bin.rows[0]["ObjectSize"], "100");
  EXPECT_EQ(bin.rows[0]["AbsoluteObjectName"], "C:/docs/a.txt");
  ASSERT_EQ(TrashCall(client, "TBrower.RevertTrashObject", "u1", 100, bin.rows[0]), 1);

  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").Brief(), TNames{"a.txt:200:946164072:2"});
  EXPECT_EQ(Restore(client, v1), v1.content);
  EXPECT_EQ(Restore(client, v2), v2.content);
}

TEST_F(Browser, DeletingFromTheBinFreesABlobOnlyWhenNoVersionUsesIt) {
  const std::string same = Bytes(1000, 1);
  TFileSpec x{"u1", 100, "C:/p", "x", same}, y{"u1", 100, "C:/p", "y", same};
  Backup(client, x);
  Backup(client, y);
  ASSERT_EQ(Blobs(), 1);

  for (const auto* f : {&x, &y}) {
    TQorPack remove = RemoveRequest("u1", 100, "C:/p", f->name, false);
    ASSERT_TRUE(client.CallOk(remove));
    TListing bin = ShowTrash(client, "u1", 100);
    ASSERT_EQ(bin.rows.size(), 1u);
    ASSERT_EQ(TrashCall(client, "TBrower.RemoveTrashObject", "u1", 100, bin.rows[0]), 1);
    EXPECT_EQ(ShowTrash(client, "u1", 100).rows.size(), 0u);
    if (f == &x) {
      EXPECT_EQ(Blobs(), 1) << "y still uses the blob";
      EXPECT_EQ(Restore(client, y), same);
    }
  }
  EXPECT_EQ(Blobs(), 0);
  EXPECT_EQ(TrashCall(client, "TBrower.RevertTrashObject", "u1", 100,
                      {{"ObjectKind", "0"},
                       {"ObjectName", "x"},
                       {"ObjectSize", "1000"},
                       {"ObjectDate", "946164070"},
                       {"AbsoluteObjectName", "C:/p/x"}}),
            5);
}

TEST_F(Browser, FolderCheckMirrorsTheSyncFolderAndBinsWhatIsGone) {
  Backup(client, File("C:/sync", "a.txt", 10, 1, 200));
  Backup(client, File("C:/sync", "b.txt", 20, 2, 200));
  TFileSpec c = File("C:/sync/s", "c.txt", 30, 3, 200);
  Backup(client, c);

  TQorPack listing;
  listing.SetFunNo("TUpDown.FolderCheck");
  const std::vector<std::pair<std::string, int>> entries = {{"a.txt", 0}, {"t", 1}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int n = static_cast<int>(i + 1);
    listing.AddString(n, "UCode", "u1");
    listing.AddString(n, "TaskID", "946164070");
    listing.AddString(n, "TaskKind", "200");
    listing.AddString(n, "ObjectID", std::to_string(n));
    listing.AddString(n, "ObjectName", "C:/sync/" + entries[i].first);
    listing.AddInteger(n, "ObjectKind", entries[i].second);
    listing.AddString(n, "ObjectFolder", "C:/sync/");
    listing.AddString(n, "ObjectSize", entries[i].second ? "-1" : "10");
    listing.AddString(n, "ObjectDate", entries[i].second ? "-1" : "946164070");
  }
  TQorPack again = listing;
  ASSERT_TRUE(client.CallOk(listing));
  ASSERT_TRUE(client.CallOk(again)) << "a repeated listing changes nothing more";

  EXPECT_EQ(Show(client, "u1", 200, "C:/sync").Brief(), (TNames{"t/", "a.txt:10:946164070:1"}));
  TListing bin = ShowTrash(client, "u1", 200);
  ASSERT_EQ(bin.rows.size(), 2u);
  EXPECT_EQ(bin.rows[0]["AbsoluteObjectName"] + " " + bin.rows[1]["AbsoluteObjectName"],
            "C:/sync/s C:/sync/b.txt");
  ASSERT_EQ(TrashCall(client, "TBrower.RevertTrashObject", "u1", 200, bin.rows[0]), 1);
  EXPECT_EQ(Restore(client, c), c.content);

  TQorPack noRecords;
  noRecords.SetFunNo("TUpDown.FolderCheck");
  EXPECT_TRUE(client.CallOk(noRecords)) << "no records name no folder";
  EXPECT_EQ(Show(client, "u1", 200, "C:/sync").rows.size(), 3u);

  // A folder emptied on the client: one record, ObjectName empty.
  TQorPack emptied = MakeRequest("TUpDown.FolderCheck", {{"UCode", "u1"},
                                                         {"TaskID", "946164070"},
                                                         {"TaskKind", "200"},
                                                         {"ObjectName", ""},
                                                         {"ObjectFolder", "C:/sync/"}});
  ASSERT_TRUE(client.CallOk(emptied));
  EXPECT_TRUE(Show(client, "u1", 200, "C:/sync").rows.empty());
  EXPECT_EQ(ShowTrash(client, "u1", 200).rows.size(), 4u) << "b.txt, then a.txt, s and t";
  TQorPack backupStore = MakeRequest("TUpDown.FolderCheck", {{"UCode", "u1"},
                                                             {"TaskKind", "100"},
                                                             {"ObjectName", "C:/x/a"},
                                                             {"ObjectKind", "0"},
                                                             {"ObjectFolder", "C:/x/"}});
  ASSERT_TRUE(client.Call(backupStore));
  EXPECT_EQ(backupStore.ErrNo(), 2) << "the backup store is never mirrored";
}

TEST_F(Browser, RefusedRequestsChangeNothing) {
  server.AddUser("u2", "pw2", {"--space", "100"});
  TTestClient u2, anonymous;
  ASSERT_TRUE(u2.Connect(server.Port()));
  ASSERT_TRUE(u2.Login("u2", "pw2"));
  ASSERT_TRUE(anonymous.Connect(server.Port()));
  TFileSpec a = File("C:/docs", "a.txt", 100, 1);
  Backup(client, a);
  Backup(u2, {"u2", 100, "C:/mine", "m.txt", Bytes(10, 2)});
  const int blobs = Blobs();

  auto check = [&](const std::string& folder, const std::string& name) {
    return CheckRequest({"u1", 100, folder, name, "abc"});
  };
  auto upload = [&](const std::string& folder) {
    return UploadRequest({"u1", 100, folder, "x.bin", "abc"}, 0, 3);
  };
  struct TCase {
    const char* what;
    TTestClient* by;
    TQorPack request;
    int errNo;
  };
  std::vector<TCase> cases;
  cases.push_back({"no token", &anonymous, check("C:/docs", "new.txt"), 3});
  cases.push_back({"check for another user", &u2, check("C:/docs", "new.txt"), 4});
  cases.push_back({"listing of another user", &u2,
                   MakeRequest("TBrower.ShowFileObject",
                               {{"UCode", "u1"}, {"TaskKind", "100"}, {"RelatePath", "C:/docs"}}),
                   4});
  cases.push_back({"download from another user", &u2, DownloadRequest(a, a.Size(), a.date, 1), 4});
  cases.push_back({"removal in another user's store", &u2,
                   RemoveRequest("u1", 100, "C:/docs", "a.txt", false), 4});
  cases.push_back({"removal without the delete right", &u2,
                   RemoveRequest("u2", 100, "C:/mine", "m.txt", false), 4});
  cases.push_back({"bin of another user", &u2,
                   MakeRequest("TBrower.ShowTrashObject", {{"UCode", "u1"}, {"TaskKind", "100"}}),
                   4});
  for (const char* bad : {"C:/docs/../../etc", "C:\\docs\\..\\x", "C:/a//b", "C:/a/./b", "docs",
                          "C:/a\tb", "../docs", "\\\\server\\share"})
    cases.push_back({bad, &client, check(bad, "new.txt"), 2});
  for (const char* bad : {"..", ".", "../a.txt", "a/b", "a\\b", ""})
    cases.push_back({bad, &client, check("C:/docs", bad), 2});
  cases.push_back({"upload into ../", &client, upload("C:/docs/../../x"), 2});
  cases.push_back({"listing of ../", &client,
                   MakeRequest("TBrower.ShowFileObject",
                               {{"UCode", "u1"}, {"TaskKind", "100"}, {"RelatePath", "C:/.."}}),
                   2});
  cases.push_back(
      {"unknown store kind", &client, CheckRequest({"u1", 300, "C:/docs", "a.txt", "abc"}), 2});
  cases.push_back({"removal of a missing object", &client,
                   RemoveRequest("u1", 100, "C:/docs", "none.txt", false), 5});

  for (auto& c : cases) {
    ASSERT_TRUE(c.by->Call(c.request, c.request.FunNo() == "TUpDown.UpLoad" ? "abc" : ""))
        << c.what;
    EXPECT_EQ(c.request.ErrNo(), c.errNo) << c.what;
    EXPECT_FALSE(c.request.ErrMsg().empty()) << c.what;
  }
  EXPECT_EQ(Show(client, "u1", 100, "").Brief(), TNames{"C:/"});
  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").Brief(), TNames{"a.txt:100:946164070:1"});
  EXPECT_EQ(Show(u2, "u2", 100, "C:/mine").Brief(), TNames{"m.txt:10:946164070:1"});
  EXPECT_EQ(ShowTrash(client, "u1", 100).rows.size(), 0u);
  EXPECT_EQ(Blobs(), blobs);
  EXPECT_EQ(CountFiles(server.DataDir() / "staging"), 0);
}

}  // namespace
}  // namespace solvane::testing
