#include "tasks/RestoreTarget.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tasks/TaskLocalPaths.h"

namespace solvane {

namespace {

// The non-empty components of a path; both "/" and "\" separate (a "\"
// inside a name on one platform is a separator on another).
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> out;
  std::string current;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!current.empty()) out.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) out.push_back(std::move(current));
  return out;
}

bool IsDotComponent(const std::string& c) { return c == "." || c == ".."; }

}  // namespace

std::optional<std::string> RestoreTargetPath(const std::string& serverPath, int isDefine,
                                             const std::string& cacheFolder) {
  const std::vector<std::string> parts = Components(serverPath);
  if (parts.empty() || std::any_of(parts.begin(), parts.end(), IsDotComponent)) return std::nullopt;
  if (serverPath.back() == '/' || serverPath.back() == '\\') return std::nullopt;

  if (isDefine == 0) {
    std::string local = ToLocalSeparators(serverPath);
    if (!std::filesystem::path(local).is_absolute()) return std::nullopt;
    return local;
  }
  if (cacheFolder.empty()) return std::nullopt;
  std::string target = WithTrailingSeparator(cacheFolder);
  if (isDefine != 1) return target + parts.back();

  bool first = true;
  for (std::string part : parts) {
    part.erase(std::remove(part.begin(), part.end(), ':'), part.end());
    if (part.empty() || IsDotComponent(part)) continue;
    if (!first) target += kLocalSeparator;
    target += part;
    first = false;
  }
  if (first) return std::nullopt;
  return target;
}

}  // namespace solvane
