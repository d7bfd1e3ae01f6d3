#include "storage/FileStore.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "storage/FileRows.h"
#include "storage/VersionCommit.h"

namespace solvane::server {

namespace fs = std::filesystem;

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

std::pair<std::string, std::string> SplitPath(std::string_view path) {
  const auto slash = path.rfind('/');
  if (path == "/" || slash == std::string_view::npos) return {"", std::string(path)};
  if (slash == 0) return {"/", std::string(path.substr(1))};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

namespace {

// ---- Serialisation of uploads and of blob adoption against blob removal ----

// One staging file is written by one request at a time. A request of many
// files holds a stripe for each until they are stored: enough stripes that
// other connections' uploads seldom share one.
constexpr std::size_t kStagingStripes = 4096;

std::mutex& StagingStripe(const std::string& stagingPath) {
  static std::array<std::mutex, kStagingStripes> stripes;
  return stripes[std::hash<std::string>{}(stagingPath) % kStagingStripes];
}

// The stripes of several staging files, taken in address order so that two
// requests of many files never wait for each other in a circle.
class TStripeLocks {
 public:
  explicit TStripeLocks(const std::vector<std::string>& paths) {
    std::vector<std::mutex*> stripes;
    for (const std::string& path : paths) stripes.push_back(&StagingStripe(path));
    std::sort(stripes.begin(), stripes.end());
    stripes.erase(std::unique(stripes.begin(), stripes.end()), stripes.end());
    for (std::mutex* m : stripes) m_locks.emplace_back(*m);
  }

 private:
  std::vector<std::unique_lock<std::mutex>> m_locks;
};

// ---- SHA-256 computed while the segments arrive ----

// An upload that arrives in order is hashed segment by segment, so that
// completing a large file does not read it all again. After a restart, a
// rewrite of earlier bytes or an eviction the file is hashed from disk.
class TRunningHashes {
 public:
  void Update(const std::string& key, std::uint64_t offset, std::string_view data) {
    std::lock_guard g(m_mutex);
    auto it = m_entries.find(key);
    if (offset == 0) {
      if (it != m_entries.end()) m_entries.erase(it);
      it = Start(key);
    } else if (it == m_entries.end() || it->second.length != offset) {
      if (it != m_entries.end()) m_entries.erase(it);
      return;
    }
    EVP_DigestUpdate(it->second.ctx.get(), data.data(), data.size());
    it->second.length += data.size();
    it->second.lastUse = ++m_clock;
  }

  // The hash when every one of `length` bytes went through Update; the entry
  // is dropped either way.
  std::optional<std::string> Take(const std::string& key, std::uint64_t length) {
    std::lock_guard g(m_mutex);
    auto it = m_entries.find(key);
    if (it == m_entries.end()) return std::nullopt;
    std::optional<std::string> hex;
    if (it->second.length == length) {
      unsigned char d[EVP_MAX_MD_SIZE];
      unsigned n = 0;
      EVP_DigestFinal_ex(it->second.ctx.get(), d, &n);
      static const char* digits = "0123456789abcdef";
      hex.emplace();
      for (unsigned i = 0; i < n; ++i) {
        *hex += digits[d[i] >> 4];
        *hex += digits[d[i] & 15];
      }
    }
    m_entries.erase(it);
    return hex;
  }

  void Drop(const std::string& key) {
    std::lock_guard g(m_mutex);
    m_entries.erase(key);
  }

 private:
  struct TEntry {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx{nullptr, EVP_MD_CTX_free};
    std::uint64_t length = 0;
    std::uint64_t lastUse = 0;
  };
  static constexpr std::size_t kMaxEntries = 256;  // abandoned uploads are evicted

  std::map<std::string, TEntry>::iterator Start(const std::string& key) {
    if (m_entries.size() >= kMaxEntries) {
      auto oldest = std::min_element(m_entries.begin(), m_entries.end(), [](auto& a, auto& b) {
        return a.second.lastUse < b.second.lastUse;
      });
      m_entries.erase(oldest);
    }
    TEntry e;
    e.ctx.reset(EVP_MD_CTX_new());
    EVP_DigestInit_ex(e.ctx.get(), EVP_sha256(), nullptr);
    return m_entries.emplace(key, std::move(e)).first;
  }

  std::mutex m_mutex;
  std::map<std::string, TEntry> m_entries;
  std::uint64_t m_clock = 0;
};

TRunningHashes& RunningHashes() {
  static TRunningHashes hashes;
  return hashes;
}

// ---- Small helpers ----

// The prefix every folder inside `path` starts with.
std::string SubtreePrefix(const std::string& path) {
  return path.back() == '/' ? path : path + "/";
}

// "*.txt" -> "%.txt"; "rep" -> "%rep%"; LIKE's own wildcards escaped.
std::string LikePattern(const std::string& text) {
  const bool wildcards = text.find_first_of("*?") != std::string::npos;
  std::string p = wildcards ? "" : "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') {
      p += '\\';
      p += c;
    } else if (wildcards && c == '*') {
      p += '%';
    } else if (wildcards && c == '?') {
      p += '_';
    } else {
      p += c;
    }
  }
  if (!wildcards && !text.empty()) p += '%';
  return p;
}

// ---- Statements; every caller holds the database lock ----

std::int64_t InsertTrash(Database& db, const TStoreRef& s, bool isFolder, const std::string& folder,
                         const std::string& name, std::int64_t size, std::int64_t objectDate) {
  Statement(db,
            "INSERT INTO trash(user_code, kind, is_folder, folder, name, size, object_date) "
            "VALUES(?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, s.user)
      .Bind(2, s.kind)
      .Bind(3, isFolder)
      .Bind(4, folder)
      .Bind(5, name)
      .Bind(6, size)
      .Bind(7, objectDate)
      .Run();
  return db.LastInsertId();
}

bool MoveToTrashLocked(Database& db, const TStoreRef& s, const std::string& folder,
                       const std::string& name, bool isFolder) {
  auto id = LiveObjectId(db, s, folder, name, isFolder);
  if (!id) return false;
  if (!isFolder) {
    auto newest = NewestVersionOf(db, *id);
    std::int64_t trash = InsertTrash(db, s, false, folder, name, newest ? newest->size : 0,
                                     newest ? newest->objectDate : 0);
    Statement(db, "UPDATE objects SET trash_id = ? WHERE id = ?").Bind(1, trash).Bind(2, *id).Run();
    return true;
  }
  std::int64_t trash = InsertTrash(db, s, true, folder, name, -1, -1);
  const std::string path = JoinPath(folder, name);
  Statement(db,
            "UPDATE objects SET trash_id = ?1 WHERE user_code = ?2 AND kind = ?3 AND "
            "trash_id IS NULL AND (id = ?4 OR folder = ?5 OR "
            "substr(folder, 1, length(?6)) = ?6)")
      .Bind(1, trash)
      .Bind(2, s.user)
      .Bind(3, s.kind)
      .Bind(4, *id)
      .Bind(5, path)
      .Bind(6, SubtreePrefix(path))
      .Run();
  return true;
}

std::optional<std::int64_t> FindTrashEntry(Database& db, const TStoreRef& s,
                                           const TTrashSelector& sel) {
  Statement st(db,
               "SELECT id FROM trash WHERE user_code = ? AND kind = ? AND folder = ? AND "
               "name = ? AND is_folder = ? "
               "ORDER BY (size = ? AND object_date = ?) DESC, id DESC LIMIT 1");
  st.Bind(1, s.user)
      .Bind(2, s.kind)
      .Bind(3, sel.folder)
      .Bind(4, sel.name)
      .Bind(5, sel.isFolder)
      .Bind(6, sel.size)
      .Bind(7, sel.objectDate);
  if (!st.Step()) return std::nullopt;
  return st.Int(0);
}

}  // namespace

std::int64_t UsedBytes(Database& db, const std::string& user) {
  auto lock = db.Lock();
  Statement st(db, "SELECT bytes FROM used_space WHERE user_code = ?");
  st.Bind(1, user);
  return st.Step() ? st.Int(0) : 0;
}

TFileStore::TFileStore(Database& db, IBlobStore& blobs, TStagingArea& staging)
    : m_db(db), m_blobs(blobs), m_staging(staging) {}

// ---- Check, upload, download ----

// The unique live-object index finds the object and the versions index its
// newest version: two index searches, no scan, no sort.
constexpr const char* kNewestFileSql =
    "SELECT v.id, v.size, v.object_date, v.sha256, o.cargo2 "
    "FROM objects o JOIN versions v ON v.object_id = o.id "
    "WHERE o.user_code = ? AND o.kind = ? AND o.folder = ? AND o.name = ? AND o.is_folder = 0 "
    "  AND o.trash_id IS NULL "
    "ORDER BY v.id DESC LIMIT 1";

std::vector<std::string> NewestFileQueryPlan(Database& db) {
  auto lock = db.Lock();
  Statement st(db, std::string("EXPLAIN QUERY PLAN ") + kNewestFileSql);
  std::vector<std::string> plan;
  while (st.Step()) plan.push_back(st.Text(3));
  return plan;
}

TStoreResult<std::optional<TNewestFile>> TFileStore::NewestFile(const TStoreRef& store,
                                                                const std::string& folder,
                                                                const std::string& name) {
  return Guarded([&]() -> std::optional<TNewestFile> {
    auto lock = m_db.Lock();
    Statement st(m_db, kNewestFileSql);
    st.Bind(1, store.user).Bind(2, store.kind).Bind(3, folder).Bind(4, name);
    if (!st.Step()) return std::nullopt;
    return TNewestFile{TVersion{st.Int(0), st.Int(1), st.Int(2), st.Text(3)}, st.Text(4)};
  });
}

TStoreResult<std::optional<TVersion>> TFileStore::NewestVersion(const TStoreRef& store,
                                                                const std::string& folder,
                                                                const std::string& name) {
  auto newest = NewestFile(store, folder, name);
  if (!newest.Ok()) return TStoreError{newest.Error()};
  if (!*newest) return std::optional<TVersion>();
  return std::optional<TVersion>((*newest)->version);
}

std::int64_t TFileStore::ResumePosition(const TStoreRef& store, const std::string& folder,
                                        const std::string& name, std::int64_t size,
                                        std::int64_t objectDate) {
  if (size <= 0) return 0;
  const TStagingKey key{store.user, store.kind, folder, name, size, objectDate};
  const auto staged = static_cast<std::int64_t>(m_staging.StagedLength(key));
  const std::int64_t lastSegmentStart = (size - 1) / kSegmentSize * kSegmentSize;
  return std::min(staged / kSegmentSize * kSegmentSize, lastSegmentStart);
}

TStoreResult<bool> TFileStore::WouldExceedQuota(const std::string& user, std::int64_t bytes) {
  return Guarded([&]() -> bool {
    auto lock = m_db.Lock();
    return ExceedsQuota(m_db, user, bytes);
  });
}

UploadOutcome TFileStore::Upload(const TUploadSegment& u) {
  const TStagingKey key = StagingKeyOf(u);
  std::lock_guard serial(StagingStripe(m_staging.PathOf(key).string()));
  std::unique_ptr<TPendingVersion> version;
  const UploadOutcome accepted = Accept(u, key, version);
  if (!version) return accepted;
  CommitBatch({version.get()});
  return version->outcome;
}

std::vector<UploadOutcome> TFileStore::UploadMany(const std::vector<TUploadSegment>& uploads) {
  std::vector<TStagingKey> keys;
  std::vector<std::string> paths;
  for (const TUploadSegment& u : uploads) {
    keys.push_back(StagingKeyOf(u));
    paths.push_back(m_staging.PathOf(keys.back()).string());
  }
  TStripeLocks serial(paths);
  std::vector<UploadOutcome> outcomes(uploads.size(), UploadOutcome::kIoError);
  std::vector<std::unique_ptr<TPendingVersion>> versions(uploads.size());
  std::vector<TCommitQueue::TJob*> jobs;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < uploads.size(); ++i) {
    // A second segment of one staging file would write under the first's
    // pending version: it is refused, and sent again on its own.
    if (!seen.insert(paths[i]).second) {
      outcomes[i] = UploadOutcome::kTwiceInOneRequest;
      continue;
    }
    outcomes[i] = Accept(uploads[i], keys[i], versions[i]);
    if (versions[i]) jobs.push_back(versions[i].get());
  }
  CommitBatch(jobs);
  for (std::size_t i = 0; i < uploads.size(); ++i)
    if (versions[i]) outcomes[i] = versions[i]->outcome;
  return outcomes;
}

