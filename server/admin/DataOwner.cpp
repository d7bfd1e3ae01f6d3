#include "admin/DataOwner.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace solvane::server {

void ActAsOwnerOf(const std::filesystem::path& dataDir) {
  if (::geteuid() != 0) return;
  struct stat st {};
  if (::stat(dataDir.c_str(), &st) != 0 || st.st_uid == 0) return;
  // Group first: once the user changes, root's right to change it is gone.
  if (::setgroups(1, &st.st_gid) != 0 || ::setgid(st.st_gid) != 0 || ::setuid(st.st_uid) != 0)
    throw std::runtime_error("cannot act as the owner (uid " + std::to_string(st.st_uid) +
                             ") of " + dataDir.string() + ": " + std::strerror(errno));
}

}  // namespace solvane::server
