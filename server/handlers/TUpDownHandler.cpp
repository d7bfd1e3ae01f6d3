#include "handlers/Operations.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

void RegisterTransferOperations(TDispatcher&) {}

}  // namespace solvane::server
