// Restores: walking the chosen server folders into folder entries, queueing
// each server file with its local target (EnqueueDownload).

#include <deque>

#include "tasks/EngineContext.h"
#include "platform/FileFacts.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/RestoreTarget.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskRunning.h"
#include "api/BrowseApi.h"

namespace solvane {

namespace {

using TServerEntry = api::TStoreEntry;

// One level of the task's server store. Sizes, dates and versions are read
// as 64-bit numbers, so objects of 2 GiB and more keep their size.
bool ListServerFolder(IEngineContext& ctx, TTaskObject& task, const std::string& folder,
                      std::vector<TServerEntry>& entries) {
  std::string userCode;
  int kind = 0;
  {
    auto lock = task.Lock();
    userCode = task.UCode;
    kind = task.TaskKind;
  }
  auto listed = api::BrowerShowFileObject(ctx.Pool(), userCode, kind, ToSlashes(folder));
  entries = std::move(listed.value);
  return listed.Ok();
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The same file is already there: same size and a packed date-time that
// equals the server's, taken from its creation time or, since a restore on
// this platform cannot set a creation time, its last-write time.
bool IsSameFile(const TFileFacts& facts, std::int64_t size, std::int64_t date) {
  if (facts.isFolder || facts.size != size || date == -1) return false;
  const auto packed = static_cast<std::uint32_t>(date);
  return DateTimeToDos(facts.created) == packed || DateTimeToDos(facts.lastWrite) == packed;
}

}  // namespace

TTaskObject_FileBackup_Down::TTaskObject_FileBackup_Down(std::string userCode)
    : TTaskObject_File_Down(std::move(userCode)) {
  TaskKind = kKindFileBackup;
  TaskDirection = 1;
}

TTaskObject_FileSync_Down::TTaskObject_FileSync_Down(std::string userCode)
    : TTaskObject_File_Down(std::move(userCode)) {
  TaskKind = kKindFileSync;
  TaskDirection = 1;
}

void TTaskObject_File_Down::DetectFolders(IEngineContext& ctx) {
  for (const TTaskFileObject& object : SelectedObjects(*this)) {
    if (!IsRunning()) break;
    if (object.ObjectKind == 1) {
      WalkServerFolder(ctx, object.ObjectName);
    } else {
      const std::string parent = ParentPath(object.ObjectName);
      IfRunning(*this, [&] { FolderList.AddFolder(parent, false); });
    }
    ctx.Pace(1);
  }
}

void TTaskObject_File_Down::WalkServerFolder(IEngineContext& ctx, const std::string& folder) {
  IfRunning(*this, [&] { FolderList.AddFolder(folder, true); });
  std::deque<std::string> work{folder};
  std::vector<TServerEntry> entries;
  while (!work.empty() && IsRunning()) {
    // A failed listing ends that branch silently.
    if (ListServerFolder(ctx, *this, Trimmed(work.front()), entries)) {
      for (const TServerEntry& e : entries) {
        if (!IsRunning()) break;
        if (e.ObjectKind == 1) {
          const std::string sub = JoinPath(e.ObjectFolder, e.ObjectName) + "/";
          work.push_back(sub);
          IfRunning(*this, [&] { FolderList.AddFolder(sub, true); });
        }
        ctx.Pace(1);
      }
    }
    work.pop_front();
    ctx.Pace(1);
  }
}

void TTaskObject_File_Down::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) {
  if (!folder) return;
  if (folder->IsWholeFolder) {
    std::vector<TServerEntry> entries;
    if (!ListServerFolder(ctx, *this, folder->FolderPath, entries)) return;
    for (const TServerEntry& e : entries) {
      if (!IsRunning()) break;
      if (e.ObjectKind == 0)
        EnqueueDownload(ctx, JoinPath(e.ObjectFolder, e.ObjectName), e.ObjectSize, -1,
                        e.ObjectVersion, e.ObjectDate);
      ctx.Pace(1);
    }
    return;
  }
  for (const TTaskFileObject& object : SelectedObjects(*this)) {
    if (!IsRunning()) break;
    if (object.ObjectKind == 0 && ParentPath(object.ObjectName) == folder->FolderPath)
      EnqueueDownload(ctx, object.ObjectName, object.ObjectSize, -1, object.ObjectVersion,
                      object.ObjectDate);
    ctx.Pace(1);
  }
}

bool TTaskObject::EnqueueDownload(IEngineContext&, const std::string& serverPath, std::int64_t size,
                                  std::int32_t objectData, std::int64_t version,
                                  std::int64_t date) {
  TTaskRestoreInfo restore;
  {
    auto lock = Lock();
    restore = RestoreInfo;
  }
  const std::optional<std::string> target =
      RestoreTargetPath(serverPath, restore.IsDefine, restore.CacheFolder);
  if (!target) {
    // Refused: it would land outside the chosen place. Counted and reported
    // as a failed file of the run.
    auto failed = std::make_shared<TPostBagItem>();
    failed->SourcePath = serverPath;
    failed->ObjectData = objectData;
    failed->ObjectSize = size;
    failed->ObjectDate = date;
    failed->ObjectVersion = version;
    failed->FailReason = "恢复目标不在所选的恢复位置之内";
    auto lock = Lock();
    failed->ObjectID = static_cast<std::int32_t>(ErrorBag.Count() + 1);
    ErrorBag.Append(std::move(failed));
    ++PostBag.Counters().TotalFileCount;
    ++PostBag.Counters().FileErrorCount;
    return false;
  }

  IFileFacts& files = PlatformFileFacts();
  // A folder that cannot be created is left to the transfer, which then
  // fails on the target and counts it.
  const std::string parent = LocalParentFolder(*target);
  if (!parent.empty() && !files.FolderExists(parent)) files.CreateFolderPath(parent);

  const std::optional<TFileFacts> existing = files.Examine(*target);
  if (existing && IsSameFile(*existing, size, date)) return false;
  if (existing && !restore.Overwrite) return false;
  PostBag.AddDownload(serverPath, *target, objectData, version, date, size);
  return true;
}

}  // namespace solvane
