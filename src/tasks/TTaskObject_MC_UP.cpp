// Mail backup: loading the chosen folders and messages, one folder entry per
// chosen folder, and exporting and queueing the chosen messages.

#include <exception>
#include <filesystem>

#include "tasks/EngineContext.h"
#include "mail/QorWithMCService.h"
#include "session/DosDateTime.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/TaskRunning.h"
#include "api/TaskApi.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

namespace {

std::vector<std::shared_ptr<TQorMCFolderObject>> ChosenFolders(const TTaskObject& task) {
  auto lock = task.Lock();
  return task.MCInfo.MCFolders;
}

// A private copy of the reader's folder without its messages: the task reads
// the folder's current messages into it, so a run sees the mail that arrived
// since a screen last read the folder and leaves the screens' lists alone.
TQorMCFolderObject EmptyCopy(const TQorMCFolderObject& folder) {
  TQorMCFolderObject copy;
  copy.FolderID = folder.FolderID;
  copy.ParentID = folder.ParentID;
  copy.Name = folder.Name;
  copy.Data = folder.Data;
  copy.Cargo = folder.Cargo;
  copy.FileName1 = folder.FileName1;
  copy.FileName2 = folder.FileName2;
  return copy;
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

// The folder's messages as the store holds them now, read into a private
// copy of the reader's folder. REQUIRES: LockMailReaders held.
TQorMCFolderObject ReadCurrentMessages(TQorCustomMC& reader, const TQorMCFolderObject& known) {
  TQorMCFolderObject current = EmptyCopy(known);
  try {
    reader.ReadMessage(current, true);
  } catch (...) {
    current.IsLoaded = false;
  }
  return current;
}

}  // namespace

// Where one chosen folder's messages go, and how its failures are counted.
TTaskObject_MC_UP::TMailFolderRun::TMailFolderRun(TTaskObject& task, int kind,
                                                  const std::string& cacheFolder,
                                                  const TQorMCFolderObject& saved)
    : Task(task),
      Kind(kind),
      FolderID(saved.FolderID),
      FolderData(static_cast<std::int32_t>(saved.FolderID)),
      ExportFolder(MailExportFolder(cacheFolder, kind, saved.ParentID)),
      ObjectFolder(MailObjectFolder(kind, saved.ParentID)) {}

std::string TTaskObject_MC_UP::TMailFolderRun::MessageFile(std::int64_t messageId,
                                                           const TChosenMessage& chosen) const {
  return ExportFolder +
         MailMessageFileName(Kind, FolderID, messageId, chosen.RepeatedId, chosen.Position);
}

// A folder that cannot be backed up is one failed object named after the
// folder, so the run does not end as an empty success.
void TTaskObject_MC_UP::TMailFolderRun::FolderFailed() const {
  RecordFailedObject(Task, ExportFolder + std::to_string(FolderID), ObjectFolder, FolderData);
}

void TTaskObject_MC_UP::TMailFolderRun::MessageFailed(std::int64_t messageId,
                                                      const TChosenMessage& chosen) const {
  RecordFailedObject(Task, MessageFile(messageId, chosen), ObjectFolder, FolderData);
}

std::unique_lock<std::recursive_mutex> LockMailReaders() {
  static std::recursive_mutex readers;
  return std::unique_lock(readers);
}

TQorCustomMC* ActiveMailReader(TQorMCService& service, int mcKind) {
  switch (mcKind) {
    case kMCKindFoxmail:
      service.SetFoxmailActive(true);
      break;
    case kMCKindOutlook:
      service.SetOutlookActive(true);
      break;
    case kMCKindOutlookExpress:
      service.SetOutlookExpressActive(true);
      break;
    default:
      return nullptr;
  }
  TQorCustomMC* reader = service.GetReader(mcKind);
  // Activated before with a store that was not there yet, or given a store
  // since: Init reads the folders only while they are not read.
  if (reader && !reader->Loaded) {
    reader->InitError.clear();
    try {
      reader->Init();
    } catch (const std::exception& e) {
      reader->InitError = e.what();
    } catch (...) {
      reader->InitError = "unknown error while reading the mail store";
    }
  }
  return reader;
}

void RecordFailedObject(TTaskObject& task, const std::string& sourcePath,
                        const std::string& objectFolder, std::int32_t objectData) {
  auto failed = std::make_shared<TPostBagItem>();
  failed->SourcePath = sourcePath;
  failed->ObjectFolder = objectFolder;
  failed->ObjectData = objectData;
  auto lock = task.Lock();
  failed->ObjectID = static_cast<std::int32_t>(task.ErrorBag.Count() + 1);
  task.ErrorBag.Append(std::move(failed));
  ++task.PostBag.Counters().TotalFileCount;
  ++task.PostBag.Counters().FileErrorCount;
}

TTaskObject_MC_UP::TTaskObject_MC_UP(std::string userCode) : TTaskObject(std::move(userCode)) {
  TaskKind = kKindMailClient;
  TaskDirection = 0;
}

// ------------------------------------------------------------ definition

bool TTaskObject_MC_UP::LoadObjects(IEngineContext& ctx) {
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;

  TTaskMCInfo info;
  {
    auto lock = Lock();
    info.MCKind = MCInfo.MCKind;
  }
  // Every call of the load goes on one connection.
  const api::TApiLink link(*lease);
  for (const api::TTaskMailFolder& f : api::TaskGetMCObject(link, TaskID).value) {
    auto folder = std::make_shared<TQorMCFolderObject>();
    folder->ParentID = f.MCFolderParentID;
    folder->FolderID = f.MCFolderID;
    folder->IsSelected = f.IsSelected;
    folder->FileName1 = f.MCFileName1;
    folder->FileName2 = f.MCFileName2;
    info.MCKind = static_cast<std::uint8_t>(f.MCKind);  // the last folder's kind holds
    info.MCFolders.push_back(std::move(folder));
    ctx.Pace(1);
  }

  for (const auto& folder : info.MCFolders) {
    const auto messages = api::TaskGetMCObjectMessage(link, TaskID, folder->FolderID);
    for (const api::TTaskMailMessage& chosen : messages.value) {
      TQorMCMessage m;
      m.MessageID = chosen.MCMessageID;
      m.Subject = chosen.MCMessageSubject;
      m.Sender = chosen.MCMessageSender;
      DosToDateTime(chosen.SentDateDos, m.SendDate);
      m.FolderID = folder->FolderID;
      m.IsSelected = true;  // the server lists the messages chosen for the task
      folder->Messages.Add(std::move(m));
      ctx.Pace(1);
    }
  }

  auto lock = Lock();
  MCInfo = std::move(info);
  return true;
}

// ------------------------------------------------------------------ walk

void TTaskObject_MC_UP::DetectFolders(IEngineContext& ctx) {
  int kind = 0;
  {
    auto lock = Lock();
    kind = MCInfo.MCKind;
  }
  const std::string cache = ctx.CacheFolder();
  for (const auto& folder : ChosenFolders(*this)) {
    if (!IsRunning()) break;
    const std::string path =
        MailFolderCacheDirectory(cache, kind, folder->ParentID, folder->FolderID);
    IfRunning(*this, [&] { FolderList.AddMailFolder(path, folder, folder->IsSelected); });
    ctx.Pace(1);
  }
}

// ------------------------------------------------------------------ calc

void TTaskObject_MC_UP::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& entry) {
  if (!entry || !entry->MCFolder) return;
  const TQorMCFolderObject& saved = *entry->MCFolder;
  int kind = 0;
  {
    auto lock = Lock();
    kind = MCInfo.MCKind;
  }
  const TMailFolderRun run(*this, kind, ctx.CacheFolder(), saved);
  if (TQorMCService::GetKindName(kind).empty() || ctx.CacheFolder().empty())
    return run.FolderFailed();

  auto readers = LockMailReaders();
  TQorCustomMC* reader = ActiveMailReader(ctx.MailService(), kind);
  const TQorMCFolderObject* known =
      reader && reader->Installed ? reader->Folders.FindByID(saved.FolderID) : nullptr;
  if (!known) return run.FolderFailed();
  const TQorMCFolderObject current = ReadCurrentMessages(*reader, *known);
  // A store read cut short still gives the messages read before the damage.
  if (!current.IsLoaded) run.FolderFailed();

  const TMailChoice choice = ChooseMessages(current, saved);
  for (std::int64_t missing : choice.Missing) run.MessageFailed(missing, {});
  for (const TChosenMessage& chosen : choice.Messages) {
    if (!IsRunning()) break;
    ExportAndQueue(*reader, current, chosen, run);
    ctx.Pace(1);
  }
}

void TTaskObject_MC_UP::ExportAndQueue(TQorCustomMC& reader, const TQorMCFolderObject& folder,
                                       const TChosenMessage& chosen, const TMailFolderRun& run) {
  const TQorMCMessage& m = *chosen.Message;
  const std::string file = run.MessageFile(m.MessageID, chosen);
  // A copy left by an earlier run must never travel in place of this one.
  RemoveFile(file);
  TQorMCExportResult exported;
  try {
    exported = reader.ExportMessage(folder, m, file);
  } catch (const std::exception& e) {
    exported = {false, std::string("export raised an error: ") + e.what()};
  } catch (...) {
    exported = {false, "export raised an error"};
  }
  if (!exported.Ok) {
    RemoveFile(file);
    run.MessageFailed(m.MessageID, chosen);
    return;
  }
  const std::string description = MailDescriptionForWire(m);
  IfRunning(*this, [&] {
    PostBag.AddMailMessage(file, run.ObjectFolder, run.FolderData, run.Kind, description);
  });
}

}  // namespace solvane
