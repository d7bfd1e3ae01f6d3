#include "ui/shell/ToolServerCalls.h"

#include "api/UserApi.h"
#include "client/Unit_PublicInfo.h"

namespace solvane {

TQorTCPClientLease FreeConnectedConnection(TPublicInfo& info) {
  TQorTCPClientLease lease = info.Pool().AcquireFree(-1);
  if (lease && !lease.Ready()) lease.Release();
  return lease;
}

TUserSpace SelectUserSpace(TPublicInfo& info, TQorTCPClient& connection) {
  const auto space = api::UserSelectOne(connection, info.UserCode());
  if (!space) return {};
  return {true, space.value.TotalSpace, space.value.UsedSpace};
}

int AvailablePercent(std::int64_t total, std::int64_t used) {
  if (total <= 0) return 100;
  if (used >= total) return 0;
  if (used <= 0) return 100;
  return static_cast<int>((total - used) * 100 / total);
}

bool ChangeUserPassword(TPublicInfo& info, TQorTCPClient& connection,
                        const std::string& oldPassword, const std::string& newPassword) {
  return api::UserChangePwd(connection,
                            {info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()},
                            oldPassword, newPassword)
      .Ok();
}

}  // namespace solvane
