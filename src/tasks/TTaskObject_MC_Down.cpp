// Mail restore: one entry per chosen mail folder; the folder's stored
// message files listed from the server's mail store and downloaded like any
// restored file.

#include <set>

#include "tasks/EngineContext.h"
#include "api/BrowseApi.h"
#include "mail/QorWithMCService.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/TaskRunning.h"

namespace solvane {

namespace {

// The live message files of one mail folder, named by client, folder and
// parent, in the store of userCode.
bool ListStoredMessages(IEngineContext& ctx, const std::string& userCode, int mcKind,
                        const TQorMCFolderObject& folder,
                        std::vector<api::TStoreMailMessage>& out) {
  auto listed = api::BrowerShowMCObjectMessage(ctx.Pool(), userCode,
                                               TQorMCService::GetKindName(mcKind),
                                               folder.FolderID, folder.ParentID);
  out = std::move(listed.value);
  return listed.Ok();
}

}  // namespace

TTaskObject_MC_Down::TTaskObject_MC_Down(std::string userCode) : TTaskObject(std::move(userCode)) {
  TaskKind = kKindMailClient;
  TaskDirection = 1;
}

void TTaskObject_MC_Down::DetectFolders(IEngineContext& ctx) {
  int kind = 0;
  std::vector<std::shared_ptr<TQorMCFolderObject>> folders;
  {
    auto lock = Lock();
    kind = MCInfo.MCKind;
    folders = MCInfo.MCFolders;
    // The original place of a message file is the cache folder it was
    // exported to: the files go back below it, in their store layout.
    if (RestoreInfo.IsDefine == 0) {
      RestoreInfo.IsDefine = 1;
      RestoreInfo.CacheFolder = ctx.CacheFolder();
    }
  }
  for (const auto& folder : folders) {
    if (!IsRunning()) break;
    const std::string path = MailStoreFolder(kind, folder->ParentID, folder->FolderID);
    IfRunning(*this, [&] { FolderList.AddMailFolder(path, folder, folder->IsSelected); });
    ctx.Pace(1);
  }
}

void TTaskObject_MC_Down::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& entry) {
  if (!entry || !entry->MCFolder) return;
  const TQorMCFolderObject& chosen = *entry->MCFolder;
  int kind = 0;
  std::string userCode;
  {
    auto lock = Lock();
    kind = MCInfo.MCKind;
    userCode = UCode;
  }
  const auto folderData = static_cast<std::int32_t>(chosen.FolderID);
  std::vector<api::TStoreMailMessage> stored;
  if (TQorMCService::GetKindName(kind).empty() ||
      !ListStoredMessages(ctx, userCode, kind, chosen, stored)) {
    RecordFailedObject(*this, entry->FolderPath, {}, folderData);
    return;
  }

  std::set<std::int64_t> wanted;
  if (!chosen.IsSelected)
    for (const auto& m : chosen.Messages)
      if (m->IsSelected) wanted.insert(m->MessageID);
  std::set<std::int64_t> found;
  for (const api::TStoreMailMessage& message : stored) {
    if (!IsRunning()) break;
    const api::TStoreEntry& m = message.Entry;
    const auto parts = ParseMailMessageFileName(m.ObjectName);
    const bool take = chosen.IsSelected || (parts && parts->FolderID == chosen.FolderID &&
                                            wanted.count(parts->MessageID) > 0);
    if (take) {
      if (parts) found.insert(parts->MessageID);
      EnqueueDownload(ctx, JoinPath(m.ObjectFolder, m.ObjectName), m.ObjectSize, folderData,
                      m.ObjectVersion, m.ObjectDate);
    }
    ctx.Pace(1);
  }
  if (!IsRunning()) return;
  for (std::int64_t id : wanted)
    if (!found.count(id))
      RecordFailedObject(
          *this,
          JoinPath(entry->FolderPath, MailMessageFileName(kind, chosen.FolderID, id, false, 0)), {},
          folderData);
}

}  // namespace solvane
