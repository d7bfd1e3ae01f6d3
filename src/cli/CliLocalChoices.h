#pragma once
// Local files and folders typed on the command line, as task choices.

#include <optional>
#include <vector>

#include "cli/CliOptions.h"
#include "client/TaskMakers.h"

namespace solvane::cli {

// The command's arguments made absolute, each with its kind from the disk;
// foldersOnly refuses a file. nullopt after an error message.
std::optional<std::vector<TLocalChoice>> LocalChoices(const TCliOptions& o, bool foldersOnly);

}  // namespace solvane::cli
