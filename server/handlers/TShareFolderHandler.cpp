// The share area: TShareFolder.SelectFolder (the folder tree),
// TShareFolder.Select (a folder's files; opens a protected folder with its
// password), TShareFolder.Insert, TShareFolder.Update,
// TShareFolder.RemoveFolder and TShareFolder.Remove (a file). Files move
// through TUpDown.* with "TaskKind" 171.

#include "auth/PasswordHash.h"
#include "handlers/Operations.h"
#include "handlers/ShareAccess.h"
#include "handlers/ShareStore.h"
#include "handlers/StorePath.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

// "UAdmin" names the acting user; it may not differ from the session's.
bool RequireActor(TRequestContext& ctx) {
  const std::string actor = ctx.Str("UAdmin");
  if (actor.empty() || actor == ctx.UserCode()) return true;
  return ctx.Fail(kErrForbidden, "UAdmin names another user than the signed-in one");
}

bool ReadFolderId(TRequestContext& ctx, std::string_view field, std::int64_t& id) {
  if (!ctx.RequireInt(field, id)) return false;
  if (id < 0) return ctx.Fail(kErrBadRequest, std::string(field) + " is out of range");
  return true;
}

// Name, comment, read-only flag and parent of Insert and Update.
bool ReadFolderFields(TRequestContext& ctx, TShareFolder& f) {
  if (!ReadFolderId(ctx, "ParentFolderID", f.parentId)) return false;
  f.name = ctx.Str("Name");
  if (!IsValidShareName(f.name))
    return ctx.Fail(kErrBadRequest,
                    "Name must be 1 to 255 bytes without / \\ or control "
                    "characters");
  f.comment = ctx.Str("Comment");
  if (!IsValidShareComment(f.comment))
    return ctx.Fail(kErrBadRequest, "Comment is too long or holds control characters");
  f.isReadOnly = ctx.Bool("IsReadOnly");
  return true;
}

// A new password as typed: nullopt (failure reply set) when unusable.
std::optional<std::string> ReadNewPassword(TRequestContext& ctx, std::string_view field) {
  std::string pwd = ctx.Str(field);
  if (!IsValidSharePassword(pwd) || pwd == kSharePasswordMarker) {
    ctx.Fail(kErrBadRequest, std::string(field) + " is not a usable password");
    return std::nullopt;
  }
  return pwd;
}

// Where a folder may go: the top level or a folder of the same user (only
// checked when the parent changes), never inside itself, and not beside a
// folder of the same name. Runs inside the caller's transaction.
bool CheckPlacement(TRequestContext& ctx, const TShareFolder& f, std::int64_t oldParent) {
  Database& db = ctx.Db();
  if (f.parentId != 0 && f.parentId != oldParent) {
    auto parent = FindShareFolder(db, f.parentId);
    if (!parent.Ok()) return ctx.FailStorage(parent.Error());
    if (!*parent) return ctx.Fail(kErrNotFound, "no such parent folder");
    if ((*parent)->owner != ctx.UserCode())
      return ctx.Fail(kErrForbidden, "folders go only into the user's own folders");
    if (f.id != 0) {
      auto inside = IsWithin(db, f.parentId, f.id);
      if (!inside.Ok()) return ctx.FailStorage(inside.Error());
      if (*inside) return ctx.Fail(kErrConflict, "a folder cannot move into itself");
    }
  }
  auto taken = NameTaken(db, f.parentId, f.name, f.id);
  if (!taken.Ok()) return ctx.FailStorage(taken.Error());
  if (*taken) return ctx.Fail(kErrConflict, "a folder of this name exists there already");
  return true;
}

void SelectFolder(TRequestContext& ctx) {
  auto folders = ListShareFolders(ctx.Db());
  if (!folders.Ok()) return (void)ctx.FailStorage(folders.Error());
  int n = 0;
  for (const TShareFolder& f : *folders) {
    TQorPack& r = ctx.Reply();
    ++n;
    r.AddInteger(n, "ID", f.id);
    r.AddInteger(n, "ParentID", f.parentId);
    r.AddString(n, "Name", f.name);
    r.AddString(n, "Ownner", f.owner);
    r.AddString(n, "Comment", f.comment);
    r.AddBoolean(n, "IsReadOnly", f.isReadOnly);
    // Never the password: only whether there is one.
    r.AddString(n, "AccessPwd", f.HasPassword() ? kSharePasswordMarker : "");
  }
}

// A password that is sent is always checked; an empty one is enough for the
// owner and for a session that opened the folder before.
void Select(TRequestContext& ctx) {
  std::int64_t id = 0;
  if (!ReadFolderId(ctx, "FolderID", id)) return;
  auto found = FindShareFolder(ctx.Db(), id);
  if (!found.Ok()) return (void)ctx.FailStorage(found.Error());
  if (!*found) return (void)ctx.Fail(kErrNotFound, "no such share folder");
  const std::string pwd = ctx.Str("AccessPwd");
  if ((*found)->HasPassword() && !pwd.empty() && !UnlockShareFolder(ctx, **found, pwd)) return;
  auto folder = OpenShareFolder(ctx, id, ShareUse::kList);
  if (!folder) return;
  auto listed = FileStoreOf(ctx).List(ShareStoreOf(*folder), ShareStoreFolder(folder->id));
  if (!listed.Ok()) return (void)ctx.FailStorage(listed.Error());
  int n = 0;
  for (const TListedObject& o : *listed) {
    if (o.isFolder) continue;
    TQorPack& r = ctx.Reply();
    ++n;
    r.AddString(n, "ObjectName", o.name);
    r.AddInteger(n, "ObjectSize", o.size);
    r.AddInteger(n, "ObjectDate", o.objectDate);
  }
}

