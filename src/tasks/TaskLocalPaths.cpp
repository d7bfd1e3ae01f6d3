#include "tasks/TaskLocalPaths.h"

#include <algorithm>

namespace solvane {

std::string ToLocalSeparators(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '/', kLocalSeparator);
  return out;
}

std::string ToServerSeparators(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), kLocalSeparator, '/');
  return out;
}

std::string WithTrailingSeparator(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != kLocalSeparator) out += kLocalSeparator;
  return out;
}

std::string LocalParentFolder(std::string_view path) {
  const std::size_t p = path.find_last_of(kLocalSeparator);
  if (p == std::string_view::npos) return {};
  return std::string(path.substr(0, p == 0 ? 1 : p));
}

}  // namespace solvane
