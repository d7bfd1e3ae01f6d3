// run TASKID: a named task started at once.

#include <cstdlib>
#include <iostream>

#include "cli/CliCommandTable.h"
#include "cli/CliTaskWait.h"
#include "client/Unit_PublicInfo.h"

namespace solvane::cli {

int RunNamedTask(TPublicInfo& info, const TCliOptions& o) {
  char* end = nullptr;
  long id = std::strtol(o.args[0].c_str(), &end, 10);
  auto task = (end && *end == '\0') ? info.Tasks().FindTask(static_cast<std::int32_t>(id)) : nullptr;
  if (!task) {
    std::cerr << "error: no task " << o.args[0] << " (see: solvane-cli tasks)\n";
    return kExitUsage;
  }
  if (!info.Tasks().RequestStart(task->TaskID, false, info.Now())) {
    std::cerr << "error: task " << o.args[0] << " is already waiting or running\n";
    return kExitFailed;
  }
  return WaitForEnd(info, task) ? kExitOk : kExitFailed;
}

}  // namespace solvane::cli
