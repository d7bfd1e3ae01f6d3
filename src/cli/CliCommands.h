#pragma once

#include "cli/CliOptions.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

// Adds the one-off task to the task list, starts it and waits for its end
// with progress on stderr; 0 when no file failed and it was not stopped.
int StartAndWait(TPublicInfo& info, const TTaskObjectPtr& task);

// Runs one command; the process exit status: 0 success, 1 some files
// failed or the command failed, 2 usage or sign-in errors.
int RunCli(const TCliOptions& options);

}  // namespace solvane::cli
