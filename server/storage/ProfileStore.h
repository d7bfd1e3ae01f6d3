#pragma once
// The system profile: named values the profile call answers before sign-in.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

class TProfileStore {
 public:
  explicit TProfileStore(Database& db) : m_db(db) {}

  // Every (name, value), in the order they were first stored.
  TStoreResult<std::vector<std::pair<std::string, std::string>>> All();
  TStoreResult<std::optional<std::string>> Get(const std::string& name);
  // Stores the value, adding the name when missing.
  TStoreResult<void> Set(const std::string& name, const std::string& value);

 private:
  Database& m_db;
};

}  // namespace solvane::server
