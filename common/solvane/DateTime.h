#pragma once
// The instant type of every program and layer, client and server alike.
// Headers here sit below all layers: they include only the standard library.

#include <chrono>

namespace solvane {

using DateTime = std::chrono::system_clock::time_point;

}  // namespace solvane
