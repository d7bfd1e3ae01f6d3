// sync FOLDER: a one-off synchronisation of a local folder.

#include "cli/CliCommandTable.h"
#include "cli/CliLocalChoices.h"
#include "cli/CliTaskWait.h"
#include "client/Unit_PublicInfo.h"

namespace solvane::cli {

int RunSync(TPublicInfo& info, const TCliOptions& o) {
  auto choices = LocalChoices(o, true);
  if (!choices) return kExitUsage;
  return StartAndWait(info, MakeFolderSyncTask(info, *choices));
}

}  // namespace solvane::cli
