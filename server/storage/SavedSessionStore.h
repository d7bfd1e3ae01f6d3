#pragma once
// The sessions table: the saved copy of signed-in sessions, keyed by the
// SHA-256 of their token, so that sessions outlive a restart of the server.

#include <cstdint>
#include <optional>
#include <string>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TSavedSession {
  std::string tokenHash;
  std::string userCode;
  std::string address;
  std::int64_t created = 0;
  std::int64_t lastSeen = 0;
};

class TSavedSessionStore {
 public:
  explicit TSavedSessionStore(Database& db) : m_db(db) {}

  TStoreResult<std::optional<TSavedSession>> Load(const std::string& tokenHash);
  // Adds the row, or renews only its last-seen time when it exists.
  TStoreResult<void> Save(const TSavedSession& session);
  TStoreResult<void> Remove(const std::string& tokenHash);

 private:
  Database& m_db;
};

}  // namespace solvane::server
