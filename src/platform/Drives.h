#pragma once
// The local fixed drives and their free space, for the disk space warning.
// On this platform a drive is the mount point of a local block-device file
// system: no memory, kernel, network, optical or removable media.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

class IDrives {
 public:
  virtual ~IDrives() = default;
  // Roots of the fixed drives, in the order the system lists them.
  virtual std::vector<std::string> FixedDriveRoots() = 0;
  // Bytes free for the user on the drive of root; nullopt when unreadable.
  virtual std::optional<std::int64_t> FreeBytes(const std::string& root) = 0;
};

// The implementation of this platform, shared by the whole process.
IDrives& PlatformDrives();

// One line of a mount table ("device mountpoint type options ...").
struct TMountEntry {
  std::string Device;
  std::string MountPoint;
  std::string FsType;
};

// The entries of a mount table text; octal escapes ("\040") are decoded.
std::vector<TMountEntry> ParseMountTable(std::string_view text);

// The mount points of the fixed drives among the entries: a device under
// "/dev/", a file system type that is not an optical, image, network or user
// space one, not removable; one mount point per device (the first).
std::vector<std::string> SelectFixedDrives(
    const std::vector<TMountEntry>& entries,
    const std::function<bool(const std::string& device)>& isRemovable);

// Drives read from a mount table file, with the removable flags of the block
// devices under sysClassBlock ("/sys/class/block" on the live system).
std::unique_ptr<IDrives> MakeMountTableDrives(std::string mountTableFile,
                                              std::string sysClassBlock);

}  // namespace solvane
