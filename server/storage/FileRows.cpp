#include "storage/FileRows.h"

#include <array>
#include <ctime>
#include <functional>
#include <set>

namespace solvane::server {

namespace {
constexpr std::size_t kBlobStripes = 64;

std::array<std::mutex, kBlobStripes>& BlobStripes() {
  static std::array<std::mutex, kBlobStripes> stripes;
  return stripes;
}

std::size_t BlobStripeOf(const std::string& sha256) {
  return std::hash<std::string>{}(sha256) % kBlobStripes;
}
}  // namespace

std::mutex& BlobStripe(const std::string& sha256) { return BlobStripes()[BlobStripeOf(sha256)]; }

std::vector<std::unique_lock<std::mutex>> LockBlobStripes(const std::vector<std::string>& sha256s) {
  std::set<std::size_t> stripes;
  for (const auto& sha : sha256s) stripes.insert(BlobStripeOf(sha));
  std::vector<std::unique_lock<std::mutex>> locks;
  for (std::size_t i : stripes) locks.emplace_back(BlobStripes()[i]);
  return locks;
}

std::set<std::string> RecordedBlobs(Database& db, const std::vector<std::string>& sha256s) {
  std::set<std::string> recorded;
  Statement st(db, "SELECT 1 FROM blobs WHERE sha256 = ?");
  for (const auto& sha : sha256s) {
    st.Reset();
    st.Bind(1, sha);
    if (st.Step()) recorded.insert(sha);
  }
  return recorded;
}

std::int64_t NowAsDosDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  ::localtime_r(&now, &t);
  const std::uint32_t date =
      static_cast<std::uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  const std::uint32_t time =
      static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return static_cast<std::int64_t>((date << 16) | time);
}

std::optional<std::int64_t> LiveObjectId(Database& db, const TStoreRef& s,
                                         const std::string& folder, const std::string& name,
                                         bool isFolder) {
  Statement st(db,
               "SELECT id FROM objects WHERE user_code = ? AND kind = ? AND folder = ? AND "
               "name = ? AND is_folder = ? AND trash_id IS NULL");
  st.Bind(1, s.user).Bind(2, s.kind).Bind(3, folder).Bind(4, name).Bind(5, isFolder);
  if (!st.Step()) return std::nullopt;
  return st.Int(0);
}

std::int64_t InsertObject(Database& db, const TStoreRef& s, const std::string& folder,
                          const std::string& name, bool isFolder) {
  if (auto id = LiveObjectId(db, s, folder, name, isFolder)) return *id;
  Statement(db,
            "INSERT INTO objects(user_code, kind, folder, name, is_folder) VALUES(?, ?, ?, ?, ?)")
      .Bind(1, s.user)
      .Bind(2, s.kind)
      .Bind(3, folder)
      .Bind(4, name)
      .Bind(5, isFolder)
      .Run();
  return db.LastInsertId();
}

void EnsureFolder(Database& db, const TStoreRef& s, const std::string& path) {
  std::vector<std::pair<std::string, std::string>> chain;
  for (std::string p = path; !p.empty();) {
    auto parts = SplitPath(p);
    p = parts.first;
    chain.push_back(std::move(parts));
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    InsertObject(db, s, it->first, it->second, true);
}

std::optional<TVersion> NewestVersionOf(Database& db, std::int64_t objectId) {
  Statement st(db,
               "SELECT id, size, object_date, sha256 FROM versions WHERE object_id = ? "
               "ORDER BY id DESC LIMIT 1");
  st.Bind(1, objectId);
  if (!st.Step()) return std::nullopt;
  return TVersion{st.Int(0), st.Int(1), st.Int(2), st.Text(3)};
}

bool ExceedsQuota(Database& db, const std::string& user, std::int64_t bytes) {
  Statement st(db, "SELECT space_mb FROM users WHERE code = ?");
  st.Bind(1, user);
  const std::int64_t spaceMb = st.Step() ? st.Int(0) : 0;
  const std::int64_t limit = spaceMb > (INT64_MAX >> 21) ? INT64_MAX : spaceMb << 20;
  return UsedBytes(db, user) + bytes > limit;
}

void KeepCargo(Database& db, std::int64_t objectId, const TUploadSegment& u) {
  Statement(db, "UPDATE objects SET object_data = ?, cargo = ?, cargo2 = ? WHERE id = ?")
      .Bind(1, u.objectData)
      .Bind(2, u.cargo)
      .Bind(3, u.cargo2)
      .Bind(4, objectId)
      .Run();
}

}  // namespace solvane::server
