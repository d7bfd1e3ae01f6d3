// ls [SERVERPATH]: a folder of the backup or sync store on the server.

#include <iostream>

#include "cli/CliCommandTable.h"
#include "cli/CliServerStore.h"
#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"

namespace solvane::cli {

int RunList(TPublicInfo& info, const TCliOptions& o) {
  std::string path = o.args.empty() ? "" : WithoutTrailingSlash(ToSlashes(o.args[0]));
  std::vector<TServerEntry> entries;
  if (!ListServerFolder(info, o.kind, path, entries)) {
    std::cerr << "error: the server could not list " << (path.empty() ? "the store" : path)
              << "\n";
    return kExitFailed;
  }
  for (const auto& e : entries) {
    if (e.isFolder)
      std::cout << "d " << JoinPath(e.folder, e.name) << "/\n";
    else
      std::cout << "f " << JoinPath(e.folder, e.name) << "\t" << GroupThousands(e.size)
                << "\tversion " << e.version << "\n";
  }
  return kExitOk;
}

}  // namespace solvane::cli
