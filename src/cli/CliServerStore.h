#pragma once
// A folder of the user's backup or sync store on the server, as ls and
// restore read it.

#include <cstdint>
#include <string>
#include <vector>

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

struct TServerEntry {
  std::string name;
  std::string folder;
  bool isFolder = false;
  std::int64_t size = 0, date = 0, version = 0;
};

// The entries of path in the store of kind (100 or 200); false when the
// server could not list it.
bool ListServerFolder(TPublicInfo& info, int kind, const std::string& path,
                      std::vector<TServerEntry>& out);

// path made absolute against the working folder, without trailing "/".
std::string AbsoluteLocal(const std::string& path);
std::string WithoutTrailingSlash(std::string p);

}  // namespace solvane::cli
