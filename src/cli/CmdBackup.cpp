// backup PATH...: a one-off backup of local files and folders.

#include "cli/CliCommandTable.h"
#include "cli/CliLocalChoices.h"
#include "cli/CliTaskWait.h"
#include "client/Unit_PublicInfo.h"

namespace solvane::cli {

int RunBackup(TPublicInfo& info, const TCliOptions& o) {
  auto choices = LocalChoices(o, false);
  if (!choices) return kExitUsage;
  return StartAndWait(info, MakeFileBackupTask(info, *choices));
}

}  // namespace solvane::cli
