#pragma once
// The administrator's policies: a size limit and include/exclude patterns
// that every upload task of an assigned user applies on top of its own
// filter. A user has at most one policy.
//
// Writing functions REQUIRE a transaction of the caller; reading functions
// take the database lock themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"
#include "storage/TaskStore.h"

namespace solvane::server {

struct TPolicyRecord {
  std::int64_t id = 0;
  std::string name;
  std::int64_t maxFileSizeMb = -1;  // -1: no limit
};

TStoreResult<std::optional<TPolicyRecord>> FindPolicy(Database& db, const std::string& name);
TStoreResult<std::optional<TPolicyRecord>> PolicyOfUser(Database& db, const std::string& userCode);
TStoreResult<std::vector<TPolicyRecord>> ListPolicies(Database& db);
// Include patterns first, each group in stored order.
TStoreResult<std::vector<TFilterPattern>> PolicyPatterns(Database& db, std::int64_t policyId);
TStoreResult<std::vector<std::string>> PolicyUsers(Database& db, std::int64_t policyId);

// Sets policy.id.
TStoreResult<void> InsertPolicy(Database& db, TPolicyRecord& policy);
TStoreResult<void> UpdatePolicyLimit(Database& db, std::int64_t policyId,
                                     std::int64_t maxFileSizeMb);
TStoreResult<void> ReplacePolicyPatterns(Database& db, std::int64_t policyId,
                                         const std::vector<TFilterPattern>& patterns);
// Removes the policy and its assignments.
TStoreResult<void> RemovePolicy(Database& db, std::int64_t policyId);
// Gives the user this policy in place of any earlier one.
TStoreResult<void> AssignPolicy(Database& db, std::int64_t policyId, const std::string& userCode);
// False when the user did not have this policy.
TStoreResult<bool> UnassignPolicy(Database& db, std::int64_t policyId, const std::string& userCode);

}  // namespace solvane::server
