#include "client/Unit_Login.h"

#include <chrono>

#include "api/SystemApi.h"
#include "client/Unit_PublicInfo.h"
#include "wire/QorWithTlsClient.h"

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

// The connect text, encryption and the pinned certificate of the settings'
// server, before its first connection.
void PrepareConnection(TPublicInfo& info) {
  info.Pool().SetConnectText(ConnectText(info));
  info.Pool().SetTls(info.Settings().UseTls);
  info.Pool().SetPinnedFingerprint(info.PinnedCertificate());
}

api::TApiStatus SignIn(TPublicInfo& info) {
  PrepareConnection(info);
  TQorTCPClientLease connection = ConnectedConnection(info);
  if (!connection) {
    if (const auto refusal = info.Pool().TlsRefusal())
      return api::TApiStatus::Failed(api::TApiFailure::NoConnection, DescribeTlsRefusal(*refusal));
    const TSettings s = info.Settings();
    return api::TApiStatus::Failed(api::TApiFailure::NoConnection,
                                   "the server at " + s.Host + ":" + std::to_string(s.Port) +
                                       " cannot be reached");
  }

  ReadProfile(info, *connection);

  const auto login = api::UserLogin(*connection, LoginRequest(info));
  if (!login) return login.status;
  connection.Release();
  // A certificate seen for the first time is held to from now on.
  if (const std::string seen = info.Pool().FirstUseFingerprint(); !seen.empty()) {
    info.SavePinnedCertificate(seen);
    info.Pool().SetPinnedFingerprint(seen);
  }

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

std::optional<TQorTlsRefusal> CertificateRefusal(TPublicInfo& info) {
  return info.Pool().TlsRefusal();
}

bool AcceptServerCertificate(TPublicInfo& info, const std::string& fingerprint) {
  if (fingerprint.empty() || !info.SavePinnedCertificate(fingerprint)) return false;
  info.Pool().SetPinnedFingerprint(fingerprint);
  return true;
}

TServerCertificate TrustServerCertificate(TPublicInfo& info) {
  TServerCertificate found;
  found.Previous = info.PinnedCertificate();
  info.Pool().SetConnectText(ConnectText(info));
  info.Pool().SetTls(true);
  info.Pool().SetPinnedFingerprint({});
  TQorTCPClientLease connection = ConnectedConnection(info);
  if (!connection) return found;
  found.Reached = true;
  found.Fingerprint = info.Pool().FirstUseFingerprint();
  found.TrustedByCa = found.Fingerprint.empty();
  connection->Disconnect();
  if (!found.TrustedByCa) AcceptServerCertificate(info, found.Fingerprint);
  return found;
}

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
