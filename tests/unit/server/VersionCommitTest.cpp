// Group commit of completed uploads: how batches form in the commit queue,
// what one batch stores when some of its uploads fail, what a failed batch
// leaves behind, the savepoints that let one upload fail alone, and the cost
// of checking an unchanged file.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "StoreValue.h"
#include "../platform/TempFolder.h"
#include "storage/CommitQueue.h"
#include "storage/DataDirectory.h"
#include "storage/FileStore.h"
#include "storage/VersionCommit.h"

namespace solvane::server {
namespace {

constexpr std::int64_t kDate = 946164070;

// ---- The queue ----

struct TNumberJob : TCommitQueue::TJob {
  explicit TNumberJob(int n) : number(n) {}
  int number;
  bool committed = false;
};

// Records each batch; the first batch waits until the test opens the gate.
class TGatedWork {
 public:
  void operator()(const std::vector<TCommitQueue::TJob*>& batch) {
    std::unique_lock lock(m_mutex);
    std::vector<int> numbers;
    for (auto* j : batch) numbers.push_back(static_cast<TNumberJob*>(j)->number);
    batches.push_back(numbers);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_open; });
    for (auto* j : batch) static_cast<TNumberJob*>(j)->committed = true;
  }
  void Open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }
  void WaitForBatches(std::size_t n) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return batches.size() >= n; });
  }
  std::vector<std::vector<int>> batches;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_open = false;
};

