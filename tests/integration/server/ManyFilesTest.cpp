// Requests of many files (TUpDown.CheckFiles, UpLoadFiles, DownLoadFiles)
// through the real server: each file is answered in its own record set and
// fails alone; a request whose data does not add up is refused whole.

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

// The record sets of one-file requests as one request of many files.
TQorPack ManyOf(const std::string& funNo, std::vector<TQorPack> singles) {
  TQorPack many;
  many.SetFunNo(funNo);
  for (std::size_t i = 0; i < singles.size(); ++i)
    for (const std::string& name : singles[i].Fields().Names())
      many.AddString(static_cast<int>(i) + 1, name, singles[i].FieldByName(1, name).AsString());
  return many;
}

// The request with one value of record set n replaced.
TQorPack WithField(TQorPack& request, int n, const std::string& field, const std::string& value) {
  TQorPack out;
  out.SetFunNo(request.FunNo());
  for (int r = 1; r <= request.RecordSetCount(); ++r)
    for (const std::string& name : request.Fields().Names())
      out.AddString(r, name, r == n && name == field ? value : request.FieldByName(r, name).AsString());
  return out;
}

std::vector<std::int64_t> ErrNos(TQorPack& reply) {
  std::vector<std::int64_t> out;
  for (int n = 1; n <= reply.RecordSetCount(); ++n)
    out.push_back(reply.FieldByName(n, "ErrNo").AsInteger());
  return out;
}

class ManyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--space", "100"});
    server.AddUser("u2", "pw2", {"--space", "100"});
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login("u1", "pw1"));
  }
  // UpLoadFiles of whole files (or the given segments), data in order.
  TQorPack UploadFiles(const std::vector<TFileSpec>& files, std::string* data = nullptr) {
    std::vector<TQorPack> singles;
    std::string all;
    for (const TFileSpec& f : files) {
      singles.push_back(UploadRequest(f, 0, f.Size()));
      all += f.content;
    }
    TQorPack p = ManyOf("TUpDown.UpLoadFiles", singles);
    EXPECT_TRUE(client.Call(p, data ? *data : all));
    return p;
  }
  TQorPack DownloadFiles(const std::vector<TFileSpec>& files, std::string& data) {
    std::vector<TQorPack> singles;
    for (const TFileSpec& f : files) singles.push_back(DownloadRequest(f, f.Size(), f.date, 1));
    TQorPack p = ManyOf("TUpDown.DownLoadFiles", singles);
    EXPECT_TRUE(client.Call(p, {}, &data));
    return p;
  }
  int Staged() { return CountFiles(server.DataDir() / "staging"); }

  TServerProcess server;
  TTestClient client;
};

TEST_F(ManyFiles, EachFileOfAnUploadIsStoredOrRefusedOnItsOwn) {
  const TFileSpec a{"u1", 100, "C:/docs", "a.txt", Bytes(3000, 1)};
  const TFileSpec b{"u1", 100, "C:/docs", "b.txt", Bytes(70000, 2)};
  const TFileSpec other{"u2", 100, "C:/docs", "theirs.txt", Bytes(10, 3)};
  TFileSpec gap{"u1", 100, "C:/docs", "gap.bin", Bytes(2 * kSeg, 4)};
  const TFileSpec c{"u1", 100, "C:/docs/sub", "c.txt", Bytes(1, 5)};

  std::vector<TQorPack> singles{UploadRequest(a, 0, a.Size()), UploadRequest(b, 0, b.Size()),
                                UploadRequest(other, 0, other.Size()),
                                // past the bytes staged so far
                                UploadRequest(gap, kSeg, kSeg), UploadRequest(c, 0, c.Size()),
                                // the same staging file twice
                                UploadRequest(a, 0, a.Size())};
  TQorPack p = ManyOf("TUpDown.UpLoadFiles", singles);
  const std::string data =
      a.content + b.content + other.content + gap.content.substr(kSeg) + c.content + a.content;
  ASSERT_TRUE(client.Call(p, data));
  ASSERT_EQ(p.ErrNo(), 1) << p.ErrMsg();
  EXPECT_EQ(ErrNos(p), (std::vector<std::int64_t>{1, 1, 4, 6, 1, 6}));
  EXPECT_NE(p.FieldByName(6, "ErrMsg").AsString().find("twice"), std::string::npos);

  EXPECT_EQ(Restore(client, a), a.content);
  EXPECT_EQ(Restore(client, b), b.content);
  EXPECT_EQ(Restore(client, c), c.content);
  EXPECT_EQ(Show(client, "u1", 100, "C:/docs").Brief(),
            (std::vector<std::string>{"sub/", "a.txt:3000:946164070:1",
                                      "b.txt:70000:946164070:1"}));

  // The checks of all of them in one request: stored ones need nothing.
  std::vector<TQorPack> checks;
  for (const TFileSpec& f : {a, gap, c}) checks.push_back(CheckRequest(f));
  TQorPack q = ManyOf("TUpDown.CheckFiles", checks);
  ASSERT_TRUE(client.Call(q));
  ASSERT_EQ(q.ErrNo(), 1) << q.ErrMsg();
  EXPECT_EQ(ErrNos(q), (std::vector<std::int64_t>{1, 1, 1}));
  EXPECT_EQ(q.FieldByName(1, "Action").AsInteger(), 0);
  EXPECT_EQ(q.FieldByName(2, "Action").AsInteger(), 1);
  EXPECT_EQ(q.FieldByName(2, "refPosition").AsInteger(), 0);
  EXPECT_EQ(q.FieldByName(3, "Action").AsInteger(), 0);
}