// A job whose batch failed keeps the outcome it was made with, kIoError;
// its bytes stay staged for the client's next attempt.
void TFileStore::CommitBatch(const std::vector<TCommitQueue::TJob*>& jobs) {
  try {
    m_db.Commits().CommitAll(jobs, [this](const std::vector<TCommitQueue::TJob*>& batch) {
      CommitVersions(m_db, batch);
    });
  } catch (const DatabaseError& e) {
    std::cerr << "a batch of uploads was not stored: " << e.what() << std::endl;
  }
}

TStagingKey TFileStore::StagingKeyOf(const TUploadSegment& u) {
  return {u.store.user, u.store.kind, u.folder, u.name, u.size, u.objectDate};
}

// A file that arrives whole in one segment goes to its batch from memory:
// staging it would cost a file created, synced, renamed and removed.
// REQUIRES: the staging file's stripe is held.
UploadOutcome TFileStore::Accept(const TUploadSegment& u, const TStagingKey& key,
                                 std::unique_ptr<TPendingVersion>& version) {
  if (u.IsWhole()) {
    // Whatever an earlier attempt staged is superseded by these bytes.
    RunningHashes().Drop(m_staging.PathOf(key).string());
    m_staging.Discard(key);
    version = std::make_unique<TPendingVersion>(u, key, fs::path(), Sha256Hex(u.data), m_blobs,
                                                m_staging);
    return UploadOutcome::kStored;
  }
  const UploadOutcome staged = Stage(u, key);
  if (staged != UploadOutcome::kStored) return staged;
  version = Complete(u, key);
  return version ? UploadOutcome::kStored : UploadOutcome::kIoError;
}

