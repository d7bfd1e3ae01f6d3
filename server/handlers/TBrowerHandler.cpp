#include "handlers/Operations.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

void RegisterBrowserOperations(TDispatcher&) {}

}  // namespace solvane::server
