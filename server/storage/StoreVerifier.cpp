#include "storage/StoreVerifier.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <unordered_set>

#include "storage/FileStore.h"

namespace solvane::server {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHashChunk = 1 << 20;

// A blob some version uses, as the database records it.
struct TUsedBlob {
  std::string sha256;
  std::uint64_t versions = 0;
  std::int64_t minSize = 0;
  std::int64_t maxSize = 0;
  std::optional<std::int64_t> recordedSize;  // the blob table's row
};

bool IsHashName(const std::string& s) {
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

fs::path BlobRoot(const TFileBlobStore& blobs) {
  return blobs.PathOf(std::string(64, '0')).parent_path().parent_path();
}

std::vector<TUsedBlob> ReadUsedBlobs(Database& db, std::uint64_t& versions) {
  auto lock = db.Lock();
  Statement st(db,
               "SELECT v.sha256, COUNT(*), MIN(v.size), MAX(v.size), "
               "(SELECT b.size FROM blobs b WHERE b.sha256 = v.sha256) "
               "FROM versions v GROUP BY v.sha256");
  std::vector<TUsedBlob> out;
  versions = 0;
  while (st.Step()) {
    TUsedBlob b{st.Text(0), static_cast<std::uint64_t>(st.Int(1)), st.Int(2), st.Int(3), {}};
    if (!st.IsNull(4)) b.recordedSize = st.Int(4);
    versions += b.versions;
    out.push_back(std::move(b));
  }
  return out;
}

std::vector<TVersionUse> ReadUses(Database& db, const std::string& sha256) {
  auto lock = db.Lock();
  Statement st(db,
               "SELECT v.id, o.user_code, o.kind, o.folder, o.name, v.size, v.stored_at, "
               "o.trash_id IS NOT NULL FROM versions v LEFT JOIN objects o ON o.id = v.object_id "
               "WHERE v.sha256 = ? ORDER BY v.id");
  st.Bind(1, sha256);
  std::vector<TVersionUse> out;
  while (st.Step()) {
    out.push_back({st.Int(0), st.Text(1), st.Int(2), JoinPath(st.Text(3), st.Text(4)),
                   st.Int(5), st.Text(6), st.Int(7) != 0});
  }
  return out;
}

bool IsUsed(Database& db, const std::string& sha256) {
  auto lock = db.Lock();
  Statement st(db, "SELECT 1 FROM versions WHERE sha256 = ? LIMIT 1");
  st.Bind(1, sha256);
  return st.Step();
}

// SHA-256 of the file in chunks, reporting each chunk; nullopt when it
// cannot be read (or the run was cancelled).
std::optional<std::string> HashFile(const fs::path& file, const std::function<void(std::size_t)>& chunkDone,
                                    const std::function<bool()>& cancelled) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
  std::unique_ptr<char[]> buf(new char[kHashChunk]);
  for (;;) {
    ssize_t n = ::read(fd, buf.get(), kHashChunk);
    if (n < 0 || (cancelled && cancelled())) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    EVP_DigestUpdate(ctx.get(), buf.get(), static_cast<std::size_t>(n));
    chunkDone(static_cast<std::size_t>(n));
  }
  ::close(fd);
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  EVP_DigestFinal_ex(ctx.get(), d, &len);
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < len; ++i) {
    hex += digits[d[i] >> 4];
    hex += digits[d[i] & 15];
  }
  return hex;
}

// Which used blobs are hashed again: all, or a random share (at least one
// when the share is above zero).
std::vector<bool> ChooseSample(std::size_t n, double percent) {
  std::vector<bool> chosen(n, percent >= 100);
  if (percent >= 100 || percent <= 0 || n == 0) return chosen;
  auto want = static_cast<std::size_t>(std::ceil(static_cast<double>(n) * percent / 100.0));
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937_64(std::random_device{}()));
  for (std::size_t i = 0; i < std::min(want, n); ++i) chosen[order[i]] = true;
  return chosen;
}

// Keeps a problem only while some version still uses the blob (a recycle
// bin emptied during the run frees blobs under the verifier's feet).
void AddProblem(Database& db, TVerifyReport& report, BlobDamage damage, const TUsedBlob& blob,
                const fs::path& file, std::string detail,
                const std::function<bool(const TVersionUse&)>& affected) {
  std::vector<TVersionUse> uses;
  for (auto& u : ReadUses(db, blob.sha256))
    if (affected(u)) uses.push_back(std::move(u));
  if (uses.empty()) return;
  report.problems.push_back({damage, blob.sha256, file, std::move(detail), std::move(uses)});
}

