#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/FileAccess.h"

namespace solvane {

namespace {

namespace fs = std::filesystem;

std::error_code LastError() { return {errno, std::generic_category()}; }

class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : m_fd(fd) {}
  ~TFileDescriptor() { CloseNow(); }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return m_fd; }
  bool CloseNow() {
    if (m_fd < 0) return true;
    // After close() the descriptor is gone whatever it returned, also on EINTR.
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
  }

 private:
  int m_fd;
};

class TPosixReadableFile : public IReadableFile {
 public:
  explicit TPosixReadableFile(int fd) : m_fd(fd) {}

  std::int64_t ReadAt(std::int64_t offset, char* buffer, std::size_t size) override {
    // pread may return less than asked before the end (signals, some file
    // systems): read on until the buffer is full or the file ends, so that a
    // short count always means the end of the file.
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(m_fd.Get(), buffer + done, size - done,
                                static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  TFileDescriptor m_fd;
};

class TPosixWritableFile : public IWritableFile {
 public:
  explicit TPosixWritableFile(int fd) : m_fd(fd) {}

  bool WriteAt(std::int64_t offset, std::string_view data) override {
    if (m_fd.Get() < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::pwrite(m_fd.Get(), data.data() + done, data.size() - done,
                                 static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() override { return m_fd.CloseNow(); }

 private:
  TFileDescriptor m_fd;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsRegularFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

class TPosixFileAccess : public IFileAccess {
 public:
  std::unique_ptr<IReadableFile> OpenForReading(const std::string& path) override {
    const int fd = OpenRetrying(path, O_RDONLY);
    if (fd < 0) return nullptr;
    auto file = std::make_unique<TPosixReadableFile>(fd);
    // A folder opens for reading but yields no contents.
    if (!IsRegularFile(fd)) return nullptr;
    return file;
  }

  std::unique_ptr<IWritableFile> OpenForWriting(const std::string& path, bool truncate) override {
    const int fd = OpenRetrying(path, O_WRONLY | O_CREAT | (truncate ? O_TRUNC : 0), 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<TPosixWritableFile>(fd);
  }

  std::int64_t SizeOf(const std::string& path) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  std::error_code Resize(const std::string& path, std::int64_t size) override {
    if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) return LastError();
    return {};
  }

  std::error_code Rename(const std::string& from, const std::string& to) override {
    if (std::rename(from.c_str(), to.c_str()) != 0) return LastError();
    return {};
  }

  std::error_code Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return LastError();
    return {};
  }

  std::error_code CreateFolders(const std::string& path) override {
    std::error_code ec;
    fs::create_directories(path, ec);
    return ec;
  }

  std::vector<std::string> NamesIn(const std::string& folder) override {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
      names.push_back(it->path().filename().string());
    return names;
  }
};

}  // namespace

IFileAccess& PlatformFileAccess() {
  static TPosixFileAccess access;
  return access;
}

}  // namespace solvane
