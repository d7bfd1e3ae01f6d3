// `admin user add|passwd|list|set`.

#include "admin/AdminCli.h"
#include "auth/PasswordHash.h"
#include "handlers/Users.h"
#include "storage/UserStore.h"

namespace solvane::server {

namespace {

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

int Done(TAdminContext& ctx, const TStoreResult<void>& result, const std::string& message) {
  if (!result.Ok()) return Fail(ctx, result.Error());
  ctx.out << message << "\n";
  return 0;
}

int AddUser(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  if (!IsValidUserCode(code))
    return Fail(ctx, "user code must be 1 to 32 characters without / \\ | = or control characters");
  if (!a.Has("password") || a.Get("password").empty())
    return Fail(ctx, "--password PW is required");
  auto existing = TUserStore(ctx.db).Find(code);
  if (!existing.Ok()) return Fail(ctx, existing.Error());
  if (*existing) return Fail(ctx, "user '" + code + "' exists already");
  auto defaultSpace = DefaultUserSpaceMb(ctx.db);
  if (!defaultSpace.Ok()) return Fail(ctx, defaultSpace.Error());
  std::int64_t space = *defaultSpace;
  if (a.Has("space")) {
    auto mb = ParseWholeNumber(a.Get("space"));
    if (!mb) return Fail(ctx, "--space takes a whole number of megabytes");
    space = *mb;
  }
  if (a.Has("manager")) {
    auto manager = TUserStore(ctx.db).Find(a.Get("manager"));
    if (!manager.Ok()) return Fail(ctx, manager.Error());
    if (!*manager) return Fail(ctx, "no user '" + a.Get("manager") + "' to be the manager");
  }
  TUserRecord user{code, a.Get("name", code), a.Has("admin"), a.Has("can-delete"), space,
                   a.Get("manager")};
  return Done(ctx, TUserStore(ctx.db).Insert(user, HashPassword(a.Get("password"))),
              "added user " + code);
}

int ChangePassword(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  auto user = TUserStore(ctx.db).Find(code);
  if (!user.Ok()) return Fail(ctx, user.Error());
  if (!*user) return Fail(ctx, "no user '" + code + "'");
  if (a.Get("password").empty()) return Fail(ctx, "--password PW is required");
  return Done(ctx, SetUserPassword(ctx.db, code, a.Get("password")),
              "password of " + code + " changed");
}

int ListAll(TAdminContext& ctx, const TAdminArgs&) {
  auto users = TUserStore(ctx.db).List();
  if (!users.Ok()) return Fail(ctx, users.Error());
  ctx.out << "code\tname\tadmin\tcan-delete\tspace-mb\tused-mb\tmanager\n";
  for (const auto& u : *users) {
    auto usedMb = UsedSpaceMb(ctx.db, u.code);
    if (!usedMb.Ok()) return Fail(ctx, usedMb.Error());
    ctx.out << u.code << "\t" << u.name << "\t" << u.isAdmin << "\t" << u.canDelete << "\t"
            << u.spaceMb << "\t" << *usedMb << "\t" << u.manager << "\n";
  }
  return 0;
}

int SetUser(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  auto user = TUserStore(ctx.db).Find(code);
  if (!user.Ok()) return Fail(ctx, user.Error());
  if (!*user) return Fail(ctx, "no user '" + code + "'");
  if (a.options.empty()) return Fail(ctx, "name at least one option to change");
  TUserRecord u = **user;
  if (a.Has("name")) {
    if (a.Get("name").empty()) return Fail(ctx, "--name must not be empty");
    u.name = a.Get("name");
  }
  if (a.Has("manager")) {
    const std::string m = a.Get("manager");
    if (m == code) return Fail(ctx, "a user cannot be his own manager");
    if (!m.empty()) {
      auto manager = TUserStore(ctx.db).Find(m);
      if (!manager.Ok()) return Fail(ctx, manager.Error());
      if (!*manager) return Fail(ctx, "no user '" + m + "'");
    }
    u.manager = m;
  }
  if (a.Has("space")) {
    auto mb = ParseWholeNumber(a.Get("space"));
    if (!mb) return Fail(ctx, "--space takes a whole number of megabytes");
    u.spaceMb = *mb;
  }
  for (auto [option, field] : {std::pair{"admin", &u.isAdmin}, {"can-delete", &u.canDelete}}) {
    if (!a.Has(option)) continue;
    auto b = ParseSwitch(a.Get(option));
    if (!b) return Fail(ctx, std::string("--") + option + " takes 0 or 1");
    *field = *b;
  }
  return Done(ctx, TUserStore(ctx.db).Update(u), "changed user " + code);
}

}  // namespace

void RegisterAdminUserCommands(TAdminRegistry& r) {
  r.Add({"user", "add",
         "user add CODE --name NAME --password PW [--admin] [--can-delete] [--space MB] "
         "[--manager CODE]",
         "create a user (space defaults to the profile's default user space)", 1, 1,
         {"name", "password", "admin", "can-delete", "space", "manager"}, AddUser});
  r.Add({"user", "passwd", "user passwd CODE --password PW", "set a user's password", 1, 1,
         {"password"}, ChangePassword});
  r.Add({"user", "list", "user list", "list every user with rights and space", 0, 0, {},
         ListAll});
  r.Add({"user", "set",
         "user set CODE [--name NAME] [--manager CODE] [--space MB] [--admin 0|1] "
         "[--can-delete 0|1]",
         "change a user's manager, space or rights", 1, 1,
         {"name", "manager", "space", "admin", "can-delete"}, SetUser});
}

}  // namespace solvane::server
