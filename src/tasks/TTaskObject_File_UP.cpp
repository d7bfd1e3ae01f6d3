// File backup and folder sync uploads: loading the definition, walking the
// selection into folder entries, queueing files, the filter, and the sync
// folder listing.

#include <chrono>

#include "tasks/EngineContext.h"
#include "platform/FileFacts.h"
#include "session/DosDateTime.h"
#include "tasks/LocalFolderEntries.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskRunning.h"
#include "tasks/TaskServerCall.h"
#include "tasks/Unit_Handler_TaskObjectList.h"
#include "tasks/UploadWalk.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

namespace {

constexpr std::int64_t kMiB = 1048576;

bool InRange(DateTime t, DateTime lo, DateTime hi) {
  const auto second = std::chrono::floor<std::chrono::seconds>(t);
  return lo <= second && second <= hi;
}

bool HasField(TQorPack& pack, const char* name) { return pack.Fields().IndexOf(name) >= 0; }

// The extended filter of a "TTask.GetFileObject_FilterEx" reply. The
// switches are read when the reply carries them; a reply without them
// switches on the attribute test when an attribute is to be excluded (the
// size and date limits cannot be told from unset ones and stay off).
void ReadFilterEx(TQorPack& r, TTaskFilterInfo& f) {
  f.MinFileSize = static_cast<std::int32_t>(r.FieldByName(1, "MinFileSize").AsInteger());
  f.MaxFileSize = static_cast<std::int32_t>(r.FieldByName(1, "MaxFileSize").AsInteger());
  f.MinFileCreateDate = r.FieldByName(1, "MinFileCreateDate").AsDateTime();
  f.MaxFileCreateDate = r.FieldByName(1, "MaxFileCreateDate").AsDateTime();
  f.MinFileModifiedDate = r.FieldByName(1, "MinFileModifiedDate").AsDateTime();
  f.MaxFileModifiedDate = r.FieldByName(1, "MaxFileModifiedDate").AsDateTime();
  f.IsFilterReadOnly = r.FieldByName(1, "IsFilterReadOnly").AsBoolean();
  f.IsFilterHidden = r.FieldByName(1, "IsFilterHidden").AsBoolean();
  for (auto [name, member] : {std::pair{"FilterSize", &f.FilterSize},
                              {"FilterCreateDate", &f.FilterCreateDate},
                              {"FilterUpdateDate", &f.FilterUpdateDate},
                              {"FilterAttribute", &f.FilterAttribute}})
    if (HasField(r, name)) *member = r.FieldByName(1, name).AsBoolean();
  if (!HasField(r, "FilterAttribute")) f.FilterAttribute = f.IsFilterReadOnly || f.IsFilterHidden;
}

}  // namespace

TTaskObject_FileBackup_UP::TTaskObject_FileBackup_UP(std::string userCode)
    : TTaskObject_File_UP(std::move(userCode)) {
  TaskKind = kKindFileBackup;
  TaskDirection = 0;
}

TTaskObject_FileSync_UP::TTaskObject_FileSync_UP(std::string userCode)
    : TTaskObject_File_UP(std::move(userCode)) {
  TaskKind = kKindFileSync;
  TaskDirection = 0;
}

// ------------------------------------------------------------ definition

bool TTaskObject_File_UP::LoadObjects(IEngineContext& ctx) {
  {
    auto lock = Lock();
    FileObjects.Clear();
  }
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;
  auto call = [&](const char* operation, TQorPack& pack) {
    pack.SetFunNo(operation);
    pack.AddInteger(1, "TaskID", TaskID);
    return lease->Call(pack) && pack.ErrNo() == 1;
  };

  TTaskFileObjectList objects;
  TQorPack pack;
  if (call("TTask.GetFileObject", pack)) {
    for (int n = 1, count = pack.RecordSetCount(); n <= count; ++n) {
      std::string name = ToLocalSeparators(pack.FieldByName(n, "ObjectName").AsString());
      const bool isFolder = pack.FieldByName(n, "ObjectKind").AsInteger() == 1;
      objects.Add(name, isFolder ? 1 : 0);
    }
  }

  TTaskFilterInfo filter;
  {
    auto lock = Lock();
    filter = FilterInfo;
  }
  filter.IncludeList.clear();
  filter.ExcludeList.clear();
  pack.Reset();
  if (call("TTask.GetFileObject_Filter", pack)) {
    for (int n = 1, count = pack.RecordSetCount(); n <= count; ++n) {
      const std::string text = pack.FieldByName(n, "FilterStr").AsString();
      const std::string kind = pack.FieldByName(n, "FilterKind").AsString();
      // The "-1"/"-1" record stands for "no patterns"; an empty pattern
      // would match every path.
      if (text.empty() || (text == "-1" && kind == "-1")) continue;
      filter.AddPattern(ToLocalSeparators(text), kind.starts_with('1'));
    }
  }

  pack.Reset();
  if (call("TTask.GetFileObject_FilterEx", pack) && pack.RecordSetCount() == 1)
    ReadFilterEx(pack, filter);

  auto lock = Lock();
  FileObjects = std::move(objects);
  FilterInfo = std::move(filter);
  return true;
}

// ---------------------------------------------------------------- filter

