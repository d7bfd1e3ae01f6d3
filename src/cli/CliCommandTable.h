#pragma once
// The commands of solvane-cli: name, usage lines for --help, and the
// handler, which runs for the signed-in user unless the command works
// offline.

#include <string>
#include <string_view>
#include <vector>

#include "cli/CliExitCodes.h"
#include "cli/CliOptions.h"

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

using TCliHandler = int (*)(TPublicInfo& info, const TCliOptions& options);

struct TCliCommand {
  std::string name;
  std::string usage;  // its lines of --help, each ending in a line break
  TCliHandler run;
  // True for a run that needs no server (nullptr: never).
  bool (*offline)(const TCliOptions& options) = nullptr;
};

// Every command, in the order --help lists them.
const std::vector<TCliCommand>& CliCommandTable();
// The command of that name; nullptr when there is none.
const TCliCommand* FindCliCommand(std::string_view name);

// The handlers, one file each.
int RunBackup(TPublicInfo& info, const TCliOptions& o);
int RunSync(TPublicInfo& info, const TCliOptions& o);
int RunRestore(TPublicInfo& info, const TCliOptions& o);
int RunList(TPublicInfo& info, const TCliOptions& o);
int RunTasks(TPublicInfo& info, const TCliOptions& o);
int RunNamedTask(TPublicInfo& info, const TCliOptions& o);
int RunDaemon(TPublicInfo& info, const TCliOptions& o);
int RunTrust(TPublicInfo& info, const TCliOptions& o);

}  // namespace solvane::cli
