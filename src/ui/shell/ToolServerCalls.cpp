#include "ui/shell/ToolServerCalls.h"

#include "client/Unit_PublicInfo.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

bool Succeeded(bool called, const TQorPack& p) { return called && p.ErrNo() == 1; }

}  // namespace

TQorTCPClientLease FreeConnectedConnection(TPublicInfo& info) {
  TQorTCPClientLease lease = info.Pool().AcquireFree(-1);
  if (lease && !lease.Ready()) lease.Release();
  return lease;
}

TUserSpace SelectUserSpace(TPublicInfo& info, TQorTCPClient& connection) {
  TQorPack p;
  p.SetFunNo("TUser.SelectOne");
  p.AddString(1, "UCode", info.UserCode());
  if (!Succeeded(connection.Call(p), p) || p.RecordSetCount() != 1) return {};
  return {true, p.FieldByName(1, "TotalSpace").AsInteger(),
          p.FieldByName(1, "UsedSpace").AsInteger()};
}

int AvailablePercent(std::int64_t total, std::int64_t used) {
  if (total <= 0) return 100;
  if (used >= total) return 0;
  if (used <= 0) return 100;
  return static_cast<int>((total - used) * 100 / total);
}

bool ChangeUserPassword(TPublicInfo& info, TQorTCPClient& connection,
                        const std::string& oldPassword, const std::string& newPassword) {
  TQorPack p;
  p.SetFunNo("TUser.ChangePwd");
  p.AddString(1, "UAdmin", info.UserCode());
  p.AddString(1, "UIPAddr", info.LocalIPAddress());
  p.AddString(1, "UMAC", info.LocalMacAddress());
  p.AddString(1, "UCode", info.UserCode());
  p.AddString(1, "UOldPwd", oldPassword);
  p.AddString(1, "UNewPwd", newPassword);
  return Succeeded(connection.Call(p), p);
}

}  // namespace solvane
