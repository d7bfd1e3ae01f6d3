#include "storage/FileSystemSync.h"

#include <fcntl.h>
#include <unistd.h>

namespace solvane::server {

TFileSystemSync::TFileSystemSync(const std::filesystem::path& folder)
    : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

TFileSystemSync::~TFileSystemSync() {
  if (m_fd >= 0) ::close(m_fd);
}

bool TFileSystemSync::Sync() const { return m_fd >= 0 && ::syncfs(m_fd) == 0; }

}  // namespace solvane::server
