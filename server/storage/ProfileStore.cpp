#include "storage/ProfileStore.h"

namespace solvane::server {

TStoreResult<std::vector<std::pair<std::string, std::string>>> TProfileStore::All() {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement st(m_db, "SELECT key, value FROM profile ORDER BY rowid");
    std::vector<std::pair<std::string, std::string>> values;
    while (st.Step()) values.emplace_back(st.Text(0), st.Text(1));
    return values;
  });
}

TStoreResult<std::optional<std::string>> TProfileStore::Get(const std::string& name) {
  return Guarded([&]() -> std::optional<std::string> {
    auto lock = m_db.Lock();
    Statement st(m_db, "SELECT value FROM profile WHERE key = ?");
    st.Bind(1, name);
    if (!st.Step()) return std::nullopt;
    return st.Text(0);
  });
}

TStoreResult<void> TProfileStore::Set(const std::string& name, const std::string& value) {
  return Guarded([&] {
    auto lock = m_db.Lock();
    Statement(m_db,
              "INSERT INTO profile(key, value) VALUES(?, ?) "
              "ON CONFLICT(key) DO UPDATE SET value = excluded.value")
        .Bind(1, name)
        .Bind(2, value)
        .Run();
  });
}

}  // namespace solvane::server
