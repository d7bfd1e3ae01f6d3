#pragma once
// The file contents the engine moves: files read for upload, restore targets
// written, renamed and removed. The engine reaches it through its context, so
// a test can put a wrapper in between that fails one call (a read error
// half-way, a full disk) while every other call goes to the real files.
//
// Failures are values: a null file, -1, false or an error code, with errno's
// meaning (std::errc::no_space_on_device, ...) where the system gave one.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace solvane {

// A file open for reading at positions of the caller's choosing.
class IReadableFile {
 public:
  virtual ~IReadableFile() = default;
  // Reads up to size bytes at offset into buffer; fewer only at the end of
  // the file. The number read (0 at or past the end); -1 on a read error.
  virtual std::int64_t ReadAt(std::int64_t offset, char* buffer, std::size_t size) = 0;
};

// A file open for writing at positions of the caller's choosing.
class IWritableFile {
 public:
  virtual ~IWritableFile() = default;
  // Writes all of data at offset. False when not all of it could be written
  // (a full disk, an I/O error).
  virtual bool WriteAt(std::int64_t offset, std::string_view data) = 0;
  // Closes the file; false when closing reported an error, which some file
  // systems deliver only here. Further writes fail.
  virtual bool Close() = 0;
};

class IFileAccess {
 public:
  virtual ~IFileAccess() = default;

  // Null when the file cannot be opened (missing, a folder, no permission).
  virtual std::unique_ptr<IReadableFile> OpenForReading(const std::string& path) = 0;
  // Opens the file for writing, creating it when missing; truncate drops
  // what it held. Null when it cannot be opened or created.
  virtual std::unique_ptr<IWritableFile> OpenForWriting(const std::string& path, bool truncate) = 0;

  // The size of the file in bytes; -1 when there is no such file (or a
  // folder has the name).
  virtual std::int64_t SizeOf(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Cuts or extends the file to size bytes.
  virtual std::error_code Resize(const std::string& path, std::int64_t size) = 0;
  // Renames from to to, replacing a file at to.
  virtual std::error_code Rename(const std::string& from, const std::string& to) = 0;
  virtual std::error_code Remove(const std::string& path) = 0;
  // Creates the folder and every missing parent; no error when it exists.
  virtual std::error_code CreateFolders(const std::string& path) = 0;
  // The names (not paths) of the entries of a folder; empty when it cannot
  // be read.
  virtual std::vector<std::string> NamesIn(const std::string& folder) = 0;
};

// The implementation of this platform, shared by the whole process.
IFileAccess& PlatformFileAccess();

// Forwards every call to another IFileAccess; a test derives from it and
// overrides only the call it makes fail.
class TFileAccessWrapper : public IFileAccess {
 public:
  explicit TFileAccessWrapper(IFileAccess& target) : m_target(target) {}

  IFileAccess& Target() { return m_target; }

  std::unique_ptr<IReadableFile> OpenForReading(const std::string& path) override {
    return m_target.OpenForReading(path);
  }
  std::unique_ptr<IWritableFile> OpenForWriting(const std::string& path, bool truncate) override {
    return m_target.OpenForWriting(path, truncate);
  }
  std::int64_t SizeOf(const std::string& path) override { return m_target.SizeOf(path); }
  bool Exists(const std::string& path) override { return m_target.Exists(path); }
  std::error_code Resize(const std::string& path, std::int64_t size) override {
    return m_target.Resize(path, size);
  }
  std::error_code Rename(const std::string& from, const std::string& to) override {
    return m_target.Rename(from, to);
  }
  std::error_code Remove(const std::string& path) override { return m_target.Remove(path); }
  std::error_code CreateFolders(const std::string& path) override {
    return m_target.CreateFolders(path);
  }
  std::vector<std::string> NamesIn(const std::string& folder) override {
    return m_target.NamesIn(folder);
  }

 private:
  IFileAccess& m_target;
};

}  // namespace solvane
