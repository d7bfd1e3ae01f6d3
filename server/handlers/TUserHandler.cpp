// Sign-in and the user's own account: the system profile call, TUser.Login,
// TUser.Regist, TUser.Logout, TUser.SelectOne, TUser.ChangePwd.

#include "handlers/Operations.h"
#include "handlers/Users.h"
#include "protocol/Dispatcher.h"
#include "storage/ProfileStore.h"
#include "storage/UserStore.h"

namespace solvane::server {

namespace {

void GetProfile(TRequestContext& ctx) {
  auto values = TProfileStore(ctx.Db()).All();
  if (!values.Ok()) {
    ctx.FailStorage(values.Error());
    return;
  }
  for (const auto& [key, value] : *values) ctx.Reply().AddString(1, key, value);
}

void Login(TRequestContext& ctx) {
  const std::string code = ctx.Str("UCode");
  const std::string address = ctx.PeerAddress();
  auto& throttle = ctx.Services().throttle;
  if (int wait = throttle.SecondsToWait(code, address); wait > 0) {
    ctx.Fail(kErrTooManyAttempts,
             "too many failed sign-ins; try again in " + std::to_string(wait) + " s");
    return;
  }
  auto passwordOk = CheckUserPassword(ctx.Db(), code, ctx.Str("UPwd"));
  if (!passwordOk.Ok()) {
    ctx.FailStorage(passwordOk.Error());
    return;
  }
  if (!*passwordOk) {
    throttle.Failed(code, address);
    ctx.Fail(kErrWrongPassword, "wrong user code or password");
    return;
  }
  throttle.Succeeded(code, address);
  auto found = TUserStore(ctx.Db()).Find(code);
  if (!found.Ok()) {
    ctx.FailStorage(found.Error());
    return;
  }
  const auto& user = *found;
  if (!user) {
    ctx.Fail(kErrNotFound, "no such user");
    return;
  }
  std::string token = ctx.Services().sessions.Create(code, address);
  TQorPack& r = ctx.Reply();
  r.AddString(1, "UCode", user->code);
  r.AddString(1, "Name", user->name);
  r.AddBoolean(1, "IsAdmin", user->isAdmin);
  r.AddBoolean(1, "IsCanDelete", user->canDelete);
  r.AddString(1, "Token", token);
}

void Regist(TRequestContext& ctx) {
  if (!ctx.RequireOwnUser("UCode")) return;
  std::string ip = ctx.Str("UIPAddr");
  auto recorded = TUserStore(ctx.Db()).RecordLogin(ctx.UserCode(), ctx.Str("LoginTime"),
                                                   ip.empty() ? ctx.PeerAddress() : ip);
  if (!recorded.Ok()) ctx.FailStorage(recorded.Error());
}

void Logout(TRequestContext& ctx) {
  if (!ctx.RequireOwnUser("UCode")) return;
  auto removed = ctx.Services().sessions.Remove(ctx.Session()->tokenHash);
  if (!removed.Ok()) ctx.FailStorage(removed.Error());
}

void SelectOne(TRequestContext& ctx) {
  if (!ctx.RequireOwnUser("UCode")) return;
  auto found = TUserStore(ctx.Db()).Find(ctx.UserCode());
  if (!found.Ok()) {
    ctx.FailStorage(found.Error());
    return;
  }
  const auto& user = *found;
  if (!user) {
    ctx.Fail(kErrNotFound, "no such user");
    return;
  }
  auto usedMb = UsedSpaceMb(ctx.Db(), user->code);
  if (!usedMb.Ok()) {
    ctx.FailStorage(usedMb.Error());
    return;
  }
  TQorPack& r = ctx.Reply();
  r.AddString(1, "Code", user->code);
  r.AddString(1, "Name", user->name);
  r.AddInteger(1, "TotalSpace", user->spaceMb);
  r.AddInteger(1, "UsedSpace", *usedMb);
  r.AddBoolean(1, "IsAdmin", user->isAdmin);
  r.AddBoolean(1, "IsCanDelete", user->canDelete);
}

void ChangePwd(TRequestContext& ctx) {
  if (!ctx.RequireOwnUser("UCode")) return;
  const std::string newPwd = ctx.Str("UNewPwd");
  if (newPwd.empty()) {
    ctx.Fail(kErrBadRequest, "the new password is empty");
    return;
  }
  auto& throttle = ctx.Services().throttle;
  if (int wait = throttle.SecondsToWait(ctx.UserCode(), ctx.PeerAddress()); wait > 0) {
    ctx.Fail(kErrTooManyAttempts, "too many failed attempts; try again later");
    return;
  }
  auto passwordOk = CheckUserPassword(ctx.Db(), ctx.UserCode(), ctx.Str("UOldPwd"));
  if (!passwordOk.Ok()) {
    ctx.FailStorage(passwordOk.Error());
    return;
  }
  if (!*passwordOk) {
    throttle.Failed(ctx.UserCode(), ctx.PeerAddress());
    ctx.Fail(kErrWrongPassword, "the old password is wrong");
    return;
  }
  auto changed = SetUserPassword(ctx.Db(), ctx.UserCode(), newPwd);
  if (!changed.Ok()) ctx.FailStorage(changed.Error());
}

}  // namespace

void RegisterUserOperations(TDispatcher& d) {
  d.Register(kProfileOperation, GetProfile, /*needsSession=*/false);
  d.Register("TUser.Login", Login, /*needsSession=*/false);
  d.Register("TUser.Regist", Regist);
  d.Register("TUser.Logout", Logout);
  d.Register("TUser.SelectOne", SelectOne);
  d.Register("TUser.ChangePwd", ChangePwd);
}

}  // namespace solvane::server
