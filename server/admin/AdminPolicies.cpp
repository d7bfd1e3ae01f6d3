#include "admin/AdminCli.h"

namespace solvane::server {

void RegisterAdminPolicyCommands(TAdminRegistry&) {}
void RegisterAdminTaskCommands(TAdminRegistry&) {}

}  // namespace solvane::server
