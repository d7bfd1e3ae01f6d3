#include "storage/MailMessageStore.h"

namespace solvane::server {

TStoreResult<std::vector<std::string>> MailTopFolders(Database& db, const TStoreRef& store) {
  return Guarded([&]() -> std::vector<std::string> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT name FROM objects WHERE user_code = ? AND kind = ? AND folder = '/' AND "
                 "is_folder = 1 AND trash_id IS NULL ORDER BY name");
    st.Bind(1, store.user).Bind(2, store.kind);
    std::vector<std::string> out;
    while (st.Step()) out.push_back(st.Text(0));
    return out;
  });
}

TStoreResult<std::vector<TMailFolderRow>> MailFoldersUnder(Database& db, const TStoreRef& store,
                                                           const std::string& prefix) {
  return Guarded([&]() -> std::vector<TMailFolderRow> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT folder, name FROM objects WHERE user_code = ?1 AND kind = ?2 AND "
                 "is_folder = 1 AND trash_id IS NULL AND substr(folder, 1, length(?3)) = ?3");
    st.Bind(1, store.user).Bind(2, store.kind).Bind(3, prefix);
    std::vector<TMailFolderRow> out;
    while (st.Step()) out.push_back({st.Text(0), st.Text(1)});
    return out;
  });
}

TStoreResult<std::vector<TMailMessageEntry>> MailMessagesIn(Database& db, const TStoreRef& store,
                                                            const std::string& folderPath) {
  return Guarded([&]() -> std::vector<TMailMessageEntry> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT o.name, v.size, v.object_date, "
                 "  (SELECT COUNT(*) FROM versions c WHERE c.object_id = o.id), "
                 "  o.object_data, o.cargo, o.cargo2 "
                 "FROM objects o JOIN versions v ON v.id = "
                 "  (SELECT MAX(id) FROM versions m WHERE m.object_id = o.id) "
                 "WHERE o.user_code = ? AND o.kind = ? AND o.folder = ? AND o.is_folder = 0 "
                 "  AND o.trash_id IS NULL ORDER BY o.name");
    st.Bind(1, store.user).Bind(2, store.kind).Bind(3, folderPath);
    std::vector<TMailMessageEntry> out;
    while (st.Step())
      out.push_back({folderPath, st.Text(0), st.Int(1), st.Int(2), st.Int(3), st.Int(4), st.Text(5),
                     st.Text(6)});
    return out;
  });
}

TStoreResult<std::optional<std::string>> MailDescription(Database& db, const TStoreRef& store,
                                                         const std::string& folder,
                                                         const std::string& name) {
  return Guarded([&]() -> std::optional<std::string> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT cargo2 FROM objects WHERE user_code = ? AND kind = ? AND folder = ? AND "
                 "name = ? AND is_folder = 0 AND trash_id IS NULL");
    st.Bind(1, store.user).Bind(2, store.kind).Bind(3, folder).Bind(4, name);
    if (!st.Step()) return std::nullopt;
    return st.Text(0);
  });
}

}  // namespace solvane::server
