#include "handlers/Operations.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

void RegisterTaskOperations(TDispatcher&) {}

}  // namespace solvane::server
