#include "handlers/ClientText.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace solvane::server {

bool IsFrameSafeText(std::string_view text, std::size_t maxBytes, bool allowLineBreakMarker) {
  if (text.size() > maxBytes) return false;
  const bool control = std::any_of(text.begin(), text.end(), [&](char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0x02 && allowLineBreakMarker) return false;
    return u < 0x20 || u == 0x7F;
  });
  if (control) return false;
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("</recordset>") == std::string::npos;
}

}  // namespace solvane::server
