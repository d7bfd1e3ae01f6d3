#pragma once
// Mail-client tasks (kind 500). The upload exports each chosen message of
// the chosen mail folders to a file of its own in the cache folder and
// queues it with its description; the restore lists the stored message
// files of the chosen folders on the server and downloads them.

#include <mutex>
#include <string>

#include "tasks/MailTaskPaths.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TQorCustomMC;
class TQorMCService;

// The lock every use of the shared mail readers takes: the calc stage reads
// and exports on its own thread while the mail screens use the same readers.
std::unique_lock<std::recursive_mutex> LockMailReaders();

// The reader of a kind, activated (created and Init run) when it is not
// yet. REQUIRES: LockMailReaders held. Null for a kind without a reader.
TQorCustomMC* ActiveMailReader(TQorMCService& service, int mcKind);

class TTaskObject_MC_UP : public TTaskObject {
 public:
  explicit TTaskObject_MC_UP(std::string userCode);
  // The chosen folders ("TTask.GetMCObject") and their singly chosen
  // messages ("TTask.GetMCObject_Message").
  bool LoadObjects(IEngineContext& ctx) override;
  // One entry per chosen folder: its cache directory.
  void DetectFolders(IEngineContext& ctx) override;
  // Reads the folder's current messages from its reader (activating the
  // reader when no screen did), exports each chosen message and queues it.
  // What cannot be backed up (no reader, unknown folder, unreadable store,
  // a chosen message gone, a failed export) is counted as a failed file.
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;

 private:
  struct TMailFolderRun {
    TMailFolderRun(TTaskObject& task, int kind, const std::string& cacheFolder,
                   const TQorMCFolderObject& saved);
    // The export file of a message: <export folder>/<FolderID>-<MessageID>.eml.
    std::string MessageFile(std::int64_t messageId, const TChosenMessage& chosen) const;
    void FolderFailed() const;
    void MessageFailed(std::int64_t messageId, const TChosenMessage& chosen) const;

    TTaskObject& Task;
    int Kind;
    std::int64_t FolderID;
    std::int32_t FolderData;   // "ObjectData": the folder ID's low 32 bits
    std::string ExportFolder;  // <CacheFolder>/<kind name>/<ParentID>/
    std::string ObjectFolder;  // "/<kind name>/<ParentID>/"
  };
  // Exports one chosen message to its own file and queues it; a message that
  // cannot be exported is counted as failed and leaves no file.
  void ExportAndQueue(TQorCustomMC& reader, const TQorMCFolderObject& folder,
                      const TChosenMessage& chosen, const TMailFolderRun& run);
};

class TTaskObject_MC_Down : public TTaskObject {
 public:
  explicit TTaskObject_MC_Down(std::string userCode);
  // One entry per chosen folder: its store folder on the server.
  void DetectFolders(IEngineContext& ctx) override;
  // Lists the folder's stored message files ("TBrower.ShowMCObject_Message")
  // and queues the chosen ones for download into
  // <restore folder>/<kind name>/<ParentID>/<FolderID>/ (RestoreInfo: the
  // original place is the cache folder; 2 puts them flat in the chosen
  // folder). A folder the server does not hold, or a chosen message it does
  // not hold, is counted as a failed file.
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;
};

// Counts a file of the run that failed before reaching the queue: a copy in
// the error bag (reported at the end) and one more failed file.
void RecordFailedObject(TTaskObject& task, const std::string& sourcePath,
                        const std::string& objectFolder, std::int32_t objectData);

}  // namespace solvane
