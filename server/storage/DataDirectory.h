#pragma once
// The server's data directory: solvane.db (metadata), blobs/ (contents),
// staging/ (uploads in progress). Opening it creates what is missing.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "storage/BlobStore.h"
#include "storage/Database.h"
#include "storage/StagingArea.h"

namespace solvane::server {

class TDataDirectory {
 public:
  explicit TDataDirectory(const std::filesystem::path& dir);

  const std::filesystem::path& Path() const { return m_dir; }
  Database& Db() { return *m_db; }
  TFileBlobStore& Blobs() { return *m_blobs; }
  TStagingArea& Staging() { return *m_staging; }

  // When the store has no user yet: creates the administrator "admin" with a
  // random password and returns that password (to be shown once).
  std::optional<std::string> EnsureAdministrator();

 private:
  std::filesystem::path m_dir;
  std::unique_ptr<Database> m_db;
  std::unique_ptr<TFileBlobStore> m_blobs;
  std::unique_ptr<TStagingArea> m_staging;
};

}  // namespace solvane::server
