#include "session/Pacing.h"

#include <algorithm>
#include <cctype>

namespace solvane {

std::string PacingToText(TPacing pacing) { return pacing == TPacing::Fast ? "fast" : "standard"; }

TPacing TextToPacing(std::string_view text) {
  constexpr std::string_view kFast = "fast";
  bool fast = std::equal(text.begin(), text.end(), kFast.begin(), kFast.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
  return fast ? TPacing::Fast : TPacing::Standard;
}

}  // namespace solvane
