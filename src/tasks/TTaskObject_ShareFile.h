#pragma once
// Share-area transfer tasks (kind 171): local files and folders uploaded
// into a folder of the public share area, and share files downloaded into a
// chosen local folder. Both are one-off tasks; the transfers run through the
// check stage and the engines like any other, with "ObjectData" = the share
// folder. A password-protected folder must have been opened in this session
// (OpenShareFolder, ShareAreaCalls.h) before such a task starts.

#include <cstdint>
#include <string>
#include <vector>

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TTaskObject_ShareFile : public TTaskObject {
 public:
  using TTaskObject::TTaskObject;
  void SetShareFolder(std::int32_t folderId);
  std::int32_t ShareFolder() const;

 protected:
  std::int32_t ShareFolderID = -1;
};

class TTaskObject_ShareFile_UP : public TTaskObject_ShareFile {
 public:
  explicit TTaskObject_ShareFile_UP(std::string userCode);
  // The chosen files and folders walked without filter or policy: a folder
  // adds itself and every subfolder as whole entries; a file adds its parent
  // folder as a partial entry.
  void DetectFolders(IEngineContext& ctx) override;
  // Queues the entry's files for the share folder (AddShareFile).
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;

 private:
  void WalkFolder(IEngineContext& ctx, const std::string& folder);
};

class TTaskObject_ShareFile_Down : public TTaskObject_ShareFile {
 public:
  explicit TTaskObject_ShareFile_Down(std::string userCode);
  // One whole entry named by the share folder; no listing call.
  void DetectFolders(IEngineContext& ctx) override;
  // Queues every chosen file object for download (EnqueueDownload).
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;
};

// A share file as the folder's listing shows it.
struct TShareFileChoice {
  std::string Name;
  std::int64_t Size = -1;
  std::int64_t Date = -1;  // packed DOS date-time
};

// The one-off tasks the share screen and the command-line client make:
// temporary, ID and name from now ("共享区任务" + date-time), the signed-in
// user's, for share folder folderId. The ID is one not in the task list yet:
// add the task to the list before making the next one.
// Upload: one file object per local path (files and folders, kind from the
// disk; a missing path is taken as a file and fails at transfer).
std::shared_ptr<TTaskObject_ShareFile_UP> MakeShareUploadTask(
    IEngineContext& ctx, std::int32_t folderId, const std::vector<std::string>& localPaths);
// Download: the chosen files land directly in localFolder under their own
// names (IsDefine 2); an existing file is replaced, its previous copy kept
// beside it as "<name>.tmp" (the task's RestoreInfo.Overwrite is set).
std::shared_ptr<TTaskObject_ShareFile_Down> MakeShareDownloadTask(
    IEngineContext& ctx, std::int32_t folderId, const std::vector<TShareFileChoice>& files,
    const std::string& localFolder);

}  // namespace solvane
