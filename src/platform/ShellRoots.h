#pragma once
// What the file choosers of the backup screens show at their top: the
// places a user starts from, and the folders of the system that are never
// listed (they hold no user data and some never end).

#include <string>
#include <vector>

namespace solvane {

struct TShellRoot {
  std::string Caption;  // as shown
  std::string Path;     // absolute
};

// The places below the virtual "桌面" node, in order: here the home folder
// ("主文件夹", from $HOME; left out when that is unset or missing) and the
// file system ("文件系统", "/").
std::vector<TShellRoot> ShellRoots();

// True for a folder a chooser does not list: the kernel's and the devices'
// virtual file systems and the run-time state ("/proc", "/sys", "/dev",
// "/run").
bool IsUnlistedFolder(const std::string& path);

}  // namespace solvane
