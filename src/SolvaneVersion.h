#pragma once

namespace solvane {
// The client's version text, shown on screens and sent nowhere.
const char* ClientVersion();
}  // namespace solvane