TEST(CommitQueue, WritesArrivingDuringACommitFormTheNextBatchTogether) {
  TCommitQueue queue;
  TGatedWork work;
  auto commit = [&](TNumberJob& job) {
    queue.Commit(job, [&](const auto& batch) { work(batch); });
    return job.committed;  // read on return: its batch has finished
  };
  // A lone write commits at once, alone: nobody waits to fill a batch.
  TNumberJob first(0);
  auto leader = std::async(std::launch::async, [&] { return commit(first); });
  work.WaitForBatches(1);
  EXPECT_EQ(work.batches[0], std::vector<int>{0});

  std::deque<TNumberJob> later;
  std::vector<std::future<bool>> followers;
  for (int n = 1; n <= 4; ++n) {
    later.emplace_back(n);
    followers.push_back(std::async(std::launch::async, [&, job = &later.back()] {
      return commit(*job);
    }));
  }
  // One caller's several writes (a request of many files) join as one.
  TNumberJob many[] = {TNumberJob(5), TNumberJob(6), TNumberJob(7)};
  followers.push_back(std::async(std::launch::async, [&] {
    queue.CommitAll({&many[0], &many[1], &many[2]}, [&](const auto& batch) { work(batch); });
    return many[0].committed && many[1].committed && many[2].committed;
  }));
  while (queue.Waiting() < 7) std::this_thread::yield();
  for (auto& f : followers)
    EXPECT_EQ(f.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
        << "a write returned before its batch was committed";

  work.Open();
  EXPECT_TRUE(leader.get());
  for (auto& f : followers) EXPECT_TRUE(f.get());
  ASSERT_EQ(work.batches.size(), 2u);
  EXPECT_EQ(std::set<int>(work.batches[1].begin(), work.batches[1].end()),
            (std::set<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(queue.Batches(), 2u);
  EXPECT_EQ(queue.Jobs(), 8u);
}

TEST(CommitQueue, AFailingBatchReleasesItsWritersAndTheNextOneLeads) {
  TCommitQueue queue;
  TNumberJob a(1), b(2);
  EXPECT_THROW(queue.Commit(a, [](const auto&) { throw std::runtime_error("disk gone"); }),
               std::runtime_error);
  EXPECT_FALSE(a.committed);
  queue.Commit(b, [](const auto& batch) {
    for (auto* j : batch) static_cast<TNumberJob*>(j)->committed = true;
  });
  EXPECT_TRUE(b.committed);
}

// ---- Savepoints ----

TEST(Transaction, InsideAnotherItIsASavepointThatCanFailAlone) {
  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  Database& db = dir.Db();
  db.Exec("CREATE TABLE t(x INTEGER)");
  auto count = [&] {
    Statement st(db, "SELECT COUNT(*) FROM t");
    return st.Step() ? st.Int(0) : -1;
  };
  {
    Transaction outer(db);
    Statement(db, "INSERT INTO t VALUES(1)").Run();
    {
      Transaction kept(db);
      Statement(db, "INSERT INTO t VALUES(2)").Run();
      kept.Commit();
    }
    {
      Transaction undone(db);
      Statement(db, "INSERT INTO t VALUES(3)").Run();
    }
    EXPECT_EQ(count(), 2);
    outer.Commit();
  }
  EXPECT_FALSE(db.InTransaction());
  EXPECT_EQ(count(), 2);
  {
    Transaction outer(db);
    Transaction inner(db);
    Statement(db, "INSERT INTO t VALUES(4)").Run();
    inner.Commit();
  }  // the outer one is not committed: the inner one's row goes too
  EXPECT_EQ(count(), 2);
}

// ---- Batches of completed uploads ----

// The file blob store, failing to place chosen contents or to sync.
class TFlakyBlobs : public IBlobStore {
 public:
  explicit TFlakyBlobs(TFileBlobStore& real) : m_real(real) {}
  std::set<std::string> failPlacing;  // hashes
  bool failSync = false;
  BlobPlacement Place(const std::filesystem::path& f, const std::string& h, bool recorded,
                      TBlobSync& sync) override {
    return failPlacing.count(h) ? BlobPlacement::kFailed : m_real.Place(f, h, recorded, sync);
  }
  BlobPlacement PlaceBytes(std::string_view b, const std::string& h, bool recorded,
                           TBlobSync& sync) override {
    return failPlacing.count(h) ? BlobPlacement::kFailed : m_real.PlaceBytes(b, h, recorded, sync);
  }
  bool Unplace(const std::string& h, const std::filesystem::path& f) override {
    return m_real.Unplace(h, f);
  }
  bool Sync(const TBlobSync& sync) override { return !failSync && m_real.Sync(sync); }
  bool Has(const std::string& h) const override { return m_real.Has(h); }
  bool Read(const std::string& h, std::uint64_t o, std::size_t s, std::string& out) const override {
    return m_real.Read(h, o, s, out);
  }
  std::optional<std::uint64_t> Size(const std::string& h) const override { return m_real.Size(h); }
  bool Remove(const std::string& h) override { return m_real.Remove(h); }

 private:
  TFileBlobStore& m_real;
};

class VersionBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Statement(dir.Db(),
              "INSERT INTO users(code, pwd_hash, space_mb) VALUES('u', '-', 1), ('w', '-', 100)")
        .Run();
    dir.Db().Exec("CREATE TABLE stored_log(name TEXT)");
  }

  // A completed upload, staged and waiting for its batch; its hook logs its
  // name in the same transaction.
  TPendingVersion& Completed(const std::string& user, const std::string& name,
                             const std::string& content) {
    auto& c = m_contents.emplace_back(content);
    TUploadSegment& u = m_segments.emplace_back(TUploadSegment{
        {user, kBackupStore}, "C:/d", name, static_cast<std::int64_t>(c.size()), kDate, 0, c});
    u.onStored = [this, name] {
      Statement(dir.Db(), "INSERT INTO stored_log VALUES(?)").Bind(1, name).Run();
    };
    TStagingKey key{user, kBackupStore, "C:/d", name, u.size, kDate};
    EXPECT_EQ(dir.Staging().Write(key, 0, c), StageWrite::kOk);
    return m_pending.emplace_back(u, key, dir.Staging().PathOf(key), Sha256Hex(c), blobs,
                                  dir.Staging());
  }
  // A completed upload that arrived whole in one request: never staged.
  TPendingVersion& ArrivedWhole(const std::string& user, const std::string& name,
                                const std::string& content) {
    auto& c = m_contents.emplace_back(content);
    TUploadSegment& u = m_segments.emplace_back(TUploadSegment{
        {user, kBackupStore}, "C:/d", name, static_cast<std::int64_t>(c.size()), kDate, 0, c});
    TStagingKey key{user, kBackupStore, "C:/d", name, u.size, kDate};
    return m_pending.emplace_back(u, key, std::filesystem::path(), Sha256Hex(c), blobs,
                                  dir.Staging());
  }
  int StagedFiles() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(temp.Path() + "/staging"))
      n += !e.is_directory();
    return n;
  }
  void Commit() {
    std::vector<TCommitQueue::TJob*> batch;
    for (auto& p : m_pending) batch.push_back(&p);
    CommitVersions(dir.Db(), batch);
  }
  std::string Stored(const std::string& user, const std::string& name) {
    auto v = Must(files.NewestVersion({user, kBackupStore}, "C:/d", name));
    if (!v) return "<none>";
    std::string all, seg;
    for (std::int64_t order = 1; files.ReadSegment(*v, order, seg) && !seg.empty(); ++order)
      all += seg;
    return all;
  }
  std::vector<std::string> Logged() {
    Statement st(dir.Db(), "SELECT name FROM stored_log ORDER BY name");
    std::vector<std::string> out;
    while (st.Step()) out.push_back(st.Text(0));
    return out;
  }
  int BlobFiles() {
    int n = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(temp.Path() + "/blobs"))
      n += e.is_regular_file();
    return n;
  }

  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  TFlakyBlobs blobs{dir.Blobs()};
  TFileStore files{dir.Db(), blobs, dir.Staging()};
  std::deque<std::string> m_contents;
  std::deque<TUploadSegment> m_segments;
  std::deque<TPendingVersion> m_pending;
};

