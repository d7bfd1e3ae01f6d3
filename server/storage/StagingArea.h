#pragma once
// Uploads in progress: one staging file per (user, store, folder, name, size,
// date). Its length is how far the upload got, so an interrupted upload
// resumes from there, also after a server restart.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace solvane::server {

struct TStagingKey {
  std::string userCode;
  int kind = 0;
  std::string folder;
  std::string name;
  std::int64_t size = 0;
  std::int64_t date = 0;
};

enum class StageWrite { kOk, kBeyondStaged, kBeyondSize, kIoError };

class TStagingArea {
 public:
  explicit TStagingArea(std::filesystem::path root);

  std::filesystem::path PathOf(const TStagingKey& key) const;
  // Bytes staged so far (0 when nothing is).
  std::uint64_t StagedLength(const TStagingKey& key) const;
  // Writes data at offset. Refuses an offset past the staged length and data
  // that would run past the object's size. A write at an earlier offset
  // rewrites those bytes and cuts the file after them.
  StageWrite Write(const TStagingKey& key, std::uint64_t offset, std::string_view data);
  void Discard(const TStagingKey& key);
  // Removes staging files untouched for longer than maxAge.
  void Sweep(std::chrono::seconds maxAge);

 private:
  std::filesystem::path m_root;
};

}  // namespace solvane::server