void Insert(TRequestContext& ctx) {
  TShareFolder f;
  if (!RequireActor(ctx) || !ReadFolderFields(ctx, f)) return;
  const std::string owner = ctx.Str("Owner");
  if (!owner.empty() && owner != ctx.UserCode())
    return (void)ctx.Fail(kErrForbidden, "a share folder belongs to the user who creates it");
  f.owner = ctx.UserCode();
  auto pwd = ReadNewPassword(ctx, "AccessPwd");
  if (!pwd) return;
  if (!pwd->empty()) f.pwdHash = HashPassword(*pwd);  // slow: before the transaction

  Transaction tx(ctx.Db());
  if (!CheckPlacement(ctx, f, -1)) return;
  auto id = InsertShareFolder(ctx.Db(), f);
  if (!id.Ok()) return (void)ctx.FailStorage(id.Error());
  tx.Commit();
  ctx.Reply().AddInteger(1, "FolderID", *id);
}

// "Pwd": the marker keeps the password, empty text removes it, any other
// text becomes the new password.
void Update(TRequestContext& ctx) {
  TShareFolder f;
  if (!RequireActor(ctx) || !ReadFolderId(ctx, "FolderID", f.id) || !ReadFolderFields(ctx, f))
    return;
  const bool keepPassword = ctx.Str("Pwd") == kSharePasswordMarker;
  std::string newHash;
  if (!keepPassword) {
    auto pwd = ReadNewPassword(ctx, "Pwd");
    if (!pwd) return;
    if (!pwd->empty()) newHash = HashPassword(*pwd);
  }

  Transaction tx(ctx.Db());
  auto old = OpenShareFolder(ctx, f.id, ShareUse::kManage);
  if (!old) return;
  const std::string owner = ctx.Str("Owner");
  if (!owner.empty() && owner != old->owner)
    return (void)ctx.Fail(kErrForbidden, "only the administrator hands a share folder over");
  if (!CheckPlacement(ctx, f, old->parentId)) return;
  f.owner = old->owner;
  f.pwdHash = keepPassword ? old->pwdHash : newHash;
  f.pwdVersion = old->pwdVersion;
  if (auto updated = UpdateShareFolder(ctx.Db(), f); !updated.Ok())
    return (void)ctx.FailStorage(updated.Error());
  tx.Commit();
}

void RemoveFolder(TRequestContext& ctx) {
  std::int64_t id = 0;
  if (!RequireActor(ctx) || !ReadFolderId(ctx, "FolderID", id)) return;
  std::optional<TShareFolder> folder;
  {
    Transaction tx(ctx.Db());
    folder = OpenShareFolder(ctx, id, ShareUse::kManage);
    if (!folder) return;
    auto hasSubfolders = HasSubfolders(ctx.Db(), id);
    if (!hasSubfolders.Ok()) return (void)ctx.FailStorage(hasSubfolders.Error());
    if (*hasSubfolders) return (void)ctx.Fail(kErrConflict, "remove the subfolders first");
    // The files go only once the row is gone for good.
    if (auto deleted = DeleteShareFolder(ctx.Db(), id); !deleted.Ok())
      return (void)ctx.FailStorage(deleted.Error());
    tx.Commit();
  }
  TFileStore files = FileStoreOf(ctx);
  if (auto purged = PurgeShareFiles(files, *folder); !purged.Ok())
    ctx.FailStorage("the folder is removed, but its files could not be deleted: " +
                    purged.Error());
}

// Identified by folder and name; size and date are not needed.
void Remove(TRequestContext& ctx) {
  std::int64_t id = 0;
  if (!RequireActor(ctx) || !ctx.RequireOwnUser("UCode") || !ReadFolderId(ctx, "FolderID", id))
    return;
  const std::string name = ctx.Str("ObjectName");
  if (!IsValidObjectName(name))
    return (void)ctx.Fail(kErrBadRequest, "ObjectName is not a valid file name");
  auto folder = OpenShareFolder(ctx, id, ShareUse::kDelete);
  if (!folder) return;
  TFileStore files = FileStoreOf(ctx);
  FoundInStore(ctx, RemoveShareFile(files, *folder, name), "no such file in the share folder");
}

}  // namespace

void RegisterShareOperations(TDispatcher& d) {
  d.Register("TShareFolder.SelectFolder", SelectFolder);
  d.Register("TShareFolder.Select", Select);
  d.Register("TShareFolder.Insert", Insert);
  d.Register("TShareFolder.Update", Update);
  d.Register("TShareFolder.RemoveFolder", RemoveFolder);
  d.Register("TShareFolder.Remove", Remove);
}

}  // namespace solvane::server
