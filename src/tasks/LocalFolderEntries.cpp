#include "tasks/LocalFolderEntries.h"

#include <filesystem>
#include <system_error>

namespace solvane {

namespace {

TLocalEntry::TKind KindOf(const std::filesystem::directory_entry& entry) {
  std::error_code ec;
  const auto own = entry.symlink_status(ec);
  if (ec) return TLocalEntry::kOther;
  if (std::filesystem::is_directory(own)) return TLocalEntry::kFolder;
  if (std::filesystem::is_regular_file(own)) return TLocalEntry::kFile;
  if (std::filesystem::is_symlink(own)) {
    const auto target = entry.status(ec);
    if (!ec && std::filesystem::is_regular_file(target)) return TLocalEntry::kFile;
  }
  return TLocalEntry::kOther;
}

}  // namespace

bool ListLocalFolder(const std::string& folder, std::vector<TLocalEntry>& entries) {
  entries.clear();
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return false;
  const std::filesystem::directory_iterator end;
  while (it != end) {
    entries.push_back({it->path().filename().string(), KindOf(*it)});
    it.increment(ec);
    if (ec) return false;
  }
  return true;
}

}  // namespace solvane
