// `admin share list|add|set|remove`: the share folders. The administrator
// may also hand a folder over to another owner (its files follow) and place
// folders anywhere in the tree.

#include "admin/AdminCli.h"
#include "auth/PasswordHash.h"
#include "handlers/ShareStore.h"
#include "storage/UserStore.h"
#include "storage/DataDirectory.h"

namespace solvane::server {

namespace {

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

std::optional<std::int64_t> ReadId(TAdminContext& ctx, const std::string& text,
                                   const std::string& what) {
  auto id = ParseWholeNumber(text);
  if (!id) Fail(ctx, what + " takes a folder number");
  return id;
}

// The options that add and set share: each check writes its own error.
bool ReadOptions(TAdminContext& ctx, const TAdminArgs& a, TShareFolder& f) {
  if (a.Has("name")) f.name = a.Get("name");
  if (!IsValidShareName(f.name)) {
    Fail(ctx, "a folder name is 1 to 255 bytes without / \\ or control characters");
    return false;
  }
  if (a.Has("comment")) f.comment = a.Get("comment");
  if (!IsValidShareComment(f.comment)) {
    Fail(ctx, "--comment is too long or holds control characters");
    return false;
  }
  if (a.Has("read-only")) {
    auto b = ParseSwitch(a.Get("read-only"));
    if (!b) {
      Fail(ctx, "--read-only takes 0 or 1");
      return false;
    }
    f.isReadOnly = *b;
  }
  if (a.Has("owner")) {
    f.owner = a.Get("owner");
    auto known = TUserStore(ctx.db).Exists(f.owner);
    if (!known.Ok() || !*known) {
      Fail(ctx, known.Ok() ? "no user '" + f.owner + "'" : known.Error());
      return false;
    }
  }
  if (a.Has("parent")) {
    auto parent = ReadId(ctx, a.Get("parent"), "--parent");
    if (!parent) return false;
    if (*parent != 0) {
      auto found = FindShareFolder(ctx.db, *parent);
      if (!found.Ok() || !*found) {
        Fail(ctx, found.Ok() ? "no share folder " + std::to_string(*parent) + " to be the parent"
                             : found.Error());
        return false;
      }
    }
    if (f.id != 0 && *parent != 0) {
      auto inside = IsWithin(ctx.db, *parent, f.id);
      if (!inside.Ok() || *inside) {
        Fail(ctx, inside.Ok() ? "a folder cannot move into itself" : inside.Error());
        return false;
      }
    }
    f.parentId = *parent;
  }
  if (a.Has("password")) {
    const std::string pwd = a.Get("password");
    if (pwd.empty() || !IsValidSharePassword(pwd) || pwd == kSharePasswordMarker) {
      Fail(ctx, "--password takes 1 to 128 bytes without control characters (not \"******\")");
      return false;
    }
    f.pwdHash = HashPassword(pwd);
  }
  auto taken = NameTaken(ctx.db, f.parentId, f.name, f.id);
  if (!taken.Ok() || *taken) {
    Fail(ctx, taken.Ok() ? "a folder named '" + f.name + "' exists there already" : taken.Error());
    return false;
  }
  return true;
}

int List(TAdminContext& ctx, const TAdminArgs&) {
  auto folders = ListShareFolders(ctx.db);
  if (!folders.Ok()) return Fail(ctx, folders.Error());
  ctx.out << "id\tparent\tname\towner\tread-only\tpassword\tcomment\n";
  for (const TShareFolder& f : *folders)
    ctx.out << f.id << "\t" << f.parentId << "\t" << f.name << "\t" << f.owner << "\t"
            << f.isReadOnly << "\t" << (f.HasPassword() ? "yes" : "no") << "\t" << f.comment
            << "\n";
  return 0;
}

int Add(TAdminContext& ctx, const TAdminArgs& a) {
  if (!a.Has("owner")) return Fail(ctx, "--owner CODE is required");
  TShareFolder f;
  f.name = a.positional[0];
  f.isReadOnly = true;  // as the client's folder dialog starts
  if (!ReadOptions(ctx, a, f)) return 1;
  Transaction tx(ctx.db);
  auto id = InsertShareFolder(ctx.db, f);
  if (!id.Ok()) return Fail(ctx, id.Error());
  tx.Commit();
  ctx.out << "added share folder " << *id << "\n";
  return 0;
}

int Set(TAdminContext& ctx, const TAdminArgs& a) {
  auto id = ReadId(ctx, a.positional[0], "share set");
  if (!id) return 1;
  auto found = FindShareFolder(ctx.db, *id);
  if (!found.Ok()) return Fail(ctx, found.Error());
  auto& f = *found;
  if (!f) return Fail(ctx, "no share folder " + a.positional[0]);
  if (a.options.empty()) return Fail(ctx, "name at least one option to change");
  if (a.Has("password") && a.Has("no-password"))
    return Fail(ctx, "--password and --no-password exclude each other");
  if (a.Has("no-password")) f->pwdHash.clear();
  if (!ReadOptions(ctx, a, *f)) return 1;
  Transaction tx(ctx.db);
  if (auto updated = UpdateShareFolder(ctx.db, *f); !updated.Ok())
    return Fail(ctx, updated.Error());
  tx.Commit();
  ctx.out << "changed share folder " << *id << "\n";
  return 0;
}

int Remove(TAdminContext& ctx, const TAdminArgs& a) {
  auto id = ReadId(ctx, a.positional[0], "share remove");
  if (!id) return 1;
  std::optional<TShareFolder> f;
  {
    Transaction tx(ctx.db);
    auto found = FindShareFolder(ctx.db, *id);
    if (!found.Ok()) return Fail(ctx, found.Error());
    f = *found;
    if (!f) return Fail(ctx, "no share folder " + a.positional[0]);
    auto hasSubfolders = HasSubfolders(ctx.db, *id);
    if (!hasSubfolders.Ok()) return Fail(ctx, hasSubfolders.Error());
    if (*hasSubfolders) return Fail(ctx, "remove the subfolders first");
    // The files go only once the row is gone for good.
    if (auto deleted = DeleteShareFolder(ctx.db, *id); !deleted.Ok())
      return Fail(ctx, deleted.Error());
    tx.Commit();
  }
  TFileStore files(ctx.db, ctx.dir->Blobs(), ctx.dir->Staging());
  if (auto purged = PurgeShareFiles(files, *f); !purged.Ok())
    return Fail(ctx, "removed share folder " + std::to_string(*id) +
                         ", but its files could not be deleted: " + purged.Error());
  ctx.out << "removed share folder " << *id << " with its files\n";
  return 0;
}

}  // namespace

void RegisterAdminShareCommands(TAdminRegistry& r) {
  r.Add({"share", "list", "share list", "list the share folders, parents first", 0, 0, {}, List});
  r.Add({"share",
         "add",
         "share add NAME --owner CODE [--parent ID] [--comment TEXT] [--read-only 0|1] "
         "[--password PW]",
         "create a share folder (read-only unless --read-only 0; parent 0 is the top level)",
         1,
         1,
         {"owner", "parent", "comment", "read-only", "password"},
         Add});
  r.Add({"share",
         "set",
         "share set ID [--name NAME] [--owner CODE] [--parent ID] [--comment TEXT] "
         "[--read-only 0|1] [--password PW | --no-password]",
         "change a share folder; a new owner takes its files along",
         1,
         1,
         {"name", "owner", "parent", "comment", "read-only", "password", "no-password"},
         Set});
  r.Add({"share",
         "remove",
         "share remove ID",
         "remove a share folder without subfolders, and its files for good",
         1,
         1,
         {},
         Remove});
}

}  // namespace solvane::server
