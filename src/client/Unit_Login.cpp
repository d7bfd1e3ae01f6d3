#include "client/Unit_Login.h"

#include <chrono>

#include "api/SystemApi.h"
#include "client/Unit_PublicInfo.h"

namespace solvane {

namespace {

std::string ConnectText(TPublicInfo& info) {
  const TSettings s = info.Settings();
  const char* crlf = "\r\n";
  return "Host=" + s.Host + crlf + "Port=" + std::to_string(s.Port) + crlf +
         "TimeOut=" + std::to_string(s.TimeOut) + crlf + "UCode=" + s.UserCode + crlf +
         "UPwd=" + s.UserPwd + crlf + "UIPAddr=" + info.LocalIPAddress() + crlf +
         "UMacAddr=" + info.LocalMacAddress() + crlf + "UEncryptPwd=1" + crlf +
         "USystemKind=1";
}

// A failed profile call leaves the earlier profile: the sign-in goes on.
void ReadProfile(TPublicInfo& info, const api::TApiLink& link) {
  const auto answer = api::SystemGetProfile(link);
  if (!answer) return;
  TConfig_Of_Profile profile = info.Profile();
  profile.EnterprizeName = answer.value.EnterprizeName;
  profile.AppName = answer.value.AppName;
  profile.KRN_MajorVersion = answer.value.KRN_MajorVersion;
  profile.KRN_MinorVersion = answer.value.KRN_MinorVersion;
  profile.KRN_SecurityMode = static_cast<std::int32_t>(answer.value.KRN_SecurityMode);
  profile.KRN_DefaultUserSpace = static_cast<std::int32_t>(answer.value.KRN_DefaultUserSpace);
  info.SetProfile(profile);
}

// Takes a free connection and makes sure it is connected.
TQorTCPClientLease ConnectedConnection(TPublicInfo& info) {
  TQorTCPClientLease lease = info.Pool().AcquireFree(-1);
  if (lease && !info.Pool().Connect(*lease)) lease.Release();
  return lease;
}

api::TCaller Caller(TPublicInfo& info) {
  return {info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()};
}

}  // namespace

api::TLoginRequest LoginRequest(TPublicInfo& info) {
  const TSettings s = info.Settings();
  return {s.UserCode, s.UserPwd, info.LocalIPAddress(), info.LocalMacAddress(),
          std::chrono::system_clock::now()};
}

api::TApiStatus SignIn(TPublicInfo& info) {
  info.Pool().SetConnectText(ConnectText(info));
  TQorTCPClientLease connection = ConnectedConnection(info);
  if (!connection) {
    const TSettings s = info.Settings();
    return api::TApiStatus::Failed(api::TApiFailure::NoConnection,
                                   "the server at " + s.Host + ":" + std::to_string(s.Port) +
                                       " cannot be reached");
  }

  ReadProfile(info, *connection);

  const auto login = api::UserLogin(*connection, LoginRequest(info));
  if (!login) return login.status;
  connection.Release();

  info.SetLoggedIn(true);
  info.Notes().ShowNote(std::string("登录成功，") + "\r" + "正在请求数据...", kNoteInformation);
  info.SaveUserSettings();
  info.SetUserName(login.value.Name);
  TConfig_Of_Profile profile = info.Profile();
  profile.IsAdmin = login.value.IsAdmin;
  profile.IsCanDelete = login.value.IsCanDelete;
  info.SetProfile(profile);
  info.Pool().SetToken(login.value.Token);
  info.SessionStarted();

  info.ConnectServer();
  info.StartEngine();
  Regist(info);
  return login.status;
}

bool Login(TPublicInfo& info) { return SignIn(info).Ok(); }

void Regist(TPublicInfo& info) {
  info.Pace(100);
  if (TQorTCPClientLease c = ConnectedConnection(info))
    api::UserRegist(*c, {info.UserCode(), info.LocalIPAddress(), info.UserName(),
                         std::chrono::system_clock::now()});
}

void Logout(TPublicInfo& info) {
  if (TQorTCPClientLease c = ConnectedConnection(info)) api::UserLogout(*c, Caller(info));
  info.SessionEnded();
  info.Pool().SetToken({});
}

bool AutoLogin(TPublicInfo& info) {
  if (!info.Settings().IsSavedUserInfo) return false;
  return Login(info);
}

}  // namespace solvane
