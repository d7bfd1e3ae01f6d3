#include "handlers/Operations.h"

#include "protocol/Dispatcher.h"

namespace solvane::server {

void RegisterAllOperations(TDispatcher& d) {
  RegisterUserOperations(d);
  RegisterTaskOperations(d);
  RegisterLogOperations(d);
  RegisterTransferOperations(d);
  RegisterBrowserOperations(d);
  RegisterShareOperations(d);
  RegisterAuthOperations(d);
  RegisterMailOperations(d);
}

}  // namespace solvane::server