// REQUIRES: the staging file's stripe is held.
UploadOutcome TFileStore::Stage(const TUploadSegment& u, const TStagingKey& key) {
  const std::string path = m_staging.PathOf(key).string();
  switch (m_staging.Write(key, static_cast<std::uint64_t>(u.offset), u.data)) {
    case StageWrite::kOk:
      break;
    case StageWrite::kBeyondStaged:
      return UploadOutcome::kBeyondStaged;
    case StageWrite::kBeyondSize:
      return UploadOutcome::kBeyondSize;
    case StageWrite::kIoError:
      RunningHashes().Drop(path);
      return UploadOutcome::kIoError;
  }
  RunningHashes().Update(path, static_cast<std::uint64_t>(u.offset), u.data);
  if (static_cast<std::int64_t>(m_staging.StagedLength(key)) < u.size)
    return UploadOutcome::kStaged;
  return UploadOutcome::kStored;
}

// The complete staged file as a version for the commit batch, which makes
// its bytes durable; null when it cannot be hashed.
std::unique_ptr<TPendingVersion> TFileStore::Complete(const TUploadSegment& u,
                                                      const TStagingKey& key) {
  fs::path file = m_staging.PathOf(key);
  auto sha = RunningHashes().Take(file.string(), static_cast<std::uint64_t>(u.size));
  if (!sha) sha = Sha256OfFile(file);
  if (!sha) return nullptr;
  return std::make_unique<TPendingVersion>(u, key, std::move(file), *sha, m_blobs, m_staging);
}

