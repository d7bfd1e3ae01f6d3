#include "platform/Drives.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace solvane {

namespace {

namespace fs = std::filesystem;

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// "\040" and its kind stand for the byte of that octal value.
std::string DecodeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
        IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// File systems that never hold a fixed disk even when a block device backs
// them: optical and image formats, network and user-space file systems.
bool IsExcludedType(const std::string& type) {
  static const std::set<std::string> kExcluded = {
      "iso9660", "udf",  "squashfs",  "erofs",  "cramfs", "romfs", "nfs",
      "nfs4",    "cifs", "smb3",      "smbfs",  "ncpfs",  "9p",    "ceph",
      "afs",     "coda", "glusterfs", "lustre", "autofs", "fuse",  "fuseblk"};
  return kExcluded.count(type) > 0 || type.rfind("fuse.", 0) == 0;
}

std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

class TMountTableDrives : public IDrives {
 public:
  TMountTableDrives(std::string mountTable, std::string sysClassBlock)
      : m_mountTable(std::move(mountTable)), m_sysClassBlock(std::move(sysClassBlock)) {}

  std::vector<std::string> FixedDriveRoots() override {
    std::ifstream in(m_mountTable);
    std::stringstream text;
    text << in.rdbuf();
    return SelectFixedDrives(ParseMountTable(text.str()),
                             [this](const std::string& d) { return IsRemovable(d); });
  }

  std::optional<std::int64_t> FreeBytes(const std::string& root) override {
    struct statvfs st {};
    if (::statvfs(root.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
  }

 private:
  // The removable flag of the device's disk; a partition takes its disk's.
  bool IsRemovable(const std::string& device) const {
    std::error_code ec;
    fs::path dev = fs::canonical(device, ec);
    if (ec) dev = device;
    const fs::path entry = fs::path(m_sysClassBlock) / dev.filename();
    if (!fs::exists(entry, ec)) return false;
    fs::path flag = entry / "removable";
    if (!fs::exists(flag, ec) && fs::exists(entry / "partition", ec)) {
      const fs::path real = fs::canonical(entry, ec);
      if (ec) return false;
      flag = real.parent_path() / "removable";
    }
    return ReadFirstLine(flag) == "1";
  }

  std::string m_mountTable;
  std::string m_sysClassBlock;
};

}  // namespace

std::vector<TMountEntry> ParseMountTable(std::string_view text) {
  std::vector<TMountEntry> entries;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::array<std::string, 3> f;
    if (!(fields >> f[0] >> f[1] >> f[2])) continue;
    entries.push_back({DecodeMountField(f[0]), DecodeMountField(f[1]), DecodeMountField(f[2])});
  }
  return entries;
}

std::vector<std::string> SelectFixedDrives(
    const std::vector<TMountEntry>& entries,
    const std::function<bool(const std::string& device)>& isRemovable) {
  std::vector<std::string> roots;
  std::set<std::string> devices;
  for (const auto& e : entries) {
    if (e.Device.rfind("/dev/", 0) != 0 || IsExcludedType(e.FsType)) continue;
    if (devices.count(e.Device) > 0 || isRemovable(e.Device)) continue;
    devices.insert(e.Device);
    roots.push_back(e.MountPoint);
  }
  return roots;
}

std::unique_ptr<IDrives> MakeMountTableDrives(std::string mountTableFile,
                                              std::string sysClassBlock) {
  return std::make_unique<TMountTableDrives>(std::move(mountTableFile), std::move(sysClassBlock));
}

IDrives& PlatformDrives() {
  static auto drives = MakeMountTableDrives("/proc/self/mounts", "/sys/class/block");
  return *drives;
}

}  // namespace solvane
