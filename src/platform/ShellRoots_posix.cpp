#include "platform/ShellRoots.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace solvane {

std::vector<TShellRoot> ShellRoots() {
  std::vector<TShellRoot> roots;
  if (const char* home = std::getenv("HOME"); home && *home) {
    std::string path = home;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) roots.push_back({"主文件夹", path});
  }
  roots.push_back({"文件系统", "/"});
  return roots;
}

bool IsUnlistedFolder(const std::string& path) {
  for (const char* hidden : {"/proc", "/sys", "/dev", "/run"})
    if (path == hidden) return true;
  return false;
}

}  // namespace solvane