TStoreResult<std::optional<TVersion>> TFileStore::VersionForDownload(const TStoreRef& store,
                                                                     const std::string& folder,
                                                                     const std::string& name,
                                                                     std::int64_t size,
                                                                     std::int64_t objectDate) {
  return Guarded([&]() -> std::optional<TVersion> {
    auto lock = m_db.Lock();
    auto id = LiveObjectId(m_db, store, folder, name, false);
    if (!id) return std::nullopt;
    Statement st(m_db,
                 "SELECT id, size, object_date, sha256 FROM versions WHERE object_id = ? "
                 "ORDER BY (size = ? AND object_date = ?) DESC, id DESC LIMIT 1");
    st.Bind(1, *id).Bind(2, size).Bind(3, objectDate);
    if (!st.Step()) return std::nullopt;
    return TVersion{st.Int(0), st.Int(1), st.Int(2), st.Text(3)};
  });
}

bool TFileStore::ReadSegment(const TVersion& v, std::int64_t order, std::string& out) {
  out.clear();
  if (order < 1 || order - 1 > v.size / kSegmentSize) return true;
  const std::int64_t offset = (order - 1) * kSegmentSize;
  if (offset >= v.size) return true;
  const auto want = static_cast<std::size_t>(std::min(kSegmentSize, v.size - offset));
  if (!m_blobs.Read(v.sha256, static_cast<std::uint64_t>(offset), want, out)) return false;
  return out.size() == want;
}

// ---- Browsing and search ----

TStoreResult<bool> TFileStore::FolderExists(const TStoreRef& store, const std::string& path) {
  return Guarded([&]() -> bool {
    if (path.empty()) return true;
    auto [folder, name] = SplitPath(path);
    auto lock = m_db.Lock();
    return LiveObjectId(m_db, store, folder, name, true).has_value();
  });
}