void CheckUsedBlobs(Database& db, const TFileBlobStore& blobs, const std::vector<TUsedBlob>& used,
                    const TVerifyOptions& options, TVerifyReport& report) {
  const std::vector<bool> sample = ChooseSample(used.size(), options.samplePercent);
  std::uint64_t bytesTotal = 0, blobsTotal = 0, blobsDone = 0, bytesDone = 0;
  for (std::size_t i = 0; i < used.size(); ++i)
    if (sample[i]) {
      bytesTotal += static_cast<std::uint64_t>(std::max<std::int64_t>(used[i].maxSize, 0));
      ++blobsTotal;
    }
  auto all = [](const TVersionUse&) { return true; };
  for (std::size_t i = 0; i < used.size(); ++i) {
    if (options.cancelled && options.cancelled()) {
      report.cancelled = true;
      return;
    }
    const TUsedBlob& b = used[i];
    const fs::path file = blobs.PathOf(b.sha256);
    if (!b.recordedSize || *b.recordedSize != b.minSize || b.minSize != b.maxSize)
      AddProblem(db, report, BlobDamage::kUnrecorded, b, file,
                 b.recordedSize ? "the blob table records " + std::to_string(*b.recordedSize) +
                                      " bytes, its versions " + std::to_string(b.minSize) +
                                      (b.minSize == b.maxSize ? "" : " to " + std::to_string(b.maxSize))
                                : "the blob table has no row for it",
                 all);
    std::error_code ec;
    if (!IsHashName(b.sha256) || !fs::is_regular_file(file, ec)) {
      AddProblem(db, report, BlobDamage::kMissing, b, file, "the blob file is missing", all);
      continue;
    }
    const auto fileSize = static_cast<std::int64_t>(fs::file_size(file, ec));
    if (ec) {
      AddProblem(db, report, BlobDamage::kUnreadable, b, file, ec.message(), all);
      continue;
    }
    if (fileSize != b.minSize || fileSize != b.maxSize) {
      AddProblem(db, report, BlobDamage::kWrongSize, b, file,
                 "the file has " + std::to_string(fileSize) + " bytes",
                 [&](const TVersionUse& u) { return u.size != fileSize; });
      continue;
    }
    if (!sample[i]) continue;
    auto hex = HashFile(
        file,
        [&](std::size_t n) {
          bytesDone += n;
          if (options.progress) options.progress(blobsDone, blobsTotal, bytesDone, bytesTotal);
        },
        options.cancelled);
    if (options.cancelled && options.cancelled()) {
      report.cancelled = true;
      return;
    }
    ++blobsDone;
    if (options.progress) options.progress(blobsDone, blobsTotal, bytesDone, bytesTotal);
    ++report.blobsHashed;
    report.bytesHashed += static_cast<std::uint64_t>(fileSize);
    if (!hex)
      AddProblem(db, report, BlobDamage::kUnreadable, b, file, "the blob file cannot be read",
                 all);
    else if (*hex != b.sha256)
      AddProblem(db, report, BlobDamage::kWrongHash, b, file,
                 "its contents hash to " + *hex + " (damaged bytes)", all);
  }
}

fs::path FreeQuarantinePath(const fs::path& wanted) {
  std::error_code ec;
  if (!fs::exists(wanted, ec)) return wanted;
  for (int n = 1;; ++n) {
    fs::path p = wanted;
    p += "." + std::to_string(n);
    if (!fs::exists(p, ec)) return p;
  }
}

// Moves an unused blob file aside. For a file named by a hash this happens
// inside a write transaction that first makes sure no version uses the
// hash, so an upload of the same bytes cannot adopt it at that moment.
void Quarantine(Database& db, const fs::path& root, TOrphanBlob& orphan) {
  const fs::path target =
      FreeQuarantinePath(root.parent_path() / "quarantine" / fs::relative(orphan.file, root));
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  const std::string name = orphan.file.filename().string();
  Transaction tx(db);
  if (IsHashName(name)) {
    if (IsUsed(db, name)) {
      orphan.repairError = "a version uses it now; left in place";
      return;
    }
    Statement(db, "DELETE FROM blobs WHERE sha256 = ?").Bind(1, name).Run();
  }
  fs::rename(orphan.file, target, ec);
  if (ec) {
    orphan.repairError = ec.message();
    return;  // the transaction rolls back: the blob row stays with its file
  }
  tx.Commit();
  orphan.movedTo = target;
}

void FindOrphans(Database& db, const TFileBlobStore& blobs,
                 const std::unordered_set<std::string>& used, const TVerifyOptions& options,
                 TVerifyReport& report) {
  const fs::path root = BlobRoot(blobs);
  const auto now = fs::file_time_type::clock::now();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    ++report.blobFiles;
    const fs::path file = it->path();
    const std::string name = file.filename().string();
    const bool inPlace = IsHashName(name) && blobs.PathOf(name) == file;
    if (inPlace && used.count(name)) continue;
    const auto modified = it->last_write_time(ec);
    if (!ec && now - modified < options.orphanGrace) continue;
    // Recorded after the first read of the versions: in use after all.
    if (inPlace && IsUsed(db, name)) continue;
    report.orphans.push_back({file, it->file_size(ec), {}, {}});
  }
  if (!options.repair) return;
  for (auto& orphan : report.orphans) Quarantine(db, root, orphan);
}

