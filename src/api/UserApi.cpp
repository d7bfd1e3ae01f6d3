#include "api/UserApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

void FillLogin(TQorPack& p, const TLoginRequest& r) {
  p.SetFunNo(kLoginOperation);
  p.AddString(1, "UCode", r.UCode);
  p.AddString(1, "UPwd", r.UPwd);
  p.AddString(1, "UIPAddr", r.UIPAddr);
  p.AddString(1, "UMacAddr", r.UMacAddr);
  p.AddString(1, "UEncryptPwd", "1");
  p.AddString(1, "USystemKind", "1");
  p.AddDateTime(1, "LoginTime", r.LoginTime);
}

}  // namespace

TApiResult<TLoginReply> UserLogin(const TApiLink& link, const TLoginRequest& request) {
  TQorPack p;
  FillLogin(p, request);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  TLoginReply reply;
  reply.Name = p.FieldByName(1, "Name").AsString();
  reply.IsAdmin = p.FieldByName(1, "IsAdmin").AsBoolean();
  reply.IsCanDelete = p.FieldByName(1, "IsCanDelete").AsBoolean();
  reply.Token = p.FieldByName(1, kTokenField).AsString();
  return {status, std::move(reply)};
}

bool TLoginRenewal::BuildLogin(TQorPack& request) {
  const std::optional<TLoginRequest> login = m_source();
  if (!login) return false;
  FillLogin(request, *login);
  return true;
}

void TLoginRenewal::LoginAnswered(const TQorPack& reply) {
  if (reply.ErrNo() == kErrNoOk)
    m_answered(TApiStatus::Success());
  else
    m_answered(TApiStatus::Failed(TApiFailure::Refused, reply.ErrMsg(), reply.ErrNo()));
}

TApiStatus UserRegist(const TApiLink& link, const TRegistRequest& request) {
  TQorPack p = NewFrame("TUser.Regist");
  p.AddString(1, "UCode", request.UCode);
  p.AddString(1, "UIPAddr", request.UIPAddr);
  p.AddString(1, "Name", request.Name);
  p.AddDateTime(1, "LoginTime", request.LoginTime);
  return link.Call(p);
}

TApiStatus UserLogout(const TApiLink& link, const TCaller& caller) {
  TQorPack p = NewFrame("TUser.Logout");
  AddAddress(p, 1, caller);
  p.AddString(1, "UCode", caller.UserCode);
  return link.Call(p);
}

TApiResult<TUserSpace> UserSelectOne(const TApiLink& link, const std::string& userCode) {
  TQorPack p = NewFrame("TUser.SelectOne");
  p.AddString(1, "UCode", userCode);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  if (p.RecordSetCount() != 1)
    return TApiStatus::Failed(TApiFailure::BadReply, "TUser.SelectOne did not answer one record");
  return {status, {p.FieldByName(1, "TotalSpace").AsInteger(),
                   p.FieldByName(1, "UsedSpace").AsInteger()}};
}

TApiStatus UserChangePwd(const TApiLink& link, const TCaller& caller,
                         const std::string& oldPassword, const std::string& newPassword) {
  TQorPack p = NewFrame("TUser.ChangePwd");
  AddAddress(p, 1, caller);
  p.AddString(1, "UCode", caller.UserCode);
  p.AddString(1, "UOldPwd", oldPassword);
  p.AddString(1, "UNewPwd", newPassword);
  return link.Call(p);
}

TApiResult<std::vector<TUserEntry>> UserSelect(const TApiLink& link) {
  TQorPack p = NewFrame("TUser.Select");
  TApiStatus status = link.Call(p);
  if (!status) return status;
  std::vector<TUserEntry> users;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n)
    users.push_back({p.FieldByName(n, "Code").AsString(), p.FieldByName(n, "Name").AsString()});
  return {status, std::move(users)};
}

}  // namespace solvane::api