TEST_F(VersionBatchTest, EachUploadOfABatchSucceedsOrFailsOnItsOwn) {
  // User u has 1 MiB: the third of his files no longer fits once the two
  // before it in the same batch count. One file's blob cannot be written.
  const std::string a(400000, 'a'), b(400000, 'b'), c(400000, 'c'), d(1000, 'd'), e(1000, 'e');
  auto& fitsA = Completed("u", "a", a);
  auto& fitsB = Completed("u", "b", b);
  auto& beyond = Completed("u", "c", c);
  auto& broken = Completed("w", "d", d);
  auto& other = Completed("w", "e", e);
  auto& sameAsOther = Completed("w", "e2", e);  // the same bytes: stored once
  blobs.failPlacing = {Sha256Hex(d)};
  Commit();

  EXPECT_EQ(fitsA.outcome, UploadOutcome::kStored);
  EXPECT_EQ(fitsB.outcome, UploadOutcome::kStored);
  EXPECT_EQ(beyond.outcome, UploadOutcome::kQuotaExceeded);
  EXPECT_EQ(broken.outcome, UploadOutcome::kIoError);
  EXPECT_EQ(other.outcome, UploadOutcome::kStored);
  EXPECT_EQ(sameAsOther.outcome, UploadOutcome::kStored);
  EXPECT_EQ(Stored("u", "a"), a);
  EXPECT_EQ(Stored("u", "b"), b);
  EXPECT_EQ(Stored("u", "c"), "<none>");
  EXPECT_EQ(Stored("w", "d"), "<none>");
  EXPECT_EQ(Stored("w", "e"), e);
  EXPECT_EQ(Stored("w", "e2"), e);
  EXPECT_EQ(UsedBytes(dir.Db(), "u"), 800000);
  EXPECT_EQ(BlobFiles(), 3);
  EXPECT_EQ(Logged(), (std::vector<std::string>{"a", "b", "e", "e2"}));
  // The refused uploads keep their staged bytes for a later attempt; the
  // stored ones leave nothing staged.
  EXPECT_TRUE(std::filesystem::exists(beyond.staged));
  EXPECT_TRUE(std::filesystem::exists(broken.staged));
  EXPECT_FALSE(std::filesystem::exists(other.staged));
  EXPECT_FALSE(std::filesystem::exists(sameAsOther.staged));
}

TEST_F(VersionBatchTest, ABatchWhoseBlobsCannotBeSyncedStoresNothing) {
  const std::string a(5000, 'a'), b(7000, 'b');
  auto& first = Completed("w", "a", a);
  auto& second = Completed("w", "b", b);
  blobs.failSync = true;
  Commit();
  EXPECT_EQ(first.outcome, UploadOutcome::kIoError);
  EXPECT_EQ(second.outcome, UploadOutcome::kIoError);
  EXPECT_EQ(Stored("w", "a"), "<none>");
  EXPECT_EQ(Stored("w", "b"), "<none>");
  EXPECT_TRUE(Logged().empty()) << "the run log goes with the versions";
  EXPECT_EQ(UsedBytes(dir.Db(), "w"), 0);
  EXPECT_EQ(BlobFiles(), 0);
  // Back in the staging area: the client's next check resumes, and the next
  // batch stores them.
  EXPECT_EQ(dir.Staging().StagedLength(first.key), a.size());
  EXPECT_EQ(dir.Staging().StagedLength(second.key), b.size());
  blobs.failSync = false;
  Commit();
  EXPECT_EQ(first.outcome, UploadOutcome::kStored);
  EXPECT_EQ(Stored("w", "a"), a);
  EXPECT_EQ(Stored("w", "b"), b);
}

