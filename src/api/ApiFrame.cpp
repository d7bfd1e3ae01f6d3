#include "api/ApiFrame.h"

namespace solvane::api {

std::vector<TFilterPattern> ReadPatterns(TQorPack& p) {
  std::vector<TFilterPattern> patterns;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n) {
    std::string text = Text(p, n, "FilterStr");
    const std::string kind = Text(p, n, "FilterKind");
    if (text == "-1" && kind == "-1") continue;
    patterns.push_back({std::move(text), kind.starts_with('1')});
  }
  return patterns;
}

}  // namespace solvane::api
