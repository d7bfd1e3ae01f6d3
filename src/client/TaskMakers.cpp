#include "client/TaskMakers.h"

#include "wire/QorWithPack.h"  // FormatDateTime
#include "session/Unit_LocalHelpers.h"
#include "tasks/EngineContext.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {

namespace {

constexpr const char* kTemporaryName = "临时任务";

// A temporary task of the signed-in user with a fresh TaskID, made now.
TTaskObjectPtr NewTemporary(IEngineContext& ctx, int kind, int direction) {
  auto task = CreateTaskObject(kind, direction, ctx.UserCode());
  const DateTime now = ctx.Now();
  task->IsTemporary = true;
  task->TaskID = ctx.Tasks().NewTaskID(now);
  task->CreateDate = now;
  task->TaskName = direction == 1 ? kTemporaryName + FormatDateTime(now)
                                  : kTemporaryName + std::to_string(task->TaskID);
  return task;
}

TTaskObjectPtr UploadOf(IEngineContext& ctx, int kind, const std::vector<TLocalChoice>& objects) {
  auto task = NewTemporary(ctx, kind, 0);
  for (const TLocalChoice& o : objects) task->FileObjects.Add(o.Path, o.IsFolder ? 1 : 0);
  return task;
}

void SetTarget(TTaskObject& task, const TRestoreTarget& target) {
  task.RestoreInfo.Overwrite = target.Overwrite;
  task.RestoreInfo.IsDefine = !target.Folder ? 0 : (target.Flat ? 2 : 1);
  if (target.Folder) task.RestoreInfo.CacheFolder = *target.Folder;
}

std::shared_ptr<TQorMCFolderObject> NewFolder(std::int64_t parentId, std::int64_t folderId) {
  auto f = std::make_shared<TQorMCFolderObject>();
  f->ParentID = parentId;
  f->FolderID = folderId;
  return f;
}

// Every named folder whole, and the picked messages in their folders (a
// message of a folder taken whole is not listed again).
std::vector<std::shared_ptr<TQorMCFolderObject>> MailFolders(const TMailTaskChoice& choice) {
  std::vector<std::shared_ptr<TQorMCFolderObject>> folders;
  auto find = [&](std::int64_t parent, std::int64_t id) {
    for (const auto& f : folders)
      if (f->FolderID == id && f->ParentID == parent) return f;
    folders.push_back(NewFolder(parent, id));
    return folders.back();
  };
  for (const auto& [parent, id] : choice.WholeFolders) find(parent, id)->IsSelected = true;
  for (const auto& [folderId, messageId] : choice.Messages) {
    const std::int64_t parent = choice.ParentOf ? choice.ParentOf(folderId) : -1;
    auto folder = find(parent, folderId);
    if (!folder->IsSelected && !folder->Messages.FindByID(messageId))
      folder->Messages.Add({.MessageID = messageId, .FolderID = folderId, .IsSelected = true});
  }
  return folders;
}

TTaskObjectPtr MailTask(IEngineContext& ctx, int direction, int mailKind,
                        const TMailTaskChoice& choice) {
  auto task = NewTemporary(ctx, kKindMailClient, direction);
  task->MCInfo.MCKind = static_cast<std::uint8_t>(mailKind);
  task->MCInfo.MCFolders = MailFolders(choice);
  return task;
}

}  // namespace

TTaskObjectPtr MakeFileBackupTask(IEngineContext& ctx, const std::vector<TLocalChoice>& objects) {
  return UploadOf(ctx, kKindFileBackup, objects);
}

TTaskObjectPtr MakeFolderSyncTask(IEngineContext& ctx, const std::vector<TLocalChoice>& folders) {
  return UploadOf(ctx, kKindFileSync, folders);
}

TTaskObjectPtr MakeFileRestoreTask(IEngineContext& ctx, int storeKind,
                                   const std::vector<TServerChoice>& objects,
                                   const TRestoreTarget& target) {
  auto task = NewTemporary(ctx, storeKind, 1);
  SetTarget(*task, target);
  for (const TServerChoice& o : objects)
    task->FileObjects.Items.push_back(
        {o.Path, static_cast<std::uint8_t>(o.IsFolder ? 1 : 0), o.Size, o.Date, o.Version});
  if (!objects.empty()) task->RestoreInfo.ParentFolder = StripSlash(ParentPath(objects[0].Path));
  return task;
}

TTaskObjectPtr MakeMailBackupTask(IEngineContext& ctx, int mailKind, const TMailTaskChoice& choice) {
  return MailTask(ctx, 0, mailKind, choice);
}

TTaskObjectPtr MakeMailRestoreTask(IEngineContext& ctx, int mailKind, const TMailTaskChoice& choice,
                                   const TRestoreTarget& target) {
  auto task = MailTask(ctx, 1, mailKind, choice);
  SetTarget(*task, target);
  return task;
}

}  // namespace solvane