TStoreResult<std::vector<TListedObject>> TFileStore::List(const TStoreRef& store,
                                                          const std::string& folder) {
  return Guarded([&]() -> std::vector<TListedObject> {
    auto lock = m_db.Lock();
    Statement st(m_db,
                 "SELECT o.name, o.is_folder, v.size, v.object_date, "
                 "  (SELECT COUNT(*) FROM versions c WHERE c.object_id = o.id) "
                 "FROM objects o LEFT JOIN versions v ON v.id = "
                 "  (SELECT MAX(id) FROM versions m WHERE m.object_id = o.id) "
                 "WHERE o.user_code = ? AND o.kind = ? AND o.folder = ? AND o.trash_id IS NULL "
                 "  AND (o.is_folder = 1 OR v.id IS NOT NULL) "
                 "ORDER BY o.is_folder DESC, o.name");
    st.Bind(1, store.user).Bind(2, store.kind).Bind(3, folder);
    std::vector<TListedObject> out;
    while (st.Step()) {
      TListedObject o;
      o.name = st.Text(0);
      o.isFolder = st.Int(1) != 0;
      if (!o.isFolder) {
        o.size = st.Int(2);
        o.objectDate = st.Int(3);
        o.version = st.Int(4);
      }
      out.push_back(std::move(o));
    }
    return out;
  });
}

TStoreResult<std::vector<TFoundVersion>> TFileStore::Seek(const std::string& user,
                                                          const TSeekQuery& q) {
  return Guarded([&]() -> std::vector<TFoundVersion> {
    auto lock = m_db.Lock();
    Statement st(m_db,
                 "SELECT o.kind, o.folder, o.name, v.size, v.object_date, "
                 "  (SELECT COUNT(*) FROM versions c WHERE c.object_id = o.id AND c.id <= v.id) "
                 "FROM versions v JOIN objects o ON o.id = v.object_id "
                 "WHERE o.user_code = ?1 AND o.kind IN (100, 200, 500) AND o.trash_id IS NULL "
                 "  AND (?2 = 0 OR v.id = (SELECT MAX(id) FROM versions m "
                 "                         WHERE m.object_id = o.id)) "
                 "  AND o.name LIKE ?3 ESCAPE '\\' "
                 "  AND (?4 < 0 OR v.size >= ?4) AND (?5 < 0 OR v.size <= ?5) "
                 "  AND (?6 < 0 OR v.stored_dos >= ?6) AND (?7 < 0 OR v.stored_dos <= ?7) "
                 "ORDER BY o.kind, o.folder, o.name, v.id DESC LIMIT ?8");
    st.Bind(1, user)
        .Bind(2, q.onlyNewest)
        .Bind(3, LikePattern(q.namePattern))
        .Bind(4, q.minSize)
        .Bind(5, q.maxSize)
        .Bind(6, q.minStored)
        .Bind(7, q.maxStored)
        .Bind(8, q.limit);
    std::vector<TFoundVersion> out;
    while (st.Step())
      out.push_back(
          {static_cast<int>(st.Int(0)), st.Text(1), st.Text(2), st.Int(3), st.Int(4), st.Int(5)});
    return out;
  });
}

// ---- Recycle bin ----

TStoreResult<bool> TFileStore::MoveToTrash(const TStoreRef& store, const std::string& folder,
                                           const std::string& name, bool isFolder) {
  return Guarded([&]() -> bool {
    Transaction tx(m_db);
    if (!MoveToTrashLocked(m_db, store, folder, name, isFolder)) return false;
    tx.Commit();
    return true;
  });
}

TStoreResult<bool> TFileStore::MoveToTrash(const TStoreRef& store,
                                           const std::vector<TObjectRef>& objects) {
  return Guarded([&]() -> bool {
    Transaction tx(m_db);
    for (const auto& o : objects)
      if (!MoveToTrashLocked(m_db, store, o.folder, o.name, o.isFolder)) return false;
    tx.Commit();
    return true;
  });
}

TStoreResult<void> TFileStore::MirrorFolder(const TStoreRef& store, const std::string& folder,
                                            const std::vector<TListingEntry>& listing) {
  return Guarded([&]() -> void {
    std::set<std::pair<std::string, bool>> listed;
    for (const auto& e : listing) listed.emplace(e.name, e.isFolder);
    Transaction tx(m_db);
    EnsureFolder(m_db, store, folder);
    for (const auto& e : listing)
      if (e.isFolder) InsertObject(m_db, store, folder, e.name, true);
    std::vector<std::pair<std::string, bool>> gone;
    {
      Statement st(m_db,
                   "SELECT name, is_folder FROM objects WHERE user_code = ? AND kind = ? AND "
                   "folder = ? AND trash_id IS NULL ORDER BY name, is_folder");
      st.Bind(1, store.user).Bind(2, store.kind).Bind(3, folder);
      while (st.Step()) {
        std::pair<std::string, bool> child{st.Text(0), st.Int(1) != 0};
        if (!listed.count(child)) gone.push_back(std::move(child));
      }
    }
    for (const auto& [name, isFolder] : gone)
      MoveToTrashLocked(m_db, store, folder, name, isFolder);
    tx.Commit();
  });
}

