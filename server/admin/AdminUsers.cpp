// `admin user add|passwd|list|set`.

#include "admin/AdminCli.h"
#include "auth/PasswordHash.h"
#include "handlers/Users.h"
#include "storage/Database.h"

namespace solvane::server {

namespace {

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

int AddUser(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  if (!IsValidUserCode(code))
    return Fail(ctx, "user code must be 1 to 32 characters without / \\ | = or control characters");
  if (!a.Has("password") || a.Get("password").empty())
    return Fail(ctx, "--password PW is required");
  if (FindUser(ctx.db, code)) return Fail(ctx, "user '" + code + "' exists already");
  std::int64_t space = DefaultUserSpaceMb(ctx.db);
  if (a.Has("space")) {
    auto mb = ParseWholeNumber(a.Get("space"));
    if (!mb) return Fail(ctx, "--space takes a whole number of megabytes");
    space = *mb;
  }
  if (a.Has("manager") && !FindUser(ctx.db, a.Get("manager")))
    return Fail(ctx, "no user '" + a.Get("manager") + "' to be the manager");
  std::string hash = HashPassword(a.Get("password"));
  auto lock = ctx.db.Lock();
  Statement(ctx.db,
            "INSERT INTO users(code, name, pwd_hash, is_admin, can_delete, space_mb, manager) "
            "VALUES(?,?,?,?,?,?,?)")
      .Bind(1, code)
      .Bind(2, a.Get("name", code))
      .Bind(3, hash)
      .Bind(4, a.Has("admin"))
      .Bind(5, a.Has("can-delete"))
      .Bind(6, space)
      .Bind(7, a.Get("manager"))
      .Run();
  ctx.out << "added user " << code << "\n";
  return 0;
}

int ChangePassword(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  if (!FindUser(ctx.db, code)) return Fail(ctx, "no user '" + code + "'");
  if (a.Get("password").empty()) return Fail(ctx, "--password PW is required");
  SetUserPassword(ctx.db, code, a.Get("password"));
  ctx.out << "password of " << code << " changed\n";
  return 0;
}

int ListAll(TAdminContext& ctx, const TAdminArgs&) {
  ctx.out << "code\tname\tadmin\tcan-delete\tspace-mb\tused-mb\tmanager\n";
  for (const auto& u : ListUsers(ctx.db))
    ctx.out << u.code << "\t" << u.name << "\t" << u.isAdmin << "\t" << u.canDelete << "\t"
            << u.spaceMb << "\t" << UsedSpaceMb(ctx.db, u.code) << "\t" << u.manager << "\n";
  return 0;
}

int SetUser(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string code = a.positional[0];
  auto user = FindUser(ctx.db, code);
  if (!user) return Fail(ctx, "no user '" + code + "'");
  if (a.options.empty()) return Fail(ctx, "name at least one option to change");
  TUserRecord u = *user;
  if (a.Has("name")) {
    if (a.Get("name").empty()) return Fail(ctx, "--name must not be empty");
    u.name = a.Get("name");
  }
  if (a.Has("manager")) {
    const std::string m = a.Get("manager");
    if (m == code) return Fail(ctx, "a user cannot be his own manager");
    if (!m.empty() && !FindUser(ctx.db, m)) return Fail(ctx, "no user '" + m + "'");
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
  auto lock = ctx.db.Lock();
  Statement(ctx.db,
            "UPDATE users SET name=?, manager=?, space_mb=?, is_admin=?, can_delete=? "
            "WHERE code=?")
      .Bind(1, u.name)
      .Bind(2, u.manager)
      .Bind(3, u.spaceMb)
      .Bind(4, u.isAdmin)
      .Bind(5, u.canDelete)
      .Bind(6, code)
      .Run();
  ctx.out << "changed user " << code << "\n";
  return 0;
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
