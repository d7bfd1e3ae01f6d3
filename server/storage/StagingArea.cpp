#include "storage/StagingArea.h"

#include <fcntl.h>
#include <unistd.h>

#include "storage/BlobStore.h"

namespace solvane::server {

namespace fs = std::filesystem;

TStagingArea::TStagingArea(fs::path root) : m_root(std::move(root)) {
  fs::create_directories(m_root);
}

fs::path TStagingArea::PathOf(const TStagingKey& k) const {
  std::string id = k.userCode + '\x1f' + std::to_string(k.kind) + '\x1f' + k.folder + '\x1f' +
                   k.name + '\x1f' + std::to_string(k.size) + '\x1f' + std::to_string(k.date);
  return m_root / (Sha256Hex(id) + ".part");
}

std::uint64_t TStagingArea::StagedLength(const TStagingKey& key) const {
  std::error_code ec;
  auto size = fs::file_size(PathOf(key), ec);
  return ec ? 0 : size;
}

StageWrite TStagingArea::Write(const TStagingKey& key, std::uint64_t offset,
                               std::string_view data) {
  if (offset > StagedLength(key)) return StageWrite::kBeyondStaged;
  if (key.size < 0 || offset + data.size() > static_cast<std::uint64_t>(key.size))
    return StageWrite::kBeyondSize;
  int fd = ::open(PathOf(key).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return StageWrite::kIoError;
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done,
                         static_cast<off_t>(offset + done));
    if (n <= 0) {
      ::close(fd);
      return StageWrite::kIoError;
    }
    done += static_cast<std::size_t>(n);
  }
  bool ok = ::ftruncate(fd, static_cast<off_t>(offset + data.size())) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok ? StageWrite::kOk : StageWrite::kIoError;
}

void TStagingArea::Discard(const TStagingKey& key) {
  std::error_code ec;
  fs::remove(PathOf(key), ec);
}

void TStagingArea::Sweep(std::chrono::seconds maxAge) {
  std::error_code ec;
  auto now = fs::file_time_type::clock::now();
  for (const auto& e : fs::directory_iterator(m_root, ec)) {
    auto t = e.last_write_time(ec);
    if (!ec && now - t > maxAge) fs::remove(e.path(), ec);
  }
}

}  // namespace solvane::server
