// The administrator's policy for the signed-in user: TPolicy.SelectByUser
// and TPolicy.GetFileObject_Filter.

#include "storage/PolicyStore.h"
#include "handlers/TaskAccess.h"
#include "handlers/TaskHandlers.h"
#include "handlers/TaskRequest.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

// One record when the user has a policy, none when he has not.
void SelectByUser(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  if (!user) return;
  auto found = PolicyOfUser(ctx.Db(), *user);
  if (!found.Ok()) return (void)ctx.FailStorage(found.Error());
  const auto& policy = *found;
  if (!policy) return;
  ctx.Reply().AddInteger(1, "PolicyID", policy->id);
  ctx.Reply().AddInteger(1, "MaxFileSize", policy->maxFileSizeMb);
}

void GetFileObjectFilter(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t policyId = 0;
  if (!user || !ctx.RequireInt("PID", policyId)) return;
  auto found = PolicyOfUser(ctx.Db(), *user);
  if (!found.Ok()) return (void)ctx.FailStorage(found.Error());
  const auto& policy = *found;
  if (!policy || policy->id != policyId)
    return (void)ctx.Fail(kErrForbidden, "this policy is not assigned to the user");
  auto patterns = PolicyPatterns(ctx.Db(), policyId);
  if (!patterns.Ok()) return (void)ctx.FailStorage(patterns.Error());
  int n = 0;
  for (const auto& p : *patterns) {
    ++n;
    ctx.Reply().AddString(n, "FilterStr", p.pattern);
    ctx.Reply().AddBoolean(n, "FilterKind", p.isInclude);
  }
}

}  // namespace

void RegisterPolicyOperations(TDispatcher& d) {
  d.Register("TPolicy.SelectByUser", SelectByUser);
  d.Register("TPolicy.GetFileObject_Filter", GetFileObjectFilter);
}

}  // namespace solvane::server
