// The server browser and the recycle bin: TBrower.ShowFileObject (one level
// of a store), TBrower.SeekFileObject (search), TBrower.RemoveFileObject
// (into the recycle bin), TBrower.ShowTrashObject, TBrower.RemoveTrashObject
// (gone for good) and TBrower.RevertTrashObject (back in place).

#include "handlers/Operations.h"
#include "handlers/StorePath.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

constexpr int kMaxSeekResults = 1000;

void ShowFileObject(TRequestContext& ctx) {
  auto store = ResolveStore(ctx, StoreAccess::kRead);
  if (!store) return;
  std::string folder;  // "" is the top level: the roots "C:", "/"
  if (const std::string relate = ctx.Str("RelatePath"); !relate.empty()) {
    auto normal = NormaliseFolder(relate);
    if (!normal) return (void)ctx.Fail(kErrBadRequest, "RelatePath is not a valid path");
    folder = *normal;
  }
  TFileStore files = FileStoreOf(ctx);
  if (!FoundInStore(ctx, files.FolderExists(*store, folder), "no such folder in the store")) return;
  auto listed = files.List(*store, folder);
  if (!listed.Ok()) return (void)ctx.FailStorage(listed.Error());
  int n = 0;
  for (const auto& o : *listed) {
    TQorPack& r = ctx.Reply();
    ++n;
    r.AddString(n, "ObjectName", o.name);
    r.AddString(n, "ObjectFolder", folder);
    r.AddInteger(n, "ObjectKind", o.isFolder ? 1 : 0);
    r.AddInteger(n, "ObjectSize", o.size);
    r.AddInteger(n, "ObjectDate", o.objectDate);
    r.AddInteger(n, "ObjectVersion", o.version);
  }
}

// A bound of the search: -1 (none) unless the group applies.
bool ReadBound(TRequestContext& ctx, bool applies, std::string_view field, std::int64_t& out) {
  out = -1;
  if (!applies) return true;
  if (!ctx.RequireInt(field, out)) return false;
  if (out < 0) out = -1;
  return true;
}

void SeekFileObject(TRequestContext& ctx) {
  auto owner = ResolveStoreOwner(ctx, StoreAccess::kRead);
  if (!owner) return;
  TSeekQuery q;
  q.namePattern = ctx.Str("ObjectNameSR");
  if (q.namePattern.size() > kMaxNameBytes)
    return (void)ctx.Fail(kErrBadRequest, "ObjectNameSR is too long");
  const bool sizes = ctx.Bool("SizeIncluded"), dates = ctx.Bool("DateIncluded");
  if (!ReadBound(ctx, sizes, "ObjectSize_Min", q.minSize) ||
      !ReadBound(ctx, sizes, "ObjectSize_Max", q.maxSize) ||
      !ReadBound(ctx, dates, "ObjectDate_Min", q.minStored) ||
      !ReadBound(ctx, dates, "ObjectDate_Max", q.maxStored))
    return;
  // The screen sends the end date at midnight: that day counts as a whole.
  if (q.maxStored >= 0 && (q.maxStored & 0xFFFF) == 0) q.maxStored |= 0xFFFF;
  q.onlyNewest = ctx.Bool("OnlyLastVersion");
  q.limit = kMaxSeekResults;

  auto found = FileStoreOf(ctx).Seek(*owner, q);
  if (!found.Ok()) return (void)ctx.FailStorage(found.Error());
  int n = 0;
  for (const auto& v : *found) {
    TQorPack& r = ctx.Reply();
    ++n;
    r.AddString(n, "ObjectName", v.name);
    // The client takes the store kind from before the one separator.
    r.AddString(n, "ObjectFolder", std::to_string(v.kind) + "|" + v.folder);
    r.AddInteger(n, "ObjectKind", 0);
    r.AddInteger(n, "ObjectSize", v.size);
    r.AddInteger(n, "ObjectDate", v.objectDate);
    r.AddInteger(n, "ObjectVersion", v.version);
  }
}

void RemoveFileObject(TRequestContext& ctx) {
  auto store = ResolveStore(ctx, StoreAccess::kWrite);
  if (!store || !RequireDeleteRight(ctx)) return;
  const bool isFolder = ctx.Int("ObjectKind") == 1;
  std::string folder, name;
  if (!ReadObjectPath(ctx, "ObjectFolder", "ObjectName", isFolder, folder, name)) return;
  FoundInStore(ctx, FileStoreOf(ctx).MoveToTrash(*store, folder, name, isFolder),
               "no such object in the store");
}

void ShowTrashObject(TRequestContext& ctx) {
  auto store = ResolveStore(ctx, StoreAccess::kWrite);
  if (!store) return;
  auto trash = FileStoreOf(ctx).ListTrash(*store);
  if (!trash.Ok()) return (void)ctx.FailStorage(trash.Error());
  int n = 0;
  for (const auto& e : *trash) {
    TQorPack& r = ctx.Reply();
    ++n;
    r.AddString(n, "ObjectName", e.name);
    r.AddInteger(n, "ObjectKind", e.isFolder ? 1 : 0);
    r.AddInteger(n, "ObjectSize", e.isFolder ? -1 : e.size);
    r.AddInteger(n, "ObjectDate", e.isFolder ? -1 : e.objectDate);
    r.AddString(n, "AbsoluteObjectName", JoinPath(e.folder, e.name));
  }
}

bool ReadTrashSelector(TRequestContext& ctx, TTrashSelector& sel) {
  if (!ReadFullPath(ctx, "AbsoluteObjectName", sel.folder, sel.name)) return false;
  sel.isFolder = ctx.Int("ObjectKind") != 0;
  sel.size = sel.isFolder ? -1 : ctx.Int("ObjectSize");
  sel.objectDate = ctx.Int("ObjectDate");
  if (sel.isFolder || !NormaliseDosDateTime(sel.objectDate)) sel.objectDate = -1;
  return true;
}

void RemoveTrashObject(TRequestContext& ctx) {
  auto store = ResolveStore(ctx, StoreAccess::kWrite);
  if (!store || !RequireDeleteRight(ctx)) return;
  TTrashSelector sel;
  if (!ReadTrashSelector(ctx, sel)) return;
  FoundInStore(ctx, FileStoreOf(ctx).PurgeTrash(*store, sel), "no such object in the recycle bin");
}

void RevertTrashObject(TRequestContext& ctx) {
  auto store = ResolveStore(ctx, StoreAccess::kWrite);
  if (!store) return;
  TTrashSelector sel;
  if (!ReadTrashSelector(ctx, sel)) return;
  FoundInStore(ctx, FileStoreOf(ctx).RevertTrash(*store, sel), "no such object in the recycle bin");
}

}  // namespace

void RegisterBrowserOperations(TDispatcher& d) {
  d.Register("TBrower.ShowFileObject", ShowFileObject);
  d.Register("TBrower.SeekFileObject", SeekFileObject);
  d.Register("TBrower.RemoveFileObject", RemoveFileObject);
  d.Register("TBrower.ShowTrashObject", ShowTrashObject);
  d.Register("TBrower.RemoveTrashObject", RemoveTrashObject);
  d.Register("TBrower.RevertTrashObject", RevertTrashObject);
}

}  // namespace solvane::server
