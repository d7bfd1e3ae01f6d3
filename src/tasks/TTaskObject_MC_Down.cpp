// Mail restore: one entry per chosen mail folder; the folder's stored
// message files listed from the server's mail store and downloaded like any
// restored file.

#include <set>

#include "tasks/EngineContext.h"
#include "mail/QorWithMCService.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/TaskRunning.h"
#include "tasks/TaskServerCall.h"

namespace solvane {

namespace {

struct TStoredMessage {
  std::string Folder;
  std::string Name;
  std::int64_t Size = -1;
  std::int64_t Date = -1;
  std::int64_t Version = -1;
};

// The live message files of one mail folder ("TBrower.ShowMCObject_Message"),
// named by client, folder and parent, in the store of userCode.
bool ListStoredMessages(IEngineContext& ctx, TQorPack& frame, const std::string& userCode,
                        int mcKind, const TQorMCFolderObject& folder,
                        std::vector<TStoredMessage>& out) {
  out.clear();
  frame.Reset();
  frame.SetFunNo("TBrower.ShowMCObject_Message");
  frame.AddString(1, "UCode", userCode);
  frame.AddString(1, "MCKindName", TQorMCService::GetKindName(mcKind));
  frame.AddString(1, "MCFolder", std::to_string(folder.FolderID));
  frame.AddString(1, "MCFolderParentID", std::to_string(folder.ParentID));
  if (!CallServer(ctx, frame)) return false;
  for (int n = 1, count = frame.RecordSetCount(); n <= count; ++n) {
    TStoredMessage m;
    m.Folder = frame.FieldByName(n, "ObjectFolder").AsString();
    m.Name = frame.FieldByName(n, "ObjectName").AsString();
    m.Size = frame.FieldByName(n, "ObjectSize").AsInteger();
    m.Date = frame.FieldByName(n, "ObjectDate").AsInteger();
    m.Version = frame.FieldByName(n, "ObjectVersion").AsInteger();
    out.push_back(std::move(m));
  }
  return true;
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
  std::vector<TStoredMessage> stored;
  if (TQorMCService::GetKindName(kind).empty() ||
      !ListStoredMessages(ctx, Frame2, userCode, kind, chosen, stored)) {
    RecordFailedObject(*this, entry->FolderPath, {}, folderData);
    return;
  }

  std::set<std::int64_t> wanted;
  if (!chosen.IsSelected)
    for (const auto& m : chosen.Messages)
      if (m->IsSelected) wanted.insert(m->MessageID);
  std::set<std::int64_t> found;
  for (const TStoredMessage& m : stored) {
    if (!IsRunning()) break;
    const auto parts = ParseMailMessageFileName(m.Name);
    const bool take = chosen.IsSelected || (parts && parts->FolderID == chosen.FolderID &&
                                            wanted.count(parts->MessageID) > 0);
    if (take) {
      if (parts) found.insert(parts->MessageID);
      EnqueueDownload(ctx, JoinPath(m.Folder, m.Name), m.Size, folderData, m.Version, m.Date);
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