TStoreResult<std::vector<TTrashEntry>> TFileStore::ListTrash(const TStoreRef& store) {
  return Guarded([&]() -> std::vector<TTrashEntry> {
    auto lock = m_db.Lock();
    Statement st(m_db,
                 "SELECT id, is_folder, folder, name, size, object_date FROM trash "
                 "WHERE user_code = ? AND kind = ? ORDER BY id DESC");
    st.Bind(1, store.user).Bind(2, store.kind);
    std::vector<TTrashEntry> out;
    while (st.Step())
      out.push_back({st.Int(0), st.Int(1) != 0, st.Text(2), st.Text(3), st.Int(4), st.Int(5)});
    return out;
  });
}

TStoreResult<bool> TFileStore::PurgeTrash(const TStoreRef& store, const TTrashSelector& selector) {
  return Guarded([&]() -> bool {
    std::vector<std::string> shas;
    {
      Transaction tx(m_db);
      auto entry = FindTrashEntry(m_db, store, selector);
      if (!entry) return false;
      Statement st(m_db,
                   "SELECT DISTINCT v.sha256 FROM versions v JOIN objects o ON o.id = v.object_id "
                   "WHERE o.trash_id = ?");
      st.Bind(1, *entry);
      while (st.Step()) shas.push_back(st.Text(0));
      Statement(m_db, "DELETE FROM objects WHERE trash_id = ?").Bind(1, *entry).Run();
      Statement(m_db, "DELETE FROM trash WHERE id = ?").Bind(1, *entry).Run();
      tx.Commit();
    }
    FreeUnusedBlobs(shas);
    return true;
  });
}

void TFileStore::FreeUnusedBlobs(const std::vector<std::string>& sha256s) {
  for (const auto& sha : sha256s) {
    std::lock_guard blobGuard(BlobStripe(sha));
    {
      Transaction tx(m_db);
      Statement used(m_db, "SELECT 1 FROM versions WHERE sha256 = ? LIMIT 1");
      used.Bind(1, sha);
      if (used.Step()) continue;
      Statement(m_db, "DELETE FROM blobs WHERE sha256 = ?").Bind(1, sha).Run();
      tx.Commit();
    }
    m_blobs.Remove(sha);
  }
}

TStoreResult<bool> TFileStore::RevertTrash(const TStoreRef& store, const TTrashSelector& selector) {
  return Guarded([&]() -> bool {
    Transaction tx(m_db);
    auto entry = FindTrashEntry(m_db, store, selector);
    if (!entry) return false;
    struct TTrashed {
      std::int64_t id;
      std::string folder, name;
      bool isFolder;
    };
    std::vector<TTrashed> objects;
    {
      Statement st(m_db, "SELECT id, folder, name, is_folder FROM objects WHERE trash_id = ?");
      st.Bind(1, *entry);
      while (st.Step()) objects.push_back({st.Int(0), st.Text(1), st.Text(2), st.Int(3) != 0});
    }
    for (const auto& o : objects) {
      auto live = LiveObjectId(m_db, store, o.folder, o.name, o.isFolder);
      if (!live) {
        Statement(m_db, "UPDATE objects SET trash_id = NULL WHERE id = ?").Bind(1, o.id).Run();
        continue;
      }
      // The path is in use again: the live object keeps its place and the
      // reverted versions, all stored before the deletion, join its history.
      Statement(m_db, "UPDATE versions SET object_id = ? WHERE object_id = ?")
          .Bind(1, *live)
          .Bind(2, o.id)
          .Run();
      Statement(m_db, "DELETE FROM objects WHERE id = ?").Bind(1, o.id).Run();
    }
    EnsureFolder(m_db, store, selector.folder);
    Statement(m_db, "DELETE FROM trash WHERE id = ?").Bind(1, *entry).Run();
    tx.Commit();
    return true;
  });
}

}  // namespace solvane::server
