#include "storage/ShareFolderStore.h"

#include <algorithm>
#include <map>

namespace solvane::server {

namespace {

constexpr const char* kFolderColumns =
    "id, parent_id, name, owner, comment, is_read_only, pwd_hash, pwd_version";

TShareFolder ReadFolder(Statement& st) {
  return TShareFolder{st.Int(0),  st.Int(1),      st.Text(2), st.Text(3),
                      st.Text(4), st.Int(5) != 0, st.Text(6), st.Int(7)};
}

// Parents before children: depth first from the top level, siblings in the
// order given. Folders whose parent is missing follow at the end.
std::vector<TShareFolder> ParentsFirst(std::vector<TShareFolder> all) {
  std::multimap<std::int64_t, std::size_t> children;  // equal keys keep their order
  for (std::size_t i = 0; i < all.size(); ++i) children.emplace(all[i].parentId, i);
  std::vector<bool> placed(all.size(), false);
  std::vector<std::size_t> order, stack;
  auto pushChildren = [&](std::int64_t parent) {
    auto [from, to] = children.equal_range(parent);
    const std::size_t mark = stack.size();
    for (auto it = from; it != to; ++it) stack.push_back(it->second);
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
  };
  pushChildren(0);
  while (!stack.empty()) {
    const std::size_t i = stack.back();
    stack.pop_back();
    if (placed[i]) continue;
    placed[i] = true;
    order.push_back(i);
    pushChildren(all[i].id);
  }
  for (std::size_t i = 0; i < all.size(); ++i)
    if (!placed[i]) order.push_back(i);
  std::vector<TShareFolder> out;
  out.reserve(order.size());
  for (std::size_t i : order) out.push_back(std::move(all[i]));
  return out;
}

std::optional<TShareFolder> FolderRow(Database& db, std::int64_t id) {
  auto lock = db.Lock();
  Statement st(db, std::string("SELECT ") + kFolderColumns + " FROM share_folders WHERE id = ?");
  st.Bind(1, id);
  if (!st.Step()) return std::nullopt;
  return ReadFolder(st);
}

}  // namespace

TStoreResult<std::optional<TShareFolder>> FindShareFolder(Database& db, std::int64_t id) {
  return Guarded([&] { return FolderRow(db, id); });
}

TStoreResult<std::vector<TShareFolder>> ListShareFolders(Database& db) {
  return Guarded([&] {
    std::vector<TShareFolder> all;
    {
      auto lock = db.Lock();
      Statement st(
          db, std::string("SELECT ") + kFolderColumns + " FROM share_folders ORDER BY name, id");
      while (st.Step()) all.push_back(ReadFolder(st));
    }
    return ParentsFirst(std::move(all));
  });
}

TStoreResult<bool> HasSubfolders(Database& db, std::int64_t id) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(db, "SELECT 1 FROM share_folders WHERE parent_id = ? LIMIT 1");
    st.Bind(1, id);
    return st.Step();
  });
}

TStoreResult<bool> IsWithin(Database& db, std::int64_t candidate, std::int64_t folder) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(
        db,
        "WITH RECURSIVE up(id, parent_id) AS ("
        "  SELECT id, parent_id FROM share_folders WHERE id = ?1"
        "  UNION SELECT f.id, f.parent_id FROM share_folders f JOIN up ON f.id = up.parent_id)"
        "SELECT 1 FROM up WHERE id = ?2 LIMIT 1");
    st.Bind(1, candidate).Bind(2, folder);
    return st.Step();
  });
}

TStoreResult<bool> NameTaken(Database& db, std::int64_t parentId, const std::string& name,
                             std::int64_t except) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(
        db, "SELECT 1 FROM share_folders WHERE parent_id = ? AND name = ? AND id <> ? LIMIT 1");
    st.Bind(1, parentId).Bind(2, name).Bind(3, except);
    return st.Step();
  });
}

namespace {

// Parameters 1 to 6 of a folder's insert or update: its columns in the order
// both statements name them.
Statement& BindFolderColumns(Statement& st, const TShareFolder& f) {
  return st.Bind(1, f.parentId)
      .Bind(2, f.name)
      .Bind(3, f.owner)
      .Bind(4, f.comment)
      .Bind(5, f.isReadOnly)
      .Bind(6, f.pwdHash);
}

}  // namespace

TStoreResult<std::int64_t> InsertShareFolder(Database& db, const TShareFolder& f) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement insert(db,
                     "INSERT INTO share_folders(parent_id, name, owner, comment, is_read_only, "
                     "pwd_hash) VALUES(?, ?, ?, ?, ?, ?)");
    BindFolderColumns(insert, f).Run();
    return db.LastInsertId();
  });
}

TStoreResult<void> UpdateShareFolder(Database& db, const TShareFolder& f) {
  return Guarded([&] {
    auto old = FolderRow(db, f.id);
    if (!old) return;
    const bool newPassword = old->pwdHash != f.pwdHash;
    Statement update(db,
                     "UPDATE share_folders SET parent_id = ?, name = ?, owner = ?, comment = ?, "
                     "is_read_only = ?, pwd_hash = ?, pwd_version = pwd_version + ? WHERE id = ?");
    BindFolderColumns(update, f).Bind(7, newPassword ? 1 : 0).Bind(8, f.id).Run();
    if (old->owner != f.owner) {
      // The folder object ("/" + "<id>") and everything inside it.
      const std::string path = ShareStoreFolder(f.id);
      Statement(db,
                "UPDATE objects SET user_code = ?1 WHERE user_code = ?2 AND kind = ?3 AND "
                "(folder = ?4 OR (folder = '/' AND name = ?5 AND is_folder = 1))")
          .Bind(1, f.owner)
          .Bind(2, old->owner)
          .Bind(3, kShareStore)
          .Bind(4, path)
          .Bind(5, std::to_string(f.id))
          .Run();
    }
  });
}

TStoreResult<void> DeleteShareFolder(Database& db, std::int64_t id) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement(db, "DELETE FROM share_folders WHERE id = ?").Bind(1, id).Run();
  });
}

TStoreRef ShareStoreOf(const TShareFolder& f) { return TStoreRef{f.owner, kShareStore}; }

std::string ShareStoreFolder(std::int64_t id) { return "/" + std::to_string(id); }

}  // namespace solvane::server
