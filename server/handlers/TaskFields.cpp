#include "handlers/TaskFields.h"

#include <algorithm>

#include "wire/QorWithPack.h"
#include "wire/QorWithText.h"

namespace solvane::server {

bool IsCleanText(std::string_view text, std::size_t maxBytes, bool allowLineBreakMarker) {
  if (text.size() > maxBytes) return false;
  return std::none_of(text.begin(), text.end(), [&](char c) {
    auto u = static_cast<unsigned char>(c);
    if (u == 0x02 && allowLineBreakMarker) return false;
    return u < 0x20 || u == 0x7F;
  });
}

std::optional<std::string> NormaliseTaskPath(std::string_view path) {
  if (path.empty() || !IsCleanText(path, kMaxPathBytes)) return std::nullopt;
  std::string p(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  while (p.size() > 1 && p.back() == '/') {
    if (p.size() == 3 && p[1] == ':') break;  // a drive root keeps its separator: "C:/"
    p.pop_back();
  }
  return p;
}

std::optional<std::string> NormalisePattern(std::string_view pattern) {
  if (!IsCleanText(pattern, kMaxPatternBytes)) return std::nullopt;
  std::string p(pattern);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.find_first_not_of(' ') == std::string::npos) return std::string();
  return p;
}

std::optional<std::int64_t> ParseBoxNumber(std::string_view text) {
  std::int64_t v = 0;
  if (!ParseInt64(text, v)) return 0;
  if (v < 0 || v > 0x7FFFFFFF) return std::nullopt;
  return v;
}

bool IsDateTimeText(std::string_view text) {
  DateTime t;
  return text.size() == 19 && ParseDateTime(text, t);
}

bool IsNamedTaskKind(std::int64_t kind) { return kind == 100 || kind == 200 || kind == 500; }

}  // namespace solvane::server
