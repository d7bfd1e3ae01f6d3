// Share downloads: the chosen files of one share folder, each queued for
// download with "ObjectData" = the share folder. The task knows its files
// from the folder's listing the screen showed, so it makes no listing call
// of its own.

#include <string>

#include "tasks/EngineContext.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "tasks/TaskRunning.h"

namespace solvane {

TTaskObject_ShareFile_Down::TTaskObject_ShareFile_Down(std::string userCode)
    : TTaskObject_ShareFile(std::move(userCode)) {
  TaskKind = kKindShareFile;
  TaskDirection = 1;
}

void TTaskObject_ShareFile_Down::DetectFolders(IEngineContext&) {
  const std::string entry = std::to_string(ShareFolder());
  IfRunning(*this, [&] { FolderList.AddFolder(entry, true); });
}

void TTaskObject_ShareFile_Down::CalcFolder(IEngineContext& ctx, const TFolderObjectPtr&) {
  const std::int32_t shareFolder = ShareFolder();
  for (const TTaskFileObject& object : SelectedObjects(*this)) {
    if (!IsRunning()) break;
    if (object.ObjectKind == 0)
      EnqueueDownload(ctx, object.ObjectName, object.ObjectSize, shareFolder, object.ObjectVersion,
                      object.ObjectDate);
    ctx.Pace(1);
  }
}

}  // namespace solvane
