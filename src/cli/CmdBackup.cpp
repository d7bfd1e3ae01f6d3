// backup PATH... and sync FOLDER: one-off upload tasks of local files and
// folders.

#include <iostream>

#include "cli/CliCommandTable.h"
#include "cli/CliServerStore.h"
#include "cli/CliTaskWait.h"
#include "client/TaskMakers.h"
#include "client/Unit_PublicInfo.h"
#include "platform/FileFacts.h"

namespace solvane::cli {

namespace {

// The typed paths as absolute choices; nullopt after an error message.
std::optional<std::vector<TLocalChoice>> LocalChoices(const TCliOptions& o, bool foldersOnly) {
  std::vector<TLocalChoice> choices;
  for (const auto& arg : o.args) {
    const std::string path = AbsoluteLocal(arg);
    auto facts = PlatformFileFacts().Examine(path);
    if (!facts) {
      std::cerr << "error: " << arg << " does not exist\n";
      return std::nullopt;
    }
    if (foldersOnly && !facts->isFolder) {
      std::cerr << "error: sync takes a folder; " << arg << " is a file\n";
      return std::nullopt;
    }
    choices.push_back({path, facts->isFolder});
  }
  return choices;
}

}  // namespace

int RunBackup(TPublicInfo& info, const TCliOptions& o) {
  auto choices = LocalChoices(o, false);
  if (!choices) return kExitUsage;
  return StartAndWait(info, MakeFileBackupTask(info, *choices));
}

int RunSync(TPublicInfo& info, const TCliOptions& o) {
  auto choices = LocalChoices(o, true);
  if (!choices) return kExitUsage;
  return StartAndWait(info, MakeFolderSyncTask(info, *choices));
}

}  // namespace solvane::cli
