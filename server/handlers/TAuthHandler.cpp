// Permissions between users: TUser.Select (every user, for the request
// dialog), TAuth.Select (whom I may view / who may view me),
// TAuth.SelectMessage (pending requests), TAuth.SendMessage (ask),
// TAuth.ReceiveMessage (approve or reject) and TAuth.Repeal (revoke).
// Every user named as the acting side must be the session's user.

#include "handlers/ClientText.h"
#include "handlers/Operations.h"
#include "storage/PermissionStore.h"
#include "storage/UserStore.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

constexpr std::size_t kMaxRequestTextBytes = 2048;

// `field` names the session's user (an empty field stands for him too).
bool RequireSelf(TRequestContext& ctx, std::string_view field) {
  const std::string named = ctx.Str(field);
  if (named.empty() || named == ctx.UserCode()) return true;
  return ctx.Fail(kErrForbidden, std::string(field) + " must be the signed-in user");
}

// `field` names an existing user other than the session's.
bool ReadOtherUser(TRequestContext& ctx, std::string_view field, std::string& code) {
  code = ctx.Str(field);
  if (code.empty()) return ctx.Fail(kErrBadRequest, std::string(field) + " is missing");
  if (code == ctx.UserCode())
    return ctx.Fail(kErrBadRequest, "a user needs no permission of his own");
  auto known = TUserStore(ctx.Db()).Exists(code);
  if (!known.Ok()) return ctx.FailStorage(known.Error());
  if (!*known) return ctx.Fail(kErrNotFound, "no such user");
  return true;
}

// "0" or "1" (missing: 0).
bool ReadDirection(TRequestContext& ctx, int& direction) {
  const std::string text = ctx.Str("Direction");
  if (text.empty() || text == "0") {
    direction = 0;
  } else if (text == "1") {
    direction = 1;
  } else {
    return ctx.Fail(kErrBadRequest, "Direction must be 0 or 1");
  }
  return true;
}

// A request's texts may keep line breaks as the character 2.
bool IsRequestText(std::string_view text) {
  return IsFrameSafeText(text, kMaxRequestTextBytes, true);
}

void SelectUsers(TRequestContext& ctx) {
  auto users = TUserStore(ctx.Db()).List();
  if (!users.Ok()) {
    ctx.FailStorage(users.Error());
    return;
  }
  int n = 0;
  for (const TUserRecord& u : *users) {
    ++n;
    ctx.Reply().AddString(n, "Code", u.code);
    ctx.Reply().AddString(n, "Name", u.name);
  }
}

// The server's own mode decides; the client's "KRN_SecurityMode" is only
// the mode it fetched with the profile.
void Select(TRequestContext& ctx) {
  int direction = 0;
  if (!RequireSelf(ctx, "UCode") || !ReadDirection(ctx, direction)) return;
  auto links = ViewLinks(ctx.Db(), ctx.UserCode(), static_cast<ViewDirection>(direction));
  if (!links.Ok()) return (void)ctx.FailStorage(links.Error());
  int n = 0;
  for (const TViewLink& l : *links) {
    ++n;
    ctx.Reply().AddString(n, "UCode", l.user);
    ctx.Reply().AddString(n, "UName", l.name);
    ctx.Reply().AddString(n, "AuthDate", l.since);
  }
}

// Direction 0: requests awaiting the user's decision; 1: the requests he
// sent. "UName" names the other party; "Receiver" closes every record.
void SelectMessage(TRequestContext& ctx) {
  int direction = 0;
  if (!RequireSelf(ctx, "UCode") || !ReadDirection(ctx, direction)) return;
  auto requests = PendingRequests(ctx.Db(), ctx.UserCode(), static_cast<RequestBox>(direction));
  if (!requests.Ok()) return (void)ctx.FailStorage(requests.Error());
  int n = 0;
  for (const TAuthRequest& r : *requests) {
    TQorPack& p = ctx.Reply();
    ++n;
    p.AddString(n, "Sender", r.sender);
    p.AddString(n, "UName", r.otherName);
    p.AddString(n, "Context", r.context);
    p.AddString(n, "SendDate", r.sendDate);
    p.AddString(n, "Comment", r.comment);
    p.AddString(n, "Receiver", r.receiver);
  }
}

void SendMessage(TRequestContext& ctx) {
  std::string receiver;
  if (!RequireSelf(ctx, "UAdmin") || !RequireSelf(ctx, "Sender")) return;
  auto mode = CurrentSecurityMode(ctx.Db());
  if (!mode.Ok()) return (void)ctx.FailStorage(mode.Error());
  if (*mode != SecurityMode::kSecure)
    return (void)ctx.Fail(kErrConflict, "requests are made in the secure mode only");
  if (!ReadOtherUser(ctx, "Receiver", receiver)) return;
  const std::string context = ctx.Str("Context"), comment = ctx.Str("Comment");
  if (context.empty()) return (void)ctx.Fail(kErrBadRequest, "Context is empty");
  if (!IsRequestText(context) || !IsRequestText(comment))
    return (void)ctx.Fail(kErrBadRequest, "Context or Comment is too long or unclean");
  auto sent = SendAuthRequest(ctx.Db(), ctx.UserCode(), receiver, context, comment);
  if (!sent.Ok())
    ctx.FailStorage(sent.Error());
  else if (*sent == SendOutcome::kAlreadyGranted)
    ctx.Fail(kErrConflict, "the permission exists already");
}

void ReceiveMessage(TRequestContext& ctx) {
  std::string sender;
  if (!RequireSelf(ctx, "UAdmin") || !RequireSelf(ctx, "Receiver") ||
      !ReadOtherUser(ctx, "Sender", sender))
    return;
  const std::string allowed = ctx.Str("IsAllowed");
  if (allowed != "0" && allowed != "1")
    return (void)ctx.Fail(kErrBadRequest, "IsAllowed must be 1 or 0");
  auto decided =
      DecideAuthRequest(ctx.Db(), ctx.UserCode(), sender, ctx.Str("SendDate"), allowed == "1");
  if (!decided.Ok())
    ctx.FailStorage(decided.Error());
  else if (!*decided)
    ctx.Fail(kErrNotFound, "no such pending request");
}

void Repeal(TRequestContext& ctx) {
  std::string sender;
  if (!RequireSelf(ctx, "UAdmin") || !RequireSelf(ctx, "Receiver") ||
      !ReadOtherUser(ctx, "Sender", sender))
    return;
  auto revoked = RevokePermission(ctx.Db(), sender, ctx.UserCode());
  if (!revoked.Ok())
    ctx.FailStorage(revoked.Error());
  else if (!*revoked)
    ctx.Fail(kErrNotFound, "this user holds no permission on the signed-in user's stores");
}

}  // namespace

void RegisterAuthOperations(TDispatcher& d) {
  d.Register("TUser.Select", SelectUsers);
  d.Register("TAuth.Select", Select);
  d.Register("TAuth.SelectMessage", SelectMessage);
  d.Register("TAuth.SendMessage", SendMessage);
  d.Register("TAuth.ReceiveMessage", ReceiveMessage);
  d.Register("TAuth.Repeal", Repeal);
}

}  // namespace solvane::server
