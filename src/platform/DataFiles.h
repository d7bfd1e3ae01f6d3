#pragma once
// Files the programs ship beside their code: the help book ("help") and the
// completion sound ("ring.wav"). In a build tree they lie beside the program;
// installed, the program is PREFIX/bin/x and they are in PREFIX/share/solvane.

#include <string>
#include <vector>

namespace solvane {

// Where shipped files are looked for, in order, each with a trailing
// separator: the program's folder, PREFIX/share/solvane/ beside its bin
// folder, and /usr/share/solvane/.
std::vector<std::string> DataFolders();

// The first folder of folders holding name (a file or a folder); when none
// does, name in the first folder (so a message can show where it belongs).
std::string FindDataFile(const std::string& name, const std::vector<std::string>& folders);
std::string FindDataFile(const std::string& name);

}  // namespace solvane
