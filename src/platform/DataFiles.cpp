#include "platform/DataFiles.h"

#include <filesystem>

#include "platform/FileFacts.h"

namespace solvane {

namespace fs = std::filesystem;

std::vector<std::string> DataFolders() {
  const std::string program = ProgramFolder();
  std::vector<std::string> folders;
  if (!program.empty()) {
    folders.push_back(program);
    // PREFIX/bin/ -> PREFIX/share/solvane/
    const fs::path prefix = fs::path(program).parent_path().parent_path();
    folders.push_back((prefix / "share" / "solvane").string() + "/");
  }
  folders.push_back("/usr/share/solvane/");
  return folders;
}

std::string FindDataFile(const std::string& name, const std::vector<std::string>& folders) {
  std::error_code ec;
  for (const auto& folder : folders)
    if (fs::exists(folder + name, ec)) return folder + name;
  return folders.empty() ? name : folders.front() + name;
}

std::string FindDataFile(const std::string& name) { return FindDataFile(name, DataFolders()); }

}  // namespace solvane
