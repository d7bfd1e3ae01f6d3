#include "storage/TaskMailStore.h"

namespace solvane::server {

TStoreResult<void> ReplaceMailFolders(Database& db, std::int64_t rowId,
                                      const std::vector<TMailFolderChoice>& folders) {
  return Guarded([&]() {
    Statement(db, "DELETE FROM task_mail_messages WHERE task = ?").Bind(1, rowId).Run();
    Statement(db, "DELETE FROM task_mail_folders WHERE task = ?").Bind(1, rowId).Run();
    Statement insert(db,
                     "INSERT INTO task_mail_folders(task, position, mc_kind, parent_id, folder_id, "
                     "data, cargo, file_name1, file_name2, is_selected) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int position = 0;
    for (const auto& f : folders) {
      insert.Reset();
      insert.Bind(1, rowId)
          .Bind(2, ++position)
          .Bind(3, f.mcKind)
          .Bind(4, f.parentId)
          .Bind(5, f.folderId)
          .Bind(6, f.data)
          .Bind(7, f.cargo)
          .Bind(8, f.fileName1)
          .Bind(9, f.fileName2)
          .Bind(10, f.isSelected)
          .Run();
    }
  });
}

TStoreResult<void> ReplaceMailMessages(Database& db, std::int64_t rowId,
                                       const std::vector<TMailMessageChoice>& messages) {
  return Guarded([&]() {
    Statement(db, "DELETE FROM task_mail_messages WHERE task = ?").Bind(1, rowId).Run();
    Statement insert(db,
                     "INSERT INTO task_mail_messages(task, position, mc_kind, folder_id, "
                     "message_id, subject, sender, sent_date, size, update_date, cargo) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int position = 0;
    for (const auto& m : messages) {
      insert.Reset();
      insert.Bind(1, rowId)
          .Bind(2, ++position)
          .Bind(3, m.mcKind)
          .Bind(4, m.folderId)
          .Bind(5, m.messageId)
          .Bind(6, m.subject)
          .Bind(7, m.sender)
          .Bind(8, m.sentDate)
          .Bind(9, m.size)
          .Bind(10, m.updateDate)
          .Bind(11, m.cargo)
          .Run();
    }
  });
}

TStoreResult<std::vector<TMailFolderChoice>> MailFolders(Database& db, std::int64_t rowId) {
  return Guarded([&]() -> std::vector<TMailFolderChoice> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT mc_kind, parent_id, folder_id, data, cargo, file_name1, file_name2, "
                 "is_selected FROM task_mail_folders WHERE task = ? ORDER BY position");
    st.Bind(1, rowId);
    std::vector<TMailFolderChoice> out;
    while (st.Step())
      out.push_back({static_cast<int>(st.Int(0)), st.Int(1), st.Int(2), st.Int(3), st.Text(4),
                     st.Text(5), st.Text(6), st.Int(7) != 0});
    return out;
  });
}

TStoreResult<std::vector<TMailMessageChoice>> MailMessages(Database& db, std::int64_t rowId,
                                                           std::int64_t folderId) {
  return Guarded([&]() -> std::vector<TMailMessageChoice> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT mc_kind, folder_id, message_id, subject, sender, sent_date, size, "
                 "update_date, cargo FROM task_mail_messages WHERE task = ? AND folder_id = ? "
                 "ORDER BY position");
    st.Bind(1, rowId).Bind(2, folderId);
    std::vector<TMailMessageChoice> out;
    while (st.Step())
      out.push_back({static_cast<int>(st.Int(0)), st.Int(1), st.Int(2), st.Text(3), st.Text(4),
                     st.Int(5), st.Int(6), st.Int(7), st.Text(8)});
    return out;
  });
}

std::optional<std::int64_t> DosDateTimeOfText(std::string_view text) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  auto number = [&](std::size_t pos, std::size_t len, int& out) {
    out = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) ||
      !number(14, 2, mi) || !number(17, 2, s))
    return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0) || h > 23 ||
      mi > 59 || s > 59)
    return std::nullopt;
  if (y < 1980 || y > 2107) return 0;
  const std::int64_t date = (std::int64_t{y - 1980} << 9) | (mo << 5) | d;
  const std::int64_t time = (h << 11) | (mi << 5) | (s / 2);
  return (date << 16) | time;
}

}  // namespace solvane::server
