// The mail area of the server browser: TBrower.ShowMCObject_Folder (the
// mail folders of a mail client), TBrower.ShowMCObject_Message (the message
// files of a folder), TBrower.RemoveMC_Folder and TBrower.RemoveMC_Message
// (into the recycle bin of the mail store).
//
// A folder is named by "MCKindName" (the client: "Foxmail", "Outlook",
// "OutlookExpress") and "MCFolder" (its ID in decimal); the optional
// "MCFolderParentID" tells apart folders of one client that share an ID.

#include "handlers/MailStore.h"
#include "handlers/Operations.h"
#include "handlers/StorePath.h"
#include "protocol/Dispatcher.h"
#include "wire/QorWithText.h"

namespace solvane::server {

namespace {

struct TMailFolderQuery {
  int client = 0;
  std::int64_t folderId = 0;
  std::optional<std::int64_t> parentId;
};

bool ReadClient(TRequestContext& ctx, int& client) {
  auto kind = MailClientKindOf(ctx.Str("MCKindName"));
  if (!kind)
    return ctx.Fail(kErrBadRequest, "MCKindName must be Foxmail, Outlook or OutlookExpress");
  client = *kind;
  return true;
}

bool ReadFolderQuery(TRequestContext& ctx, TMailFolderQuery& q) {
  if (!ReadClient(ctx, q.client) || !ctx.RequireInt("MCFolder", q.folderId)) return false;
  if (const std::string parent = ctx.Str("MCFolderParentID"); !parent.empty()) {
    std::int64_t id = 0;
    if (!ctx.RequireInt("MCFolderParentID", id)) return false;
    q.parentId = id;
  }
  return true;
}

// The folders the query names; none, with the failure set, when there are
// none or the store cannot be read.
std::vector<TMailFolderRef> FoundFolders(TRequestContext& ctx, TMailStore& mail,
                                         const TMailFolderQuery& q) {
  auto folders = mail.FindFolders(q.client, q.folderId, q.parentId);
  if (!folders.Ok()) {
    ctx.FailStorage(folders.Error());
    return {};
  }
  if (folders->empty()) ctx.Fail(kErrNotFound, "no such mail folder in the store");
  return std::move(*folders);
}

void ShowMCObjectFolder(TRequestContext& ctx) {
  auto owner = ResolveStoreOwner(ctx, StoreAccess::kRead);
  if (!owner) return;
  TMailStore mail(ctx.Db(), *owner);
  TQorPack& r = ctx.Reply();
  int n = 0;
  // Without a client name: the mail clients the store holds mail of.
  if (ctx.Str("MCKindName").empty()) {
    auto clients = mail.Clients();
    if (!clients.Ok()) return (void)ctx.FailStorage(clients.Error());
    for (const auto& name : *clients) {
      r.AddString(++n, "ObjectName", name);
      r.AddString(n, "ObjectFolder", "");
    }
    return;
  }
  int client = 0;
  if (!ReadClient(ctx, client)) return;
  auto folders = mail.Folders(client);
  if (!folders.Ok()) return (void)ctx.FailStorage(folders.Error());
  for (const auto& f : *folders) {
    r.AddString(++n, "ObjectName", std::to_string(f.folderId));
    r.AddString(n, "ObjectFolder", std::to_string(f.parentId));
  }
}

void ShowMCObjectMessage(TRequestContext& ctx) {
  auto owner = ResolveStoreOwner(ctx, StoreAccess::kRead);
  TMailFolderQuery q;
  if (!owner || !ReadFolderQuery(ctx, q)) return;
  TMailStore mail(ctx.Db(), *owner);
  TQorPack& r = ctx.Reply();
  int n = 0;
  for (const auto& folder : FoundFolders(ctx, mail, q)) {
    auto messages = mail.Messages(folder.path);
    if (!messages.Ok()) return (void)ctx.FailStorage(messages.Error());
    for (const auto& m : *messages) {
      r.AddString(++n, "ObjectName", m.name);
      r.AddString(n, "ObjectFolder", m.folder);
      r.AddInteger(n, "ObjectKind", 0);
      r.AddInteger(n, "ObjectSize", m.size);
      r.AddInteger(n, "ObjectDate", m.objectDate);
      r.AddInteger(n, "ObjectVersion", m.version);
      r.AddInteger(n, "ObjectData", m.folderId);
      r.AddString(n, "ObjectCargo", m.cargo);
      r.AddString(n, "ObjectCargo2", m.cargo2);
    }
  }
}

void RemoveMCFolder(TRequestContext& ctx) {
  auto owner = ResolveStoreOwner(ctx, StoreAccess::kWrite);
  TMailFolderQuery q;
  if (!owner || !RequireDeleteRight(ctx) || !ReadFolderQuery(ctx, q)) return;
  TMailStore mail(ctx.Db(), *owner);
  std::vector<TObjectRef> objects;
  for (const auto& f : FoundFolders(ctx, mail, q)) {
    auto [parent, name] = SplitPath(f.path);
    objects.push_back({parent, name, true});
  }
  if (objects.empty()) return;
  auto moved = FileStoreOf(ctx).MoveToTrash(mail.Store(), objects);
  if (!moved.Ok()) return (void)ctx.FailStorage(moved.Error());
  if (!*moved) ctx.Fail(kErrConflict, "the mail folder changed meanwhile; nothing was removed");
}

// The message the request names: its file name in the named folder; when
// folders sharing the ID hold that name, the one whose size matches.
void RemoveMCMessage(TRequestContext& ctx) {
  auto owner = ResolveStoreOwner(ctx, StoreAccess::kWrite);
  TMailFolderQuery q;
  if (!owner || !RequireDeleteRight(ctx) || !ReadFolderQuery(ctx, q)) return;
  const std::string name = ctx.Str("ObjectName");
  if (!IsValidObjectName(name))
    return (void)ctx.Fail(kErrBadRequest, "ObjectName is not a valid file name");
  std::int64_t size = -1;
  if (!ParseInt64(ctx.Str("ObjectSize"), size)) size = -1;

  TMailStore mail(ctx.Db(), *owner);
  std::vector<TMailMessageEntry> named;
  for (const auto& folder : FoundFolders(ctx, mail, q)) {
    auto messages = mail.Messages(folder.path);
    if (!messages.Ok()) return (void)ctx.FailStorage(messages.Error());
    for (auto& m : *messages)
      if (m.name == name) named.push_back(std::move(m));
  }
  if (ctx.Failed()) return;
  if (named.empty()) return (void)ctx.Fail(kErrNotFound, "no such message in the mail folder");
  if (named.size() > 1) {
    std::erase_if(named, [&](const auto& m) { return m.size != size; });
    if (named.size() != 1)
      return (void)ctx.Fail(kErrConflict,
                            "several folders with this ID hold the message; send MCFolderParentID");
  }
  FoundInStore(ctx, FileStoreOf(ctx).MoveToTrash(mail.Store(), named[0].folder, name, false),
               "no such message in the mail folder");
}

}  // namespace

void RegisterMailOperations(TDispatcher& d) {
  d.Register("TBrower.ShowMCObject_Folder", ShowMCObjectFolder);
  d.Register("TBrower.ShowMCObject_Message", ShowMCObjectMessage);
  d.Register("TBrower.RemoveMC_Folder", RemoveMCFolder);
  d.Register("TBrower.RemoveMC_Message", RemoveMCMessage);
}

}  // namespace solvane::server
