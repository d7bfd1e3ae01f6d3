#include "platform/IOutlookAutomation.h"

namespace solvane {

// Outlook's automation server exists only on Windows.
TOutlookRef CreateOutlookAutomation() { return nullptr; }

}  // namespace solvane
