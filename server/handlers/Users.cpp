#include "handlers/Users.h"

#include "auth/PasswordHash.h"
#include "storage/ProfileStore.h"

namespace solvane::server {

TStoreResult<bool> CheckUserPassword(Database& db, const std::string& code,
                                     const std::string& password) {
  auto stored = TUserStore(db).PasswordHash(code);
  if (!stored.Ok()) return TStoreError{stored.Error()};
  if (!*stored) {
    // Spend the same time as for a real user, so timing does not tell
    // which codes exist.
    VerifyPassword(password, "pbkdf2-sha256$" + std::to_string(kPasswordIterations) + "$00$00");
    return false;
  }
  return VerifyPassword(password, **stored);  // slow: outside the database lock
}

TStoreResult<void> SetUserPassword(Database& db, const std::string& code,
                                   const std::string& password) {
  return TUserStore(db).SetPasswordHash(code, HashPassword(password));
}

TStoreResult<std::int64_t> UsedSpaceMb(Database& db, const std::string& code) {
  auto bytes = TUserStore(db).UsedBytes(code);
  if (!bytes.Ok()) return TStoreError{bytes.Error()};
  return (*bytes + (1 << 20) - 1) >> 20;
}

TStoreResult<std::int64_t> DefaultUserSpaceMb(Database& db) {
  auto value = TProfileStore(db).Get("KRN_DefaultUserSpace");
  if (!value.Ok()) return TStoreError{value.Error()};
  std::int64_t mb = *value ? std::atoll((*value)->c_str()) : 0;
  return mb < 1 ? 1 : mb;
}

bool IsValidUserCode(const std::string& code) {
  if (code.empty() || code.size() > 32) return false;
  for (unsigned char c : code)
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == '|' || c == '=') return false;
  return true;
}

}  // namespace solvane::server
