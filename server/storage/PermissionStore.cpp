#include "storage/PermissionStore.h"

namespace solvane::server {

namespace {

constexpr const char* kModeKey = "KRN_SecurityMode";

bool ManagerOf(Database& db, const std::string& viewer, const std::string& owner) {
  Statement st(db, "SELECT 1 FROM users WHERE code = ? AND manager = ? AND manager <> ''");
  st.Bind(1, owner).Bind(2, viewer);
  return st.Step();
}

bool HoldsPermission(Database& db, const std::string& viewer, const std::string& owner) {
  Statement st(db, "SELECT 1 FROM auth_permissions WHERE sender = ? AND receiver = ?");
  st.Bind(1, viewer).Bind(2, owner);
  return st.Step();
}

// Since when a user has his current manager; his creation date when the
// link was set before it was recorded.
constexpr const char* kManagedSince =
    "COALESCE((SELECT since FROM manager_links m WHERE m.user_code = u.code AND "
    "m.manager = u.manager), u.created)";

std::vector<TViewLink> ReadLinks(Statement& st) {
  std::vector<TViewLink> out;
  while (st.Step()) out.push_back({st.Text(0), st.Text(1), st.Text(2)});
  return out;
}

std::vector<TViewLink> ManagerLinks(Database& db, const std::string& user, ViewDirection d) {
  if (d == ViewDirection::kUsersIMayView) {
    Statement st(db, std::string("SELECT u.code, u.name, ") + kManagedSince +
                         " FROM users u WHERE u.manager = ? ORDER BY u.code");
    st.Bind(1, user);
    return ReadLinks(st);
  }
  Statement st(db, std::string("SELECT boss.code, boss.name, ") + kManagedSince +
                       " FROM users u JOIN users boss ON boss.code = u.manager "
                       "WHERE u.code = ?");
  st.Bind(1, user);
  return ReadLinks(st);
}

std::vector<TViewLink> PermissionLinks(Database& db, const std::string& user, ViewDirection d) {
  const bool mine = d == ViewDirection::kUsersIMayView;
  // The other party is the Receiver when I view, the Sender when I am viewed.
  const std::string other = mine ? "receiver" : "sender";
  const std::string self = mine ? "sender" : "receiver";
  Statement st(db, "SELECT p." + other + ", u.name, p.auth_date FROM auth_permissions p " +
                       "JOIN users u ON u.code = p." + other + " WHERE p." + self +
                       " = ? ORDER BY p." + other);
  st.Bind(1, user);
  return ReadLinks(st);
}

SecurityMode ReadSecurityMode(Database& db) {
  auto lock = db.Lock();
  Statement st(db, "SELECT value FROM profile WHERE key = ?");
  st.Bind(1, kModeKey);
  return st.Step() && st.Text(0) == "1" ? SecurityMode::kSecure : SecurityMode::kStandard;
}

}  // namespace

TStoreResult<SecurityMode> CurrentSecurityMode(Database& db) {
  return Guarded([&] { return ReadSecurityMode(db); });
}

TStoreResult<void> SetSecurityMode(Database& db, SecurityMode mode) {
  return Guarded([&]() {
    const std::string value = mode == SecurityMode::kSecure ? "1" : "0";
    Transaction tx(db);
    // Updated in place: the profile call answers in the rows' order.
    Statement(db, "UPDATE profile SET value = ? WHERE key = ?")
        .Bind(1, value)
        .Bind(2, kModeKey)
        .Run();
    if (db.Changes() == 0)
      Statement(db, "INSERT INTO profile(key, value) VALUES(?, ?)")
          .Bind(1, kModeKey)
          .Bind(2, value)
          .Run();
    tx.Commit();
  });
}

TStoreResult<bool> MayViewStoresOf(Database& db, const std::string& viewer,
                                   const std::string& owner) {
  return Guarded([&]() -> bool {
    if (viewer.empty() || owner.empty()) return false;
    if (viewer == owner) return true;
    const SecurityMode mode = ReadSecurityMode(db);
    auto lock = db.Lock();
    return mode == SecurityMode::kSecure ? HoldsPermission(db, viewer, owner)
                                         : ManagerOf(db, viewer, owner);
  });
}

TStoreResult<std::vector<TViewLink>> ViewLinks(Database& db, const std::string& user,
                                               ViewDirection direction) {
  return Guarded([&]() -> std::vector<TViewLink> {
    const SecurityMode mode = ReadSecurityMode(db);
    auto lock = db.Lock();
    return mode == SecurityMode::kSecure ? PermissionLinks(db, user, direction)
                                         : ManagerLinks(db, user, direction);
  });
}

TStoreResult<SendOutcome> SendAuthRequest(Database& db, const std::string& sender,
                                          const std::string& receiver, const std::string& context,
                                          const std::string& comment) {
  return Guarded([&]() -> SendOutcome {
    Transaction tx(db);
    if (HoldsPermission(db, sender, receiver)) return SendOutcome::kAlreadyGranted;
    Statement(db, "DELETE FROM auth_requests WHERE sender = ? AND receiver = ? AND state = 0")
        .Bind(1, sender)
        .Bind(2, receiver)
        .Run();
    Statement(db,
              "INSERT INTO auth_requests(sender, receiver, context, comment, send_date) "
              "VALUES(?, ?, ?, ?, datetime('now','localtime'))")
        .Bind(1, sender)
        .Bind(2, receiver)
        .Bind(3, context)
        .Bind(4, comment)
        .Run();
    tx.Commit();
    return SendOutcome::kSent;
  });
}

TStoreResult<std::vector<TAuthRequest>> PendingRequests(Database& db, const std::string& user,
                                                        RequestBox box) {
  return Guarded([&]() -> std::vector<TAuthRequest> {
    const bool received = box == RequestBox::kReceived;
    auto lock = db.Lock();
    Statement st(
        db, std::string("SELECT r.sender, r.receiver, u.name, r.context, r.comment, "
                        "r.send_date FROM auth_requests r JOIN users u ON u.code = ") +
                (received ? "r.sender WHERE r.receiver = ?" : "r.receiver WHERE r.sender = ?") +
                " AND r.state = 0 ORDER BY r.id");
    st.Bind(1, user);
    std::vector<TAuthRequest> out;
    while (st.Step())
      out.push_back({st.Text(0), st.Text(1), st.Text(2), st.Text(3), st.Text(4), st.Text(5)});
    return out;
  });
}

TStoreResult<bool> DecideAuthRequest(Database& db, const std::string& receiver,
                                     const std::string& sender, const std::string& sendDate,
                                     bool allow) {
  return Guarded([&]() -> bool {
    Transaction tx(db);
    Statement(db,
              "UPDATE auth_requests SET state = ?, decided_at = datetime('now','localtime') "
              "WHERE sender = ? AND receiver = ? AND send_date = ? AND state = 0")
        .Bind(1, allow ? 1 : 2)
        .Bind(2, sender)
        .Bind(3, receiver)
        .Bind(4, sendDate)
        .Run();
    if (db.Changes() == 0) return false;
    if (allow)
      Statement(db,
                "INSERT OR REPLACE INTO auth_permissions(sender, receiver, auth_date) "
                "VALUES(?, ?, datetime('now','localtime'))")
          .Bind(1, sender)
          .Bind(2, receiver)
          .Run();
    tx.Commit();
    return true;
  });
}

TStoreResult<bool> RevokePermission(Database& db, const std::string& sender,
                                    const std::string& receiver) {
  return Guarded([&]() -> bool {
    auto lock = db.Lock();
    Statement(db, "DELETE FROM auth_permissions WHERE sender = ? AND receiver = ?")
        .Bind(1, sender)
        .Bind(2, receiver)
        .Run();
    return db.Changes() > 0;
  });
}

TStoreResult<std::vector<TPermission>> ListPermissions(Database& db) {
  return Guarded([&]() -> std::vector<TPermission> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT sender, receiver, auth_date FROM auth_permissions "
                 "ORDER BY receiver, sender");
    std::vector<TPermission> out;
    while (st.Step()) out.push_back({st.Text(0), st.Text(1), st.Text(2)});
    return out;
  });
}

}  // namespace solvane::server
