#pragma once
// Makes everything written to one file system durable with a single call
// (syncfs): the data and entries of many new files reach the disk in one go,
// where one fsync per file and per folder would each wait for the device.
//
// The file system is held open from construction, so a write-back failure
// that happens between two syncs is still reported by the next one.

#include <filesystem>

namespace solvane::server {

class TFileSystemSync {
 public:
  // `folder` is any folder on the file system; it must exist.
  explicit TFileSystemSync(const std::filesystem::path& folder);
  ~TFileSystemSync();
  TFileSystemSync(const TFileSystemSync&) = delete;
  TFileSystemSync& operator=(const TFileSystemSync&) = delete;

  // Returns once every byte and entry written to the file system before the
  // call is on disk. False on I/O failure, or when the folder could not be
  // opened.
  bool Sync() const;

 private:
  int m_fd = -1;
};

}  // namespace solvane::server
