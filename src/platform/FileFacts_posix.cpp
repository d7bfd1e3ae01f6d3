#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/FileFacts.h"

namespace solvane {

namespace {

DateTime FromTimestamp(std::int64_t seconds, std::uint32_t nanoseconds) {
  // Time stamps beyond what DateTime can count are held at its ends.
  constexpr std::int64_t kLimit =
      std::chrono::duration_cast<std::chrono::seconds>(DateTime::duration::max()).count() - 1;
  if (seconds >= kLimit) return DateTime(std::chrono::seconds(kLimit));
  if (seconds <= -kLimit) return DateTime(std::chrono::seconds(-kLimit));
  return DateTime(std::chrono::duration_cast<DateTime::duration>(
      std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds)));
}

bool NameIsHidden(const std::string& path) {
  std::string name = std::filesystem::path(path).lexically_normal().filename().string();
  if (name.empty()) {  // "dir/" names its last folder
    name = std::filesystem::path(path).lexically_normal().parent_path().filename().string();
  }
  return name.size() > 1 && name[0] == '.' && name != "..";
}

// Whether an open file description conflicts with a write lock over the
// whole file. OFD locks see the locks of every other open description,
// this process's own included; kernels without them fall back to classic
// record locks, which see only other processes.
bool HasConflictingLock(int fd) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;
  if (::fcntl(fd, F_OFD_GETLK, &probe) == 0) return probe.l_type != F_UNLCK;
  if (errno != EINVAL) return true;
  probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (::fcntl(fd, F_GETLK, &probe) != 0) return true;
  return probe.l_type != F_UNLCK;
}

class TPosixFileFacts : public IFileFacts {
 public:
  std::optional<TFileFacts> Examine(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
      return std::nullopt;
    }
    TFileFacts facts;
    facts.isFolder = S_ISDIR(sx.stx_mode);
    facts.size = static_cast<std::int64_t>(sx.stx_size);
    facts.lastWrite = FromTimestamp(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    facts.created = (sx.stx_mask & STATX_BTIME)
                        ? FromTimestamp(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                        : facts.lastWrite;
    facts.hidden = NameIsHidden(path);
    facts.readOnly = (sx.stx_mode & S_IWUSR) == 0;
    return facts;
  }

  bool IsHeldByOther(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return true;
    bool held = HasConflictingLock(fd);
    ::close(fd);
    return held;
  }

  bool FolderExists(const std::string& path) override {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool CreateFolderPath(const std::string& path) override {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return FolderExists(path);
  }

  std::string ProgramFilePath() override {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
  }
};

}  // namespace

IFileFacts& PlatformFileFacts() {
  static TPosixFileFacts facts;
  return facts;
}

std::string FolderOfFile(const std::string& file) {
  std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string ProgramFolder() { return FolderOfFile(PlatformFileFacts().ProgramFilePath()); }

}  // namespace solvane
