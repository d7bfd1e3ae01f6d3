// `admin auth mode|list|revoke`: the security mode and the permissions
// between users. In standard mode managers (`user set --manager`) view the
// stores of their users; in secure mode users grant each other permissions.

#include "admin/AdminCli.h"
#include "storage/PermissionStore.h"

namespace solvane::server {

namespace {

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

const char* ModeName(SecurityMode mode) {
  return mode == SecurityMode::kSecure ? "1 (secure: permissions between users)"
                                       : "0 (standard: managers view their users)";
}

int Mode(TAdminContext& ctx, const TAdminArgs& a) {
  if (!a.positional.empty()) {
    const std::string& text = a.positional[0];
    if (text != "0" && text != "1") return Fail(ctx, "the security mode is 0 or 1");
    auto set =
        SetSecurityMode(ctx.db, text == "1" ? SecurityMode::kSecure : SecurityMode::kStandard);
    if (!set.Ok()) return Fail(ctx, set.Error());
  }
  auto mode = CurrentSecurityMode(ctx.db);
  if (!mode.Ok()) return Fail(ctx, mode.Error());
  ctx.out << "security mode " << ModeName(*mode) << "\n";
  return 0;
}

int List(TAdminContext& ctx, const TAdminArgs&) {
  auto mode = CurrentSecurityMode(ctx.db);
  if (!mode.Ok()) return Fail(ctx, mode.Error());
  auto permissions = ListPermissions(ctx.db);
  if (!permissions.Ok()) return Fail(ctx, permissions.Error());
  ctx.out << "security mode " << ModeName(*mode) << "\n";
  ctx.out << "viewer\tviewed\tsince\n";
  for (const TPermission& p : *permissions)
    ctx.out << p.sender << "\t" << p.receiver << "\t" << p.authDate << "\n";
  return 0;
}

int Revoke(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& viewer = a.positional[0];
  const std::string& viewed = a.positional[1];
  auto revoked = RevokePermission(ctx.db, viewer, viewed);
  if (!revoked.Ok()) return Fail(ctx, revoked.Error());
  if (!*revoked)
    return Fail(ctx, "'" + viewer + "' holds no permission on the stores of '" + viewed + "'");
  ctx.out << "revoked the permission of " << viewer << " on " << viewed << "\n";
  return 0;
}

}  // namespace

void RegisterAdminAuthCommands(TAdminRegistry& r) {
  r.Add({"auth",
         "mode",
         "auth mode [0|1]",
         "show or set the security mode: 0 standard (managers view their users), 1 secure "
         "(users grant permissions)",
         0,
         1,
         {},
         Mode});
  r.Add(
      {"auth", "list", "auth list", "list the permissions granted between users", 0, 0, {}, List});
  r.Add({"auth",
         "revoke",
         "auth revoke VIEWER VIEWED",
         "end the permission of VIEWER on the stores of VIEWED",
         2,
         2,
         {},
         Revoke});
}

}  // namespace solvane::server
