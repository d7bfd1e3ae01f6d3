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

#include "storage/TaskStore.h"
#include "storage/Database.h"

namespace solvane::server {

struct TPolicyRecord {
  std::int64_t id = 0;
  std::string name;
  std::int64_t maxFileSizeMb = -1;  // -1: no limit
};

std::optional<TPolicyRecord> FindPolicy(Database& db, const std::string& name);
std::optional<TPolicyRecord> PolicyOfUser(Database& db, const std::string& userCode);
std::vector<TPolicyRecord> ListPolicies(Database& db);
// Include patterns first, each group in stored order.
std::vector<TFilterPattern> PolicyPatterns(Database& db, std::int64_t policyId);
std::vector<std::string> PolicyUsers(Database& db, std::int64_t policyId);

// Sets policy.id.
void InsertPolicy(Database& db, TPolicyRecord& policy);
void UpdatePolicyLimit(Database& db, std::int64_t policyId, std::int64_t maxFileSizeMb);
void ReplacePolicyPatterns(Database& db, std::int64_t policyId,
                           const std::vector<TFilterPattern>& patterns);
// Removes the policy and its assignments.
void RemovePolicy(Database& db, std::int64_t policyId);
// Gives the user this policy in place of any earlier one.
void AssignPolicy(Database& db, std::int64_t policyId, const std::string& userCode);
// False when the user did not have this policy.
bool UnassignPolicy(Database& db, std::int64_t policyId, const std::string& userCode);

}  // namespace solvane::server
