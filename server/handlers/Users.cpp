#include "handlers/Users.h"

#include "auth/PasswordHash.h"
#include "storage/FileStore.h"

namespace solvane::server {

namespace {
TUserRecord ReadUser(Statement& st) {
  return TUserRecord{st.Text(0), st.Text(1), st.Int(2) != 0, st.Int(3) != 0, st.Int(4),
                     st.Text(5)};
}
constexpr const char* kUserColumns = "code, name, is_admin, can_delete, space_mb, manager";
}  // namespace

std::optional<TUserRecord> FindUser(Database& db, const std::string& code) {
  auto lock = db.Lock();
  Statement st(db, std::string("SELECT ") + kUserColumns + " FROM users WHERE code = ?");
  st.Bind(1, code);
  if (!st.Step()) return std::nullopt;
  return ReadUser(st);
}

std::vector<TUserRecord> ListUsers(Database& db) {
  auto lock = db.Lock();
  Statement st(db, std::string("SELECT ") + kUserColumns + " FROM users ORDER BY code");
  std::vector<TUserRecord> users;
  while (st.Step()) users.push_back(ReadUser(st));
  return users;
}

bool CheckUserPassword(Database& db, const std::string& code, const std::string& password) {
  std::string stored;
  {
    auto lock = db.Lock();
    Statement st(db, "SELECT pwd_hash FROM users WHERE code = ?");
    st.Bind(1, code);
    if (!st.Step()) {
      // Spend the same time as for a real user, so timing does not tell
      // which codes exist.
      VerifyPassword(password, "pbkdf2-sha256$" + std::to_string(kPasswordIterations) +
                                   "$00$00");
      return false;
    }
    stored = st.Text(0);
  }
  return VerifyPassword(password, stored);  // slow: outside the database lock
}

void SetUserPassword(Database& db, const std::string& code, const std::string& password) {
  std::string hash = HashPassword(password);
  auto lock = db.Lock();
  Statement(db, "UPDATE users SET pwd_hash = ? WHERE code = ?").Bind(1, hash).Bind(2, code).Run();
}

std::int64_t UsedSpaceMb(Database& db, const std::string& code) {
  const std::int64_t bytes = UsedBytes(db, code);
  return (bytes + (1 << 20) - 1) >> 20;
}

std::int64_t DefaultUserSpaceMb(Database& db) {
  auto lock = db.Lock();
  Statement st(db, "SELECT value FROM profile WHERE key = 'KRN_DefaultUserSpace'");
  std::int64_t mb = st.Step() ? std::atoll(st.Text(0).c_str()) : 0;
  return mb < 1 ? 1 : mb;
}

bool IsValidUserCode(const std::string& code) {
  if (code.empty() || code.size() > 32) return false;
  for (unsigned char c : code)
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == '|' || c == '=') return false;
  return true;
}

}  // namespace solvane::server
