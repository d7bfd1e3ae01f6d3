#include "storage/SavedSessionStore.h"

namespace solvane::server {

TStoreResult<std::optional<TSavedSession>> TSavedSessionStore::Load(const std::string& tokenHash) {
  return Guarded([&]() -> std::optional<TSavedSession> {
    auto lock = m_db.Lock();
    Statement st(m_db,
                 "SELECT user_code, address, created, last_seen FROM sessions "
                 "WHERE token_hash = ?");
    st.Bind(1, tokenHash);
    if (!st.Step()) return std::nullopt;
    return TSavedSession{tokenHash, st.Text(0), st.Text(1), st.Int(2), st.Int(3)};
  });
}

TStoreResult<void> TSavedSessionStore::Save(const TSavedSession& s) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db,
              "INSERT INTO sessions(token_hash, user_code, address, created, last_seen) "
              "VALUES(?,?,?,?,?) ON CONFLICT(token_hash) DO UPDATE SET last_seen = "
              "excluded.last_seen")
        .Bind(1, s.tokenHash)
        .Bind(2, s.userCode)
        .Bind(3, s.address)
        .Bind(4, s.created)
        .Bind(5, s.lastSeen)
        .Run();
  });
}

TStoreResult<void> TSavedSessionStore::Remove(const std::string& tokenHash) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db, "DELETE FROM sessions WHERE token_hash = ?").Bind(1, tokenHash).Run();
  });
}

}  // namespace solvane::server
