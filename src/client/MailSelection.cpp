#include "client/MailSelection.h"

#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_MC.h"

namespace solvane {

namespace {

std::shared_ptr<TQorMCFolderObject> DetachedFolder(const TQorMCFolderObject& folder) {
  auto copy = std::make_shared<TQorMCFolderObject>();
  copy->FolderID = folder.FolderID;
  copy->ParentID = folder.ParentID;
  copy->Name = folder.Name;
  copy->Data = folder.Data;
  copy->Cargo = folder.Cargo;
  copy->FileName1 = folder.FileName1;
  copy->FileName2 = folder.FileName2;
  copy->IsSelected = folder.IsSelected;
  copy->IsLoaded = folder.IsLoaded;
  if (folder.IsSelected) return copy;  // the whole folder is meant
  for (const auto& m : folder.Messages) {
    if (!m->IsSelected) continue;
    TQorMCMessage message = *m;
    message.IsSelected = true;
    copy->Messages.Add(std::move(message));
  }
  return copy;
}

}  // namespace

TMailSelection CopyMailSelection(const TQorCustomMC& reader) {
  TMailSelection selection;
  selection.Kind = reader.Kind;
  for (const auto& folder : reader.Folders)
    if (folder->IsSelected || HasSelectedMessage(*folder))
      selection.Folders.push_back(DetachedFolder(*folder));
  return selection;
}

TMailSelection CopyMailSelection(TPublicInfo& info, int kind) {
  auto lock = LockMailReaders();
  TQorCustomMC* reader = info.MailService().GetReader(kind);
  if (!reader) return {static_cast<std::uint8_t>(kind), {}};
  return CopyMailSelection(*reader);
}

std::vector<api::TTaskMailFolder> MailFolderRecords(const TMailSelection& selection) {
  std::vector<api::TTaskMailFolder> records;
  for (const auto& f : selection.Folders)
    records.push_back({selection.Kind, f->ParentID, f->FolderID, f->Data, f->Cargo, f->FileName1,
                       f->FileName2, f->IsSelected});
  return records;
}

std::vector<api::TTaskMailMessage> MailMessageRecords(const TMailSelection& selection) {
  std::vector<api::TTaskMailMessage> records;
  for (const auto& f : selection.Folders) {
    if (f->IsSelected) continue;
    for (const auto& m : f->Messages) {
      api::TTaskMailMessage r;
      r.MCKind = selection.Kind;
      r.MCFolderID = f->FolderID;
      r.MCMessageID = m->MessageID;
      r.MCMessageSubject = m->Subject;
      r.MCMessageSender = m->Sender;
      r.SentDate = m->SendDate;
      r.MCMessageSize = m->Size;
      r.MCMessageCago = m->Cargo;
      records.push_back(std::move(r));
    }
  }
  return records;
}

bool SendMailSelection(TPublicInfo& info, std::int32_t taskId, const TMailSelection& selection) {
  TTaskObjectPtr task = info.Tasks().FindTask(taskId);
  if (!task) return false;
  bool temporary = false;
  {
    auto lock = task->Lock();
    temporary = task->IsTemporary;
  }
  if (!temporary) {
    const api::TCaller from{info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()};
    if (!api::TaskSetMCObject(info.Pool(), from, info.UserCode(), taskId,
                              MailFolderRecords(selection)))
      return false;
    const auto messages = MailMessageRecords(selection);
    if (!messages.empty() &&
        !api::TaskSetMCObjectMessage(info.Pool(), from, info.UserCode(), taskId, messages))
      return false;
  }
  auto lock = task->Lock();
  task->MCInfo.MCKind = selection.Kind;
  task->MCInfo.MCFolders = selection.Folders;
  return true;
}

}  // namespace solvane
