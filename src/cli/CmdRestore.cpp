// restore SERVERPATH...: a one-off restore from the backup or sync store.

#include <iostream>

#include "cli/CliCommandTable.h"
#include "cli/CliServerStore.h"
#include "cli/CliTaskWait.h"
#include "client/TaskMakers.h"
#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"

namespace solvane::cli {

namespace {

// The stored object path names, as its parent folder lists it; a root is
// taken as a folder without asking.
std::optional<TServerChoice> FindStored(TPublicInfo& info, int kind, const std::string& path) {
  const std::string parent = StripSlash(ParentPath(path));
  if (parent.empty() || path == "/") return TServerChoice{path, true, -1, -1, -1};
  std::vector<TServerEntry> entries;
  if (!ListServerFolder(info, kind, parent, entries)) return std::nullopt;
  const std::string name = FileNameOf(path);
  for (const auto& e : entries)
    if (e.name == name) return TServerChoice{path, e.isFolder, e.size, e.date, e.version};
  return std::nullopt;
}

TRestoreTarget RestoreTargetOf(const TCliOptions& o) {
  TRestoreTarget target;
  if (o.to) target.Folder = AbsoluteLocal(*o.to);
  target.Flat = o.flat;
  target.Overwrite = o.overwrite;
  return target;
}

}  // namespace

int RunRestore(TPublicInfo& info, const TCliOptions& o) {
  std::vector<TServerChoice> objects;
  for (const auto& arg : o.args) {
    auto found = FindStored(info, o.kind, WithoutTrailingSlash(ToSlashes(arg)));
    if (!found) {
      std::cerr << "error: " << arg << " is not in the server store\n";
      return kExitUsage;
    }
    objects.push_back(*found);
  }
  return StartAndWait(info, MakeFileRestoreTask(info, o.kind, objects, RestoreTargetOf(o)));
}

}  // namespace solvane::cli
