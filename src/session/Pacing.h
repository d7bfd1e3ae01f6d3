#pragma once
// The pacing profile of the engine's deliberate pauses.

#include <string>
#include <string_view>

namespace solvane {

enum class TPacing {
  Standard,  // the system's own pauses; the default
  Fast,      // no deliberate pauses
};

// "standard" or "fast".
std::string PacingToText(TPacing pacing);
// "fast" (letter case ignored) gives Fast; every other text Standard.
TPacing TextToPacing(std::string_view text);

}  // namespace solvane