bool TTaskObject_File_UP::PassesFilter(IEngineContext& ctx, const std::string& path,
                                       bool isFolder) {
  if (!ctx.Tasks().PassesPolicy(ctx, path, isFolder)) return false;
  TTaskFilterInfo f;
  {
    auto lock = Lock();
    f = FilterInfo;
  }
  const bool needsFacts = f.FilterAttribute ||
                          (!isFolder && (f.FilterCreateDate || f.FilterUpdateDate || f.FilterSize));
  std::optional<TFileFacts> facts;
  if (needsFacts) facts = PlatformFileFacts().Examine(path);

  if (!isFolder) {
    if (f.FilterCreateDate &&
        !(facts && InRange(facts->created, f.MinFileCreateDate, f.MaxFileCreateDate)))
      return false;
    if (f.FilterUpdateDate &&
        !(facts && InRange(facts->lastWrite, f.MinFileModifiedDate, f.MaxFileModifiedDate)))
      return false;
    if (f.FilterSize) {
      const std::int64_t size = facts ? facts->size : -1;
      if (size < std::int64_t{f.MinFileSize} * kMiB || size > std::int64_t{f.MaxFileSize} * kMiB)
        return false;
    }
  }
  if (f.FilterAttribute && facts) {
    if (f.IsFilterReadOnly && facts->readOnly) return false;
    if (f.IsFilterHidden && facts->hidden) return false;
  }
  return PassesPatternLists(f.IncludeList, f.ExcludeList, path, isFolder, [&ctx] { ctx.Pace(1); });
}

// ------------------------------------------------------------------ walks

void TTaskObject_File_UP::DetectFolders(IEngineContext& ctx) {
  for (const TTaskFileObject& object : SelectedObjects(*this)) {
    if (!IsRunning()) break;
    if (object.ObjectKind == 1) {
      WalkFolder(ctx, object.ObjectName);
    } else {
      const std::string folder = LocalParentFolder(object.ObjectName);
      if (PassesFilter(ctx, folder, true))
        IfRunning(*this, [&] { FolderList.AddFolder(folder, false); });
    }
    ctx.Pace(10);
  }
}

void TTaskObject_File_UP::WalkFolder(IEngineContext& ctx, const std::string& folder) {
  WalkUploadFolder(*this, ctx, folder, [&](const std::string& path, bool isFolder) {
    return PassesFilter(ctx, path, isFolder);
  });
}

void TTaskObject_File_UP::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) {
  if (!folder) return;
  QueueUploadFolderFiles(
      *this, ctx, *folder,
      [&](const std::string& path, bool isFolder) { return PassesFilter(ctx, path, isFolder); },
      [&](const std::string& file) { PostBag.AddLocalFile(file); });
}

// ------------------------------------------------------- sync folder check

bool TTaskObject_FileSync_UP::FolderCheck(IEngineContext& ctx, const TFolderObjectPtr& folder) {
  if (!folder || !folder->IsWholeFolder || !HasConnectedConnection(ctx)) return false;
  const std::string path = WithTrailingSeparator(folder->FolderPath);
  std::vector<TLocalEntry> entries;
  const bool complete = ListLocalFolder(path, entries);

  TQorPack& frame = Frame1;
  frame.Reset();
  frame.SetFunNo("TUpDown.FolderCheck");
  const std::string userCode = RunUser(ctx);
  const std::string serverFolder = ToServerSeparators(path);
  int n = 1;
  for (const TLocalEntry& entry : entries) {
    // The server mirrors the folder to the listing: a listing cut short
    // would drop the entries it misses, so it is never sent.
    if (!IsRunning()) return false;
    const bool isFolder = entry.Kind == TLocalEntry::kFolder;
    const std::string full = path + entry.Name;
    if (entry.Kind != TLocalEntry::kOther && PassesFilter(ctx, full, isFolder)) {
      std::int64_t size = -1, date = -1;
      if (!isFolder) {
        const auto facts = PlatformFileFacts().Examine(full);
        size = facts ? facts->size : -1;
        date = facts ? DateTimeToDos(facts->lastWrite) : 0;
      }
      frame.AddString(n, "UCode", userCode);
      frame.AddInteger(n, "TaskID", TaskID);
      frame.AddString(n, "TaskKind", std::to_string(TaskKind));
      frame.AddString(n, "ObjectID", std::to_string(n));
      frame.AddString(n, "ObjectName", ToServerSeparators(full));
      frame.AddInteger(n, "ObjectKind", isFolder ? 1 : 0);
      frame.AddString(n, "ObjectFolder", serverFolder);
      frame.AddString(n, "ObjectSize", std::to_string(size));
      frame.AddString(n, "ObjectDate", std::to_string(date));
      ++n;
    }
    ctx.Pace(1);
  }
  if (!complete || !IsRunning()) return false;
  // An empty folder (nothing passed the filter) still names itself, so the
  // server can empty its copy; a frame without records changes nothing.
  if (n == 1) {
    frame.AddString(1, "UCode", userCode);
    frame.AddInteger(1, "TaskID", TaskID);
    frame.AddString(1, "TaskKind", std::to_string(TaskKind));
    frame.AddString(1, "ObjectName", "");
    frame.AddString(1, "ObjectFolder", serverFolder);
  }
  return CallServer(ctx, frame);
}

}  // namespace solvane
