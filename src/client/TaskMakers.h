#pragma once
// The one-off tasks the command-line client and the screens start: each is
// made from plain values and comes back ready for the task list (temporary,
// the signed-in user's, a fresh TaskID, created now). A one-off upload is
// named "临时任务" followed by its TaskID; a restore "临时任务" followed by
// the time it was made ("yyyy-mm-dd hh:nn:ss"). Add a task to the list
// before making the next one, so that the next gets another TaskID.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tasks/TTaskObject_ShareFile.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class IEngineContext;

struct TLocalChoice {
  std::string Path;  // absolute, no trailing separator
  bool IsFolder = false;
};

// File backup (kind 100) of files and folders.
TTaskObjectPtr MakeFileBackupTask(IEngineContext& ctx, const std::vector<TLocalChoice>& objects);
// Folder sync (kind 200) of folders.
TTaskObjectPtr MakeFolderSyncTask(IEngineContext& ctx, const std::vector<TLocalChoice>& folders);

// Where a restore puts what it brings back.
struct TRestoreTarget {
  std::optional<std::string> Folder;  // absolute; none: the original places
  bool Flat = false;                  // with Folder: every file directly in it
  bool Overwrite = false;             // replace a file that exists
};

struct TServerChoice {
  std::string Path;  // server path, "/" separators
  bool IsFolder = false;
  std::int64_t Size = -1, Date = -1, Version = -1;
};

// Restore from the backup (100) or sync (200) store; ParentFolder is the
// server folder of the first object.
TTaskObjectPtr MakeFileRestoreTask(IEngineContext& ctx, int storeKind,
                                   const std::vector<TServerChoice>& objects,
                                   const TRestoreTarget& target);

// A mail choice: whole folders (parent ID, folder ID) and single messages
// (folder ID, message ID). parentOf gives a picked message's folder's
// parent, -1 when unknown.
struct TMailTaskChoice {
  std::vector<std::pair<std::int64_t, std::int64_t>> WholeFolders;
  std::vector<std::pair<std::int64_t, std::int64_t>> Messages;
  std::function<std::int64_t(std::int64_t folderId)> ParentOf;
};

// Mail-client backup (kind 500) of the chosen folders and messages of one
// mail client (kMCKind*).
TTaskObjectPtr MakeMailBackupTask(IEngineContext& ctx, int mailKind, const TMailTaskChoice& choice);
// Mail restore from the mail store.
TTaskObjectPtr MakeMailRestoreTask(IEngineContext& ctx, int mailKind, const TMailTaskChoice& choice,
                                   const TRestoreTarget& target);

// Share upload and download: MakeShareUploadTask and MakeShareDownloadTask
// (tasks/TTaskObject_ShareFile.h) are the makers; their tasks are named
// "共享区任务" followed by the time.

}  // namespace solvane
