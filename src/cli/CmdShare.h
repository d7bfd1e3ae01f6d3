#pragma once
// solvane-cli share ls|put|get: the public share area from the command line.

#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

// Checks the arguments of "share" (the subcommand first); false with a
// clear message in error when they do not fit.
bool CheckShareArgs(const std::vector<std::string>& args, std::string& error);

// Runs "share ls [FOLDERID]", "share put FOLDERID FILE..." or "share get
// FOLDERID NAME DIR" for the signed-in session. A protected folder is opened
// first with its password (--share-password, else SOLVANE_SHARE_PASSWORD,
// else asked on the terminal). Exit status as RunCli.
int RunShareCommand(TPublicInfo& info, const TCliOptions& options);

}  // namespace solvane::cli
