#include "storage/DataDirectory.h"

#include "auth/PasswordHash.h"

namespace solvane::server {

TDataDirectory::TDataDirectory(const std::filesystem::path& dir) : m_dir(dir) {
  std::filesystem::create_directories(dir);
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  m_db = std::make_unique<Database>(dir / "solvane.db");
  m_blobs = std::make_unique<TFileBlobStore>(dir / "blobs");
  m_staging = std::make_unique<TStagingArea>(dir / "staging");
}

std::optional<std::string> TDataDirectory::EnsureAdministrator() {
  Transaction tx(*m_db);
  Statement count(*m_db, "SELECT COUNT(*) FROM users");
  if (count.Step() && count.Int(0) > 0) return std::nullopt;
  std::string password = RandomHex(8);
  Statement(*m_db,
            "INSERT INTO users(code, name, pwd_hash, is_admin, can_delete, space_mb) "
            "VALUES('admin', '系统管理员', ?, 1, 1, 102400)")
      .Bind(1, HashPassword(password))
      .Run();
  tx.Commit();
  return password;
}

}  // namespace solvane::server
