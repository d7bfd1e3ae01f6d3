#pragma once
// The users table: the one place that reads and writes user rows. Every call
// takes and returns plain values; a failed statement comes back as an error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TUserRecord {
  std::string code;
  std::string name;
  bool isAdmin = false;
  bool canDelete = false;
  std::int64_t spaceMb = 0;
  std::string manager;
};

class TUserStore {
 public:
  explicit TUserStore(Database& db) : m_db(db) {}

  TStoreResult<std::optional<TUserRecord>> Find(const std::string& code);
  TStoreResult<bool> Exists(const std::string& code);
  // Every user, by code.
  TStoreResult<std::vector<TUserRecord>> List();
  // The stored password hash; nullopt for an unknown user.
  TStoreResult<std::optional<std::string>> PasswordHash(const std::string& code);
  TStoreResult<void> SetPasswordHash(const std::string& code, const std::string& hash);
  // A new row with every field of `user` and the password hash.
  TStoreResult<void> Insert(const TUserRecord& user, const std::string& pwdHash);
  // Name, manager, space and rights of an existing user.
  TStoreResult<void> Update(const TUserRecord& user);
  // The time and address of the user's last sign-in, as the client reports them.
  TStoreResult<void> RecordLogin(const std::string& code, const std::string& loginTime,
                                 const std::string& address);
  // Bytes held by the versions of every store of the user, recycle bin
  // included (the running total the file store keeps).
  TStoreResult<std::int64_t> UsedBytes(const std::string& code);

 private:
  Database& m_db;
};

}  // namespace solvane::server