// integrity_check and foreign_key_check on a connection of their own: in WAL
// mode it reads a snapshot and holds no lock the server's writers wait for.
void CheckDatabaseFile(Database& db, TVerifyReport& report) {
  const char* name = sqlite3_db_filename(db.Handle(), "main");
  sqlite3* own = nullptr;
  if (!name || sqlite3_open_v2(name, &own, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    report.databaseProblems.push_back(std::string("cannot open the database: ") +
                                      (own ? sqlite3_errmsg(own) : "unknown error"));
    sqlite3_close(own);
    return;
  }
  sqlite3_busy_timeout(own, 10000);
  auto collect = [&](const char* sql, bool integrity) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(own, sql, -1, &st, nullptr) != SQLITE_OK) {
      report.databaseProblems.push_back(std::string(sql) + ": " + sqlite3_errmsg(own));
      return;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::ostringstream line;
      if (integrity) {
        const auto* t = sqlite3_column_text(st, 0);
        std::string text = t ? reinterpret_cast<const char*>(t) : "";
        if (text == "ok") continue;
        line << text;
      } else {
        const auto* table = sqlite3_column_text(st, 0);
        const auto* parent = sqlite3_column_text(st, 2);
        line << "row " << sqlite3_column_int64(st, 1) << " of table "
             << (table ? reinterpret_cast<const char*>(table) : "?") << " refers to a missing row of "
             << (parent ? reinterpret_cast<const char*>(parent) : "?");
      }
      report.databaseProblems.push_back(line.str());
    }
    if (rc != SQLITE_DONE) report.databaseProblems.push_back(std::string(sql) + ": " + sqlite3_errmsg(own));
    sqlite3_finalize(st);
  };
  collect("PRAGMA integrity_check", true);
  collect("PRAGMA foreign_key_check", false);
  sqlite3_close(own);
}

const char* DamageWord(BlobDamage d) {
  switch (d) {
    case BlobDamage::kMissing:
      return "missing";
    case BlobDamage::kWrongSize:
      return "wrong size";
    case BlobDamage::kWrongHash:
      return "damaged";
    case BlobDamage::kUnreadable:
      return "unreadable";
    case BlobDamage::kUnrecorded:
      return "inconsistent record";
  }
  return "damaged";
}

const char* StoreWord(std::int64_t kind) {
  switch (kind) {
    case 100:
      return "backup";
    case 200:
      return "sync";
    case 500:
      return "mail";
    case 171:
      return "share";
  }
  return "store";
}

}  // namespace

bool TVerifyReport::Damaged() const {
  if (!problems.empty() || !databaseProblems.empty()) return true;
  return std::any_of(orphans.begin(), orphans.end(),
                     [](const TOrphanBlob& o) { return o.movedTo.empty(); });
}

TVerifyReport VerifyStore(Database& db, const TFileBlobStore& blobs, const TVerifyOptions& options) {
  TVerifyReport report;
  const std::vector<TUsedBlob> used = ReadUsedBlobs(db, report.versions);
  report.blobsUsed = used.size();
  CheckUsedBlobs(db, blobs, used, options, report);
  if (report.cancelled) return report;
  std::unordered_set<std::string> usedNames;
  for (const auto& b : used) usedNames.insert(b.sha256);
  FindOrphans(db, blobs, usedNames, options, report);
  CheckDatabaseFile(db, report);
  return report;
}

std::string VerifySummary(const TVerifyReport& r) {
  std::size_t missing = 0, damaged = 0, moved = 0;
  for (const auto& p : r.problems) (p.damage == BlobDamage::kMissing ? missing : damaged)++;
  for (const auto& o : r.orphans) moved += o.movedTo.empty() ? 0 : 1;
  std::ostringstream os;
  os << "verify " << (r.cancelled ? "stopped early" : r.Damaged() ? "found damage" : "clean") << ": "
     << r.versions << " versions, " << r.blobsUsed << " blobs in use, " << r.blobsHashed
     << " re-hashed (" << r.bytesHashed << " bytes), " << missing << " missing, " << damaged
     << " damaged, " << r.orphans.size() << " unused blob files";
  if (moved) os << " (" << moved << " moved to quarantine)";
  os << ", database " << (r.databaseProblems.empty() ? "ok" : "DAMAGED");
  return os.str();
}

void WriteVerifyReport(const TVerifyReport& r, std::ostream& os) {
  for (const auto& p : r.problems) {
    os << DamageWord(p.damage) << ": blob " << p.file.string() << ": " << p.detail << "\n";
    for (const auto& u : p.uses)
      os << "  user " << u.user << ", " << StoreWord(u.kind) << " store, " << u.path
         << ", version " << u.versionId << " (" << u.size << " bytes, stored " << u.storedAt
         << ")" << (u.inRecycleBin ? " in the recycle bin" : "") << "\n";
  }
  for (const auto& o : r.orphans) {
    os << "unused: blob file " << o.file.string() << " (" << o.size
       << " bytes) belongs to no version";
    if (!o.movedTo.empty()) os << "; moved to " << o.movedTo.string();
    if (!o.repairError.empty()) os << "; not moved: " << o.repairError;
    os << "\n";
  }
  for (const auto& d : r.databaseProblems) os << "database: " << d << "\n";
  os << VerifySummary(r) << "\n";
}

}  // namespace solvane::server
