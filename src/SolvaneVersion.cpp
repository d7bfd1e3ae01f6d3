#include "SolvaneVersion.h"

namespace solvane {
const char* ClientVersion() { return "0.1.0"; }
}  // namespace solvane
