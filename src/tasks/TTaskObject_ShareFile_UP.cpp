// Share uploads: the chosen local files and folders walked without filter
// or policy, every file queued for the share folder. The queued items pass
// the check stage and the engines like any upload, with "TaskKind" 171 and
// "ObjectData" = the share folder.

#include "tasks/EngineContext.h"
#include "platform/FileFacts.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskRunning.h"
#include "tasks/Unit_Handler_TaskObjectList.h"
#include "tasks/UploadWalk.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

// Share uploads know no filter or policy.
bool TakeEverything(const std::string&, bool) { return true; }

}  // namespace

void TTaskObject_ShareFile::SetShareFolder(std::int32_t folderId) {
  auto lock = Lock();
  ShareFolderID = folderId;
}

std::int32_t TTaskObject_ShareFile::ShareFolder() const {
  auto lock = Lock();
  return ShareFolderID;
}

TTaskObject_ShareFile_UP::TTaskObject_ShareFile_UP(std::string userCode)
    : TTaskObject_ShareFile(std::move(userCode)) {
  TaskKind = kKindShareFile;
  TaskDirection = 0;
}

void TTaskObject_ShareFile_UP::DetectFolders(IEngineContext& ctx) {
  for (const TTaskFileObject& object : SelectedObjects(*this)) {
    if (!IsRunning()) break;
    if (object.ObjectKind == 1) {
      WalkFolder(ctx, object.ObjectName);
    } else {
      const std::string folder = LocalParentFolder(object.ObjectName);
      IfRunning(*this, [&] { FolderList.AddFolder(folder, false); });
    }
    ctx.Pace(1);
  }
}

void TTaskObject_ShareFile_UP::WalkFolder(IEngineContext& ctx, const std::string& folder) {
  WalkUploadFolder(*this, ctx, folder, TakeEverything);
}

void TTaskObject_ShareFile_UP::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) {
  if (!folder) return;
  const std::int32_t shareFolder = ShareFolder();
  QueueUploadFolderFiles(*this, ctx, *folder, TakeEverything,
                         [&](const std::string& file) { PostBag.AddShareFile(file, shareFolder); });
}

namespace {

// Identity shared by both share tasks, as the share screen fills it.
void FillShareTask(IEngineContext& ctx, TTaskObject_ShareFile& task, std::int32_t folderId) {
  const DateTime now = ctx.Now();
  task.TaskID = ctx.Tasks().NewTaskID(now);
  task.TaskName = "共享区任务" + FormatDateTime(now);
  task.CreateDate = now;
  task.IsTemporary = true;
  task.SetShareFolder(folderId);
}

}  // namespace

std::shared_ptr<TTaskObject_ShareFile_UP> MakeShareUploadTask(
    IEngineContext& ctx, std::int32_t folderId, const std::vector<std::string>& localPaths) {
  auto task = std::make_shared<TTaskObject_ShareFile_UP>(ctx.UserCode());
  FillShareTask(ctx, *task, folderId);
  for (const std::string& path : localPaths) {
    const auto facts = PlatformFileFacts().Examine(path);
    const bool isFolder = facts && facts->isFolder;
    task->FileObjects.Items.push_back(
        {path, static_cast<std::uint8_t>(isFolder ? 1 : 0), -1, -1, -1});
  }
  return task;
}

std::shared_ptr<TTaskObject_ShareFile_Down> MakeShareDownloadTask(
    IEngineContext& ctx, std::int32_t folderId, const std::vector<TShareFileChoice>& files,
    const std::string& localFolder) {
  auto task = std::make_shared<TTaskObject_ShareFile_Down>(ctx.UserCode());
  FillShareTask(ctx, *task, folderId);
  task->RestoreInfo.IsDefine = 2;
  task->RestoreInfo.CacheFolder = localFolder;
  task->RestoreInfo.Overwrite = true;
  task->RestoreInfo.ParentFolder.clear();
  for (const TShareFileChoice& f : files)
    task->FileObjects.Items.push_back({f.Name, 0, f.Size, f.Date, -1});
  return task;
}

}  // namespace solvane
