#pragma once
// The walks an upload task makes over its chosen local objects: shared by the
// file backup and sync uploads (which test every path against their filter)
// and the share uploads (which take everything).

#include <functional>
#include <string>

#include "tasks/EngineContext.h"
#include "tasks/TPostBag.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

// Whether a local path (a folder when isFolder) takes part in the upload.
using TUploadPathTest = std::function<bool(const std::string& path, bool isFolder)>;

// Adds folder (whole) to the task's folder list when it passes, then every
// subfolder below it, breadth first, that passes. A subfolder that fails is
// neither added nor walked; the folder itself is walked even when it fails.
// Stops when the task no longer runs; 1 ms pause per entry and per folder.
void WalkUploadFolder(TTaskObject& task, IEngineContext& ctx, const std::string& folder,
                      const TUploadPathTest& passes);

// Hands the files of one folder entry to queue (under the task's lock, while
// it runs): a whole entry gives every file of its folder that passes; any
// other entry the task's chosen file objects whose parent folder is the
// entry's path and that pass. 1 ms pause per entry.
void QueueUploadFolderFiles(TTaskObject& task, IEngineContext& ctx, const TFolderObject& folder,
                            const TUploadPathTest& passes,
                            const std::function<void(const std::string& file)>& queue);

}  // namespace solvane
