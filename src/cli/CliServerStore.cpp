#include "cli/CliServerStore.h"

#include <filesystem>

#include "api/BrowseApi.h"
#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"

namespace solvane::cli {

bool ListServerFolder(TPublicInfo& info, int kind, const std::string& path,
                      std::vector<TServerEntry>& out) {
  const auto listing = api::BrowerShowFileObject(info.Pool(), info.UserCode(), kind, ToSlashes(path));
  if (!listing) return false;
  for (const api::TStoreEntry& o : listing.value)
    out.push_back({o.ObjectName, o.ObjectFolder, o.ObjectKind == 1, o.ObjectSize, o.ObjectDate,
                   o.ObjectVersion});
  return true;
}

std::string AbsoluteLocal(const std::string& path) {
  std::string absolute = path;
  if (path.empty() || path[0] != '/') {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (!error) absolute = here.string() + "/" + path;
  }
  return WithoutTrailingSlash(absolute);
}

std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace solvane::cli
