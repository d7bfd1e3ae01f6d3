#include "tasks/UploadWalk.h"

#include <deque>
#include <vector>

#include "tasks/LocalFolderEntries.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskRunning.h"

namespace solvane {

void WalkUploadFolder(TTaskObject& task, IEngineContext& ctx, const std::string& folder,
                      const TUploadPathTest& passes) {
  const std::string root = WithTrailingSeparator(folder);
  if (passes(root, true)) IfRunning(task, [&] { task.FolderList.AddFolder(root, true); });
  std::deque<std::string> work{root};
  std::vector<TLocalEntry> entries;
  while (!work.empty() && task.IsRunning()) {
    const std::string path = WithTrailingSeparator(work.front());
    ListLocalFolder(path, entries);
    for (const TLocalEntry& entry : entries) {
      if (!task.IsRunning()) break;
      if (entry.Kind == TLocalEntry::kFolder) {
        const std::string sub = path + entry.Name;
        if (passes(sub, true)) {
          work.push_back(sub);
          IfRunning(task, [&] { task.FolderList.AddFolder(sub, true); });
        }
      }
      ctx.Pace(1);
    }
    work.pop_front();
    ctx.Pace(1);
  }
}

void QueueUploadFolderFiles(TTaskObject& task, IEngineContext& ctx, const TFolderObject& folder,
                            const TUploadPathTest& passes,
                            const std::function<void(const std::string& file)>& queue) {
  if (folder.IsWholeFolder) {
    const std::string path = WithTrailingSeparator(folder.FolderPath);
    std::vector<TLocalEntry> entries;
    ListLocalFolder(path, entries);
    for (const TLocalEntry& entry : entries) {
      if (!task.IsRunning()) break;
      if (entry.Kind == TLocalEntry::kFile) {
        const std::string file = path + entry.Name;
        if (passes(file, false)) IfRunning(task, [&] { queue(file); });
      }
      ctx.Pace(1);
    }
    return;
  }
  for (const TTaskFileObject& object : SelectedObjects(task)) {
    if (!task.IsRunning()) break;
    if (object.ObjectKind == 0 && LocalParentFolder(object.ObjectName) == folder.FolderPath &&
        passes(object.ObjectName, false))
      IfRunning(task, [&] { queue(object.ObjectName); });
    ctx.Pace(1);
  }
}

}  // namespace solvane
