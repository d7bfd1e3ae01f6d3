// File backup and folder sync uploads: loading the definition, walking the
// selection into folder entries, queueing files, the filter, and the sync
// folder listing.

#include <chrono>

#include "tasks/EngineContext.h"
#include "api/TaskApi.h"
#include "api/UpDownApi.h"
#include "platform/FileFacts.h"
#include "session/DosDateTime.h"
#include "tasks/LocalFolderEntries.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskRunning.h"
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

// The extended filter as loaded. A reply without the switches switches on
// the attribute test when an attribute is to be excluded (the size and date
// limits cannot be told from unset ones and stay off).
void CopyFilterEx(const api::TTaskFilterEx& r, TTaskFilterInfo& f) {
  f.MinFileSize = r.MinFileSize;
  f.MaxFileSize = r.MaxFileSize;
  f.MinFileCreateDate = r.MinFileCreateDate;
  f.MaxFileCreateDate = r.MaxFileCreateDate;
  f.MinFileModifiedDate = r.MinFileModifiedDate;
  f.MaxFileModifiedDate = r.MaxFileModifiedDate;
  f.IsFilterReadOnly = r.IsFilterReadOnly;
  f.IsFilterHidden = r.IsFilterHidden;
  f.FilterSize = r.FilterSize.value_or(f.FilterSize);
  f.FilterCreateDate = r.FilterCreateDate.value_or(f.FilterCreateDate);
  f.FilterUpdateDate = r.FilterUpdateDate.value_or(f.FilterUpdateDate);
  f.FilterAttribute = r.FilterAttribute.value_or(f.IsFilterReadOnly || f.IsFilterHidden);
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
  // The three calls go on one connection.
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;
  const api::TApiLink link(*lease);

  TTaskFileObjectList objects;
  for (const api::TTaskFileObjectRecord& o : api::TaskGetFileObject(link, TaskID).value)
    objects.Add(ToLocalSeparators(o.ObjectName), o.IsFolder ? 1 : 0);

  TTaskFilterInfo filter;
  {
    auto lock = Lock();
    filter = FilterInfo;
  }
  filter.IncludeList.clear();
  filter.ExcludeList.clear();
  for (const api::TFilterPattern& p : api::TaskGetFileObjectFilter(link, TaskID).value) {
    if (p.FilterStr.empty()) continue;  // would match every path
    filter.AddPattern(ToLocalSeparators(p.FilterStr), p.IsInclude);
  }

  if (const auto ex = api::TaskGetFileObjectFilterEx(link, TaskID); ex && ex.value)
    CopyFilterEx(*ex.value, filter);

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
  if (!folder || !folder->IsWholeFolder || !api::HasConnectedConnection(ctx.Pool())) return false;
  const std::string path = WithTrailingSeparator(folder->FolderPath);
  std::vector<TLocalEntry> entries;
  const bool complete = ListLocalFolder(path, entries);

  const std::string userCode = RunUser(ctx);
  std::vector<api::TFolderCheckEntry> listing;
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
      listing.push_back({ToServerSeparators(full), isFolder, size, date});
    }
    ctx.Pace(1);
  }
  if (!complete || !IsRunning()) return false;
  // An empty listing still names the folder, so the server empties its copy.
  return api::UpDownFolderCheck(ctx.Pool(), userCode, TaskID, TaskKind, ToServerSeparators(path),
                                listing)
      .Ok();
}

}  // namespace solvane