// Bytes that came whole are written as their blob; a failed one leaves no
// file behind (nothing staged, no blob nobody uses), and a blob shared with
// a stored upload of the same bytes stays.
TEST_F(VersionBatchTest, UploadsThatArrivedWholeLeaveABlobOrNothing) {
  const std::string a(3000, 'a'), d(2000, 'd'), e(1000, 'e'), empty;
  auto& stored = ArrivedWhole("w", "a", a);
  auto& broken = ArrivedWhole("w", "d", d);
  auto& beyond = ArrivedWhole("u", "e", std::string(2 << 20, 'x'));  // over u's 1 MiB
  auto& shared = ArrivedWhole("w", "e", e);
  auto& staged = Completed("w", "e-staged", e);
  auto& nothing = ArrivedWhole("w", "empty", empty);
  blobs.failPlacing = {Sha256Hex(d)};
  Commit();
  EXPECT_EQ(stored.outcome, UploadOutcome::kStored);
  EXPECT_EQ(broken.outcome, UploadOutcome::kIoError);
  EXPECT_EQ(beyond.outcome, UploadOutcome::kQuotaExceeded);
  EXPECT_EQ(shared.outcome, UploadOutcome::kStored);
  EXPECT_EQ(staged.outcome, UploadOutcome::kStored);
  EXPECT_EQ(nothing.outcome, UploadOutcome::kStored);
  EXPECT_EQ(Stored("w", "a"), a);
  EXPECT_EQ(Stored("w", "d"), "<none>");
  EXPECT_EQ(Stored("u", "e"), "<none>");
  EXPECT_EQ(Stored("w", "e"), e);
  EXPECT_EQ(Stored("w", "e-staged"), e);
  EXPECT_EQ(Stored("w", "empty"), "");
  EXPECT_EQ(BlobFiles(), 3) << "a, e and the empty file; the refused bytes leave none";
  EXPECT_EQ(StagedFiles(), 0);

  m_pending.clear();
  const std::string f(4000, 'f');
  auto& unsynced = ArrivedWhole("w", "f", f);
  blobs.failSync = true;
  Commit();
  EXPECT_EQ(unsynced.outcome, UploadOutcome::kIoError);
  EXPECT_EQ(Stored("w", "f"), "<none>");
  EXPECT_EQ(BlobFiles(), 3);
  EXPECT_EQ(StagedFiles(), 0) << "sent again whole, not resumed";
  blobs.failSync = false;
  Commit();
  EXPECT_EQ(unsynced.outcome, UploadOutcome::kStored);
  EXPECT_EQ(Stored("w", "f"), f);
}

TEST_F(VersionBatchTest, AFailingRunLogDoesNotCostTheVersion) {
  const std::string a(3000, 'a');
  auto& upload = Completed("w", "a", a);
  m_segments.back().onStored = [this] {
    Statement(dir.Db(), "INSERT INTO no_such_table VALUES(1)").Run();
  };
  Commit();
  EXPECT_EQ(upload.outcome, UploadOutcome::kStored);
  EXPECT_EQ(Stored("w", "a"), a);
}

TEST_F(VersionBatchTest, ConcurrentUploadsThroughTheStoreAreAllStored) {
  constexpr int kThreads = 8, kEach = 10;
  std::vector<std::jthread> threads;
  std::atomic<int> stored{0};
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      TFileStore mine{dir.Db(), dir.Blobs(), dir.Staging()};
      for (int i = 0; i < kEach; ++i) {
        const std::string content = std::to_string(t) + "/" + std::to_string(i) + "|" +
                                    std::string(100 + i, static_cast<char>('a' + t));
        TUploadSegment u{{"w", kBackupStore}, "C:/d",
                         "f" + std::to_string(t) + "_" + std::to_string(i),
                         static_cast<std::int64_t>(content.size()),
                         kDate, 0, content};
        if (mine.Upload(u) == UploadOutcome::kStored) ++stored;
      }
    });
  threads.clear();
  EXPECT_EQ(stored.load(), kThreads * kEach);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(Stored("w", "f" + std::to_string(t) + "_" + std::to_string(i)),
                std::to_string(t) + "/" + std::to_string(i) + "|" +
                    std::string(100 + i, static_cast<char>('a' + t)));
  EXPECT_EQ(dir.Db().Commits().Jobs(), static_cast<std::uint64_t>(kThreads * kEach));
}

// ---- The check of an unchanged file ----

TEST(CheckCost, TheNewestFileIsFoundByIndexSearchesAlone) {
  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  const auto plan = NewestFileQueryPlan(dir.Db());
  ASSERT_FALSE(plan.empty());
  std::string all;
  for (const auto& step : plan) all += step + "\n";
  for (const auto& step : plan) {
    EXPECT_EQ(step.rfind("SEARCH", 0), 0u) << all;
    EXPECT_NE(step.find("INDEX"), std::string::npos) << all;
    EXPECT_EQ(step.find("TEMP B-TREE"), std::string::npos) << all;
  }
  EXPECT_NE(all.find("objects_live"), std::string::npos) << all;
}

}  // namespace
}  // namespace solvane::server
