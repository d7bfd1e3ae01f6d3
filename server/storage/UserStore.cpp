#include "storage/UserStore.h"

#include "storage/FileStore.h"

namespace solvane::server {

namespace {
constexpr const char* kUserColumns = "code, name, is_admin, can_delete, space_mb, manager";

TUserRecord ReadUser(Statement& st) {
  return TUserRecord{st.Text(0), st.Text(1), st.Int(2) != 0, st.Int(3) != 0, st.Int(4), st.Text(5)};
}
}  // namespace

TStoreResult<std::optional<TUserRecord>> TUserStore::Find(const std::string& code) {
  return Guarded([&]() -> std::optional<TUserRecord> {
    auto lock = m_db.Lock();
    Statement st(m_db, std::string("SELECT ") + kUserColumns + " FROM users WHERE code = ?");
    st.Bind(1, code);
    if (!st.Step()) return std::nullopt;
    return ReadUser(st);
  });
}

TStoreResult<bool> TUserStore::Exists(const std::string& code) {
  auto user = Find(code);
  if (!user.Ok()) return TStoreError{user.Error()};
  return user->has_value();
}

TStoreResult<std::vector<TUserRecord>> TUserStore::List() {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement st(m_db, std::string("SELECT ") + kUserColumns + " FROM users ORDER BY code");
    std::vector<TUserRecord> users;
    while (st.Step()) users.push_back(ReadUser(st));
    return users;
  });
}

TStoreResult<std::optional<std::string>> TUserStore::PasswordHash(const std::string& code) {
  return Guarded([&]() -> std::optional<std::string> {
    auto lock = m_db.Lock();
    Statement st(m_db, "SELECT pwd_hash FROM users WHERE code = ?");
    st.Bind(1, code);
    if (!st.Step()) return std::nullopt;
    return st.Text(0);
  });
}

TStoreResult<void> TUserStore::SetPasswordHash(const std::string& code, const std::string& hash) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db, "UPDATE users SET pwd_hash = ? WHERE code = ?")
        .Bind(1, hash)
        .Bind(2, code)
        .Run();
  });
}

TStoreResult<void> TUserStore::Insert(const TUserRecord& user, const std::string& pwdHash) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db,
              "INSERT INTO users(code, name, pwd_hash, is_admin, can_delete, space_mb, manager) "
              "VALUES(?,?,?,?,?,?,?)")
        .Bind(1, user.code)
        .Bind(2, user.name)
        .Bind(3, pwdHash)
        .Bind(4, user.isAdmin)
        .Bind(5, user.canDelete)
        .Bind(6, user.spaceMb)
        .Bind(7, user.manager)
        .Run();
  });
}

TStoreResult<void> TUserStore::Update(const TUserRecord& user) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db,
              "UPDATE users SET name=?, manager=?, space_mb=?, is_admin=?, can_delete=? "
              "WHERE code=?")
        .Bind(1, user.name)
        .Bind(2, user.manager)
        .Bind(3, user.spaceMb)
        .Bind(4, user.isAdmin)
        .Bind(5, user.canDelete)
        .Bind(6, user.code)
        .Run();
  });
}

TStoreResult<void> TUserStore::RecordLogin(const std::string& code, const std::string& loginTime,
                                           const std::string& address) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db, "UPDATE users SET last_login = ?, last_ip = ? WHERE code = ?")
        .Bind(1, loginTime)
        .Bind(2, address)
        .Bind(3, code)
        .Run();
  });
}

TStoreResult<std::int64_t> TUserStore::UsedBytes(const std::string& code) {
  return Guarded([&] { return server::UsedBytes(m_db, code); });
}

}  // namespace solvane::server
