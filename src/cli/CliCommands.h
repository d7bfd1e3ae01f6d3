#pragma once

#include "cli/CliOptions.h"

namespace solvane::cli {

// Signs in (unless the command works offline), runs the command of the
// table and signs out; the process exit status (CliExitCodes.h).
int RunCli(const TCliOptions& options);

}  // namespace solvane::cli
