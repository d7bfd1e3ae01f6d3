#include "handlers/TaskAccess.h"

#include "storage/PermissionStore.h"

namespace solvane::server {

bool MayAccessTasksOf(TRequestContext& ctx, const std::string& owner, TTaskAccess access) {
  if (ctx.UserCode().empty()) return false;
  if (owner == ctx.UserCode()) return true;
  // A viewer of the user's stores also reads what his tasks did with them.
  if (access != TTaskAccess::kRead) return false;
  auto may = MayViewStoresOf(ctx.Db(), ctx.UserCode(), owner);
  if (!may.Ok()) return ctx.FailStorage(may.Error());
  return *may;
}

std::optional<std::string> TaskUserOf(TRequestContext& ctx, TTaskAccess access) {
  const std::string actor = ctx.Str("UAdmin");
  if (!actor.empty() && actor != ctx.UserCode()) {
    ctx.Fail(kErrForbidden, "UAdmin names another user than the signed-in one");
    return std::nullopt;
  }
  std::string user = ctx.Str("UCode");
  if (user.empty()) user = ctx.UserCode();
  if (!MayAccessTasksOf(ctx, user, access)) {
    if (ctx.Failed()) return std::nullopt;  // the store could not tell
    ctx.Fail(kErrForbidden, access == TTaskAccess::kRead
                                ? "the tasks and logs of another user are not yours to read"
                                : "the tasks and runs of another user are not yours to change");
    return std::nullopt;
  }
  return user;
}

}  // namespace solvane::server