TEST_F(ManyFiles, AnUploadWhoseDataDoesNotAddUpIsRefusedWhole) {
  const TFileSpec a{"u1", 100, "C:/docs", "a.txt", Bytes(3000, 1)};
  const TFileSpec b{"u1", 100, "C:/docs", "b.txt", Bytes(500, 2)};
  struct TCase {
    const char* what;
    std::string data;
    std::string sizeOfB;
  } cases[] = {
      {"data short of the sizes", a.content + b.content.substr(1), "500"},
      {"data beyond the sizes", a.content + b.content + "x", "500"},
      {"a size that is no number", a.content + b.content, "5OO"},
      {"a negative size", a.content + b.content, "-500"},
  };
  for (const TCase& t : cases) {
    TQorPack p = ManyOf("TUpDown.UpLoadFiles",
                        {UploadRequest(a, 0, a.Size()), UploadRequest(b, 0, b.Size())});
    TQorPack many = WithField(p, 2, "Source_Size", t.sizeOfB);
    ASSERT_TRUE(client.Call(many, t.data)) << t.what;
    EXPECT_EQ(many.ErrNo(), 2) << t.what;
    EXPECT_EQ(many.RecordSetCount(), 0) << t.what;
  }
  TQorPack none = MakeRequest("TUpDown.UpLoadFiles", {});
  ASSERT_TRUE(client.Call(none));
  EXPECT_EQ(none.ErrNo(), 2) << "a request without files";

  EXPECT_TRUE(Show(client, "u1", 100, "C:/docs").rows.empty());
  EXPECT_EQ(Staged(), 0);
}

TEST_F(ManyFiles, DownloadsComeOneAfterTheOtherAndAMissingFileFailsAlone) {
  const TFileSpec a{"u1", 100, "C:/docs", "a.txt", Bytes(3000, 1)};
  const TFileSpec b{"u1", 100, "C:/docs", "b.txt", Bytes(kSeg + 7, 2)};
  const TFileSpec missing{"u1", 100, "C:/docs", "missing.txt", Bytes(10, 3)};
  TQorPack up = UploadFiles({a, b});
  ASSERT_EQ(ErrNos(up), (std::vector<std::int64_t>{1, 1}));

  std::string data;
  TQorPack p = DownloadFiles({b, missing, a}, data);
  ASSERT_EQ(p.ErrNo(), 1) << p.ErrMsg();
  EXPECT_EQ(ErrNos(p), (std::vector<std::int64_t>{1, 5, 1}));
  EXPECT_EQ(p.FieldByName(1, "Source_Size").AsInteger(), kSeg) << "one segment each";
  EXPECT_EQ(p.FieldByName(3, "Source_Size").AsInteger(), 3000);
  EXPECT_EQ(data, b.content.substr(0, kSeg) + a.content);
}

TEST_F(ManyFiles, DownloadsBeyondTheReplyLimitAreRefusedToBeAskedForAgain) {
  std::vector<TFileSpec> files;
  for (int i = 0; i < 17; ++i)
    files.push_back({"u1", 100, "C:/big", "f" + std::to_string(i), Bytes(kSeg, 10 + i)});
  // Two requests: one may carry at most 4 MiB of data.
  TQorPack first = UploadFiles({files.begin(), files.begin() + 9});
  TQorPack second = UploadFiles({files.begin() + 9, files.end()});
  ASSERT_EQ(ErrNos(first), std::vector<std::int64_t>(9, 1));
  ASSERT_EQ(ErrNos(second), std::vector<std::int64_t>(8, 1));

  std::string data;
  TQorPack p = DownloadFiles(files, data);
  ASSERT_EQ(p.ErrNo(), 1) << p.ErrMsg();
  std::vector<std::int64_t> expected(16, 1);
  expected.push_back(6);
  EXPECT_EQ(ErrNos(p), expected);
  EXPECT_EQ(data.size(), static_cast<std::size_t>(16 * kSeg));
  EXPECT_EQ(data.substr(15 * kSeg), files[15].content);
}

}  // namespace
}  // namespace solvane::testing
