#include "handlers/ShareAccess.h"

#include "auth/PasswordHash.h"
#include "wire/QorWithText.h"

namespace solvane::server {

namespace {

// Sessions remember unlocked folders by this key, which changes with every
// new password of the folder.
std::int64_t UnlockKey(const TShareFolder& f) { return (f.pwdVersion << 32) | (f.id & 0xFFFFFFFF); }

bool IsUnlocked(TRequestContext& ctx, const TShareFolder& f) {
  return ctx.Session() &&
         ctx.Services().sessions.IsUnlocked(ctx.Session()->tokenHash, UnlockKey(f));
}

TLoginThrottle& PasswordThrottle() {
  static TLoginThrottle throttle;
  return throttle;
}

}  // namespace

std::optional<TShareFolder> OpenShareFolder(TRequestContext& ctx, std::int64_t id, ShareUse use) {
  auto found = FindShareFolder(ctx.Db(), id);
  if (!found.Ok()) {
    ctx.FailStorage(found.Error());
    return std::nullopt;
  }
  auto& folder = *found;
  if (!folder) {
    ctx.Fail(kErrNotFound, "no such share folder");
    return std::nullopt;
  }
  const bool owner = !ctx.UserCode().empty() && folder->owner == ctx.UserCode();
  if (owner) return folder;
  if (use == ShareUse::kManage) {
    ctx.Fail(kErrForbidden, "only the owner of a share folder may change or remove it");
    return std::nullopt;
  }
  if (folder->HasPassword() && !IsUnlocked(ctx, *folder)) {
    ctx.Fail(kErrForbidden, "the share folder is locked: open it with its password first");
    return std::nullopt;
  }
  if ((use == ShareUse::kUpload || use == ShareUse::kDelete) && folder->isReadOnly) {
    ctx.Fail(kErrForbidden, "the share folder is read-only: only its owner adds or deletes files");
    return std::nullopt;
  }
  return folder;
}

bool UnlockShareFolder(TRequestContext& ctx, const TShareFolder& folder,
                       const std::string& password) {
  const std::string key = ctx.UserCode() + "|" + std::to_string(folder.id);
  auto& throttle = PasswordThrottle();
  if (int wait = throttle.SecondsToWait(key, ctx.PeerAddress()); wait > 0)
    return ctx.Fail(kErrTooManyAttempts,
                    "too many wrong passwords; try again in " + std::to_string(wait) + " s");
  if (!VerifyPassword(password, folder.pwdHash)) {
    throttle.Failed(key, ctx.PeerAddress());
    return ctx.Fail(kErrWrongPassword, "wrong password for the share folder");
  }
  throttle.Succeeded(key, ctx.PeerAddress());
  if (ctx.Session()) ctx.Services().sessions.Unlock(ctx.Session()->tokenHash, UnlockKey(folder));
  return true;
}

bool IsShareTransfer(TRequestContext& ctx) {
  std::int64_t kind = 0;
  return ParseInt64(ctx.Str("TaskKind"), kind) && kind == kShareStore;
}

bool ReadShareTransfer(TRequestContext& ctx, StoreAccess access, TStoreRef& store,
                       std::string& folder, std::string& name) {
  if (!ctx.RequireOwnUser("UCode")) return false;
  std::int64_t id = 0;
  if (!ctx.RequireInt("ObjectData", id)) return false;
  name = ctx.Str("ObjectName");
  if (!IsValidObjectName(name))
    return ctx.Fail(kErrBadRequest, "ObjectName is not a valid file name");
  auto f = OpenShareFolder(ctx, id,
                           access == StoreAccess::kRead ? ShareUse::kDownload : ShareUse::kUpload);
  if (!f) return false;
  store = ShareStoreOf(*f);
  folder = ShareStoreFolder(f->id);
  return true;
}

}  // namespace solvane::server
