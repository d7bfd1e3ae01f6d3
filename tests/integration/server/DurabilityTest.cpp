// The server killed with SIGKILL at random moments during 50 uploads: after
// every restart the database is intact, every upload the server acknowledged
// downloads byte-identical, and every interrupted one resumes and completes.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <future>
#include <random>
#include <thread>

#include "StoreCalls.h"

namespace solvane::testing {
namespace {

std::string IntegrityCheck(const std::filesystem::path& db) {
  sqlite3* h = nullptr;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(h);
    return "cannot open";
  }
  std::string result;
  sqlite3_exec(
      h, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0] ? values[0] : "";
        return 0;
      },
      &result, nullptr);
  sqlite3_close(h);
  return result;
}

TEST(ServerDurability, KilledDuringUploadsLosesNothingAcknowledged) {
  TServerProcess server;
  ASSERT_TRUE(server.Start());
  server.AddUser("dura", "pw");
  std::mt19937 random(20261210);
  std::vector<TFileSpec> acknowledged;
  int interrupted = 0;

  auto connect = [&](TTestClient& c) {
    ASSERT_TRUE(c.Connect(server.Port()));
    ASSERT_TRUE(c.Login("dura", "pw"));
  };

  for (int i = 0; i < 50; ++i) {
    const std::size_t size = 200000 + random() % 1300000;
    TFileSpec f{"dura", 100, "C:/dura", "file" + std::to_string(i) + ".bin",
                Bytes(size, static_cast<std::uint32_t>(i))};
    auto client = std::make_unique<TTestClient>();
    connect(*client);
    TCheckAnswer check = Check(*client, f);
    ASSERT_EQ(check.errNo, 1);
    ASSERT_EQ(check.action, 1);

    // Upload on another thread; kill the server after a random moment.
    auto upload = std::async(std::launch::async, [&client, f] {
      return UploadSegment(*client, f, 0, f.Size());
    });
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
    server.Kill();
    const bool acked = upload.get() == 1;
    client.reset();

    ASSERT_EQ(IntegrityCheck(server.DataDir() / "solvane.db"), "ok") << "after kill " << i;
    ASSERT_TRUE(server.Start()) << "restart " << i;

    TTestClient again;
    connect(again);
    if (!acked) {
      ++interrupted;
      // Interrupted: it resumes on a segment boundary and completes.
      TCheckAnswer resume = Check(again, f);
      ASSERT_EQ(resume.errNo, 1);
      if (resume.action == 1) {
        EXPECT_EQ(resume.position % kSeg, 0);
        EXPECT_LT(resume.position, f.Size());
        ASSERT_EQ(UploadSegment(again, f, resume.position, f.Size()), 1) << "file " << i;
      }
    }
    acknowledged.push_back(f);
    // Every acknowledged file so far is there, byte-identical (spot check
    // the newest and one earlier file each round).
    const TFileSpec* newest = &acknowledged.back();
    const TFileSpec* earlier = &acknowledged[random() % acknowledged.size()];
    for (const TFileSpec* g : {newest, earlier})
      ASSERT_EQ(Restore(again, *g), g->content) << g->name << " after restart " << i;
  }

  // The random moments hit both sides of an acknowledgement.
  EXPECT_GT(interrupted, 5);
  EXPECT_LT(interrupted, 50);
  TTestClient last;
  connect(last);
  for (const auto& f : acknowledged) EXPECT_EQ(Restore(last, f), f.content) << f.name;
}

}  // namespace
}  // namespace solvane::testing
