#pragma once

#include "cli/CliOptions.h"

namespace solvane::cli {

// Runs one command; the process exit status: 0 success, 1 some files
// failed or the command failed, 2 usage or sign-in errors.
int RunCli(const TCliOptions& options);

}  // namespace solvane::cli
