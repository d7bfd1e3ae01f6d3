#include "client/Unit_Login.h"

#include <chrono>

#include "client/Unit_PublicInfo.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"

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

bool Succeeded(bool called, const TQorPack& p) { return called && p.ErrNo() == 1; }

void ReadProfile(TPublicInfo& info, TQorTCPClient& connection) {
  TQorPack p;
  p.SetFunNo(kProfileOperation);
  if (!Succeeded(connection.Call(p), p) || p.RecordSetCount() != 1) return;
  TConfig_Of_Profile profile = info.Profile();
  profile.EnterprizeName = p.FieldByName(1, "EnterprizeName").AsString();
  profile.AppName = p.FieldByName(1, "AppName").AsString();
  profile.KRN_MajorVersion = p.FieldByName(1, "KRN_MajorVersion").AsString();
  profile.KRN_MinorVersion = p.FieldByName(1, "KRN_MinorVersion").AsString();
  profile.KRN_SecurityMode = static_cast<std::int32_t>(p.FieldByName(1, "KRN_SecurityMode").AsInteger());
  std::int64_t space = p.FieldByName(1, "KRN_DefaultUserSpace").AsInteger();
  profile.KRN_DefaultUserSpace = static_cast<std::int32_t>(space < 1 ? 1 : space);
  info.SetProfile(profile);
}

// Takes a free connection and makes sure it is connected.
TQorTCPClientLease ConnectedConnection(TPublicInfo& info) {
  TQorTCPClientLease lease = info.Pool().AcquireFree(-1);
  if (lease && !info.Pool().Connect(*lease)) lease.Release();
  return lease;
}

}  // namespace

void FillLoginRequest(TPublicInfo& info, TQorPack& p) {
  const TSettings s = info.Settings();
  p.SetFunNo(kLoginOperation);
  p.AddString(1, "UCode", s.UserCode);
  p.AddString(1, "UPwd", s.UserPwd);
  p.AddString(1, "UIPAddr", info.LocalIPAddress());
  p.AddString(1, "UMacAddr", info.LocalMacAddress());
  p.AddString(1, "UEncryptPwd", "1");
  p.AddString(1, "USystemKind", "1");
  p.AddDateTime(1, "LoginTime", std::chrono::system_clock::now());
}

bool Login(TPublicInfo& info) {
  info.Pool().SetConnectText(ConnectText(info));
  TQorTCPClientLease connection = ConnectedConnection(info);
  if (!connection) return false;

  ReadProfile(info, *connection);

  TQorPack p;
  FillLoginRequest(info, p);
  if (!Succeeded(connection->Call(p), p)) return false;
  connection.Release();

  info.SetLoggedIn(true);
  info.Notes().ShowNote(std::string("登录成功，") + "\r" + "正在请求数据...", kNoteInformation);
  info.SaveUserSettings();
  info.SetUserName(p.FieldByName(1, "Name").AsString());
  TConfig_Of_Profile profile = info.Profile();
  profile.IsAdmin = p.FieldByName(1, "IsAdmin").AsBoolean();
  profile.IsCanDelete = p.FieldByName(1, "IsCanDelete").AsBoolean();
  info.SetProfile(profile);
  info.Pool().SetToken(p.FieldByName(1, kTokenField).AsString());
  info.SessionStarted();

  info.ConnectServer();
  info.StartEngine();
  Regist(info);
  return true;
}

void Regist(TPublicInfo& info) {
  info.Pace(100);
  TQorPack p;
  p.SetFunNo("TUser.Regist");
  p.AddString(1, "UCode", info.UserCode());
  p.AddString(1, "UIPAddr", info.LocalIPAddress());
  p.AddString(1, "Name", info.UserName());
  p.AddDateTime(1, "LoginTime", std::chrono::system_clock::now());
  if (TQorTCPClientLease c = ConnectedConnection(info)) c->Call(p);
}

void Logout(TPublicInfo& info) {
  TQorPack p;
  p.SetFunNo("TUser.Logout");
  p.AddString(1, "UAdmin", info.UserCode());
  p.AddString(1, "UIPAddr", info.LocalIPAddress());
  p.AddString(1, "UMAC", info.LocalMacAddress());
  p.AddString(1, "UCode", info.UserCode());
  if (TQorTCPClientLease c = ConnectedConnection(info)) c->Call(p);
  info.SessionEnded();
  info.Pool().SetToken({});
}

bool AutoLogin(TPublicInfo& info) {
  if (!info.Settings().IsSavedUserInfo) return false;
  return Login(info);
}

}  // namespace solvane
