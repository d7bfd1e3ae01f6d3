#include "handlers/Operations.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

void RegisterLogOperations(TDispatcher&) {}

}  // namespace solvane::server
