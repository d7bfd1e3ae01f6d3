#pragma once
// Where a restored server file lands on this workstation.

#include <optional>
#include <string>

namespace solvane {

// The local target of serverPath under the restore rule isDefine:
//   0  the original location: the server path itself, which must then be an
//      absolute path of this platform ("/home/a/x" here, "C:/x" on Windows);
//   1  below cacheFolder, keeping the whole original path with every ":"
//      removed ("C:/docs/x" -> cacheFolder + "/C/docs/x");
//   2 and any other value: directly in cacheFolder, file name only.
// nullopt when the result would leave the chosen place: a "." or ".."
// component anywhere in the server path, no file name, no cacheFolder
// under rules 1 and 2, or a path that is not absolute under rule 0.
std::optional<std::string> RestoreTargetPath(const std::string& serverPath, int isDefine,
                                             const std::string& cacheFolder);

}  // namespace solvane
