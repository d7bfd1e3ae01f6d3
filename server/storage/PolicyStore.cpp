#include "storage/PolicyStore.h"

namespace solvane::server {

namespace {

std::optional<TPolicyRecord> OnePolicy(Database& db, const std::string& sql,
                                       const std::string& key) {
  auto lock = db.Lock();
  Statement st(db, sql);
  st.Bind(1, key);
  if (!st.Step()) return std::nullopt;
  return TPolicyRecord{st.Int(0), st.Text(1), st.Int(2)};
}

}  // namespace

TStoreResult<std::optional<TPolicyRecord>> FindPolicy(Database& db, const std::string& name) {
  return Guarded([&]() -> std::optional<TPolicyRecord> {
    return OnePolicy(db, "SELECT id, name, max_file_size FROM policies WHERE name = ?", name);
  });
}

TStoreResult<std::optional<TPolicyRecord>> PolicyOfUser(Database& db, const std::string& userCode) {
  return Guarded([&]() -> std::optional<TPolicyRecord> {
    return OnePolicy(db,
                     "SELECT p.id, p.name, p.max_file_size FROM policies p "
                     "JOIN policy_users u ON u.policy = p.id WHERE u.user_code = ?",
                     userCode);
  });
}

TStoreResult<std::vector<TPolicyRecord>> ListPolicies(Database& db) {
  return Guarded([&]() -> std::vector<TPolicyRecord> {
    auto lock = db.Lock();
    Statement st(db, "SELECT id, name, max_file_size FROM policies ORDER BY name");
    std::vector<TPolicyRecord> policies;
    while (st.Step()) policies.push_back({st.Int(0), st.Text(1), st.Int(2)});
    return policies;
  });
}

TStoreResult<std::vector<TFilterPattern>> PolicyPatterns(Database& db, std::int64_t policyId) {
  return ReadPatternRows(db, PatternTable::kPolicyPatterns, policyId);
}

TStoreResult<std::vector<std::string>> PolicyUsers(Database& db, std::int64_t policyId) {
  return Guarded([&]() -> std::vector<std::string> {
    auto lock = db.Lock();
    Statement st(db, "SELECT user_code FROM policy_users WHERE policy = ? ORDER BY user_code");
    st.Bind(1, policyId);
    std::vector<std::string> users;
    while (st.Step()) users.push_back(st.Text(0));
    return users;
  });
}

TStoreResult<void> InsertPolicy(Database& db, TPolicyRecord& policy) {
  return Guarded([&]() {
    Statement(db, "INSERT INTO policies(name, max_file_size) VALUES(?,?)")
        .Bind(1, policy.name)
        .Bind(2, policy.maxFileSizeMb)
        .Run();
    policy.id = db.LastInsertId();
  });
}

TStoreResult<void> UpdatePolicyLimit(Database& db, std::int64_t policyId,
                                     std::int64_t maxFileSizeMb) {
  return Guarded([&]() {
    Statement(db, "UPDATE policies SET max_file_size = ? WHERE id = ?")
        .Bind(1, maxFileSizeMb)
        .Bind(2, policyId)
        .Run();
  });
}

TStoreResult<void> ReplacePolicyPatterns(Database& db, std::int64_t policyId,
                                         const std::vector<TFilterPattern>& patterns) {
  return ReplacePatternRows(db, PatternTable::kPolicyPatterns, policyId, patterns);
}

TStoreResult<void> RemovePolicy(Database& db, std::int64_t policyId) {
  return Guarded(
      [&]() { Statement(db, "DELETE FROM policies WHERE id = ?").Bind(1, policyId).Run(); });
}

TStoreResult<void> AssignPolicy(Database& db, std::int64_t policyId, const std::string& userCode) {
  return Guarded([&]() {
    Statement(db, "INSERT OR REPLACE INTO policy_users(user_code, policy) VALUES(?,?)")
        .Bind(1, userCode)
        .Bind(2, policyId)
        .Run();
  });
}

TStoreResult<bool> UnassignPolicy(Database& db, std::int64_t policyId,
                                  const std::string& userCode) {
  return Guarded([&]() -> bool {
    Statement(db, "DELETE FROM policy_users WHERE user_code = ? AND policy = ?")
        .Bind(1, userCode)
        .Bind(2, policyId)
        .Run();
    return db.Changes() > 0;
  });
}

}  // namespace solvane::server
