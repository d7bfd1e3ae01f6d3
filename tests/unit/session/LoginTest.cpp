// Signing in against a scripted server: what goes on the wire in which
// order, what is saved, and that the shared state ends cleanly.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ScriptedPeer.h"
#include "platform/AutoRun.h"
#include "platform/MemoryRegistry.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"

namespace solvane {
namespace {

using testsupport::TPeerAnswer;
using testsupport::TPeerRequest;
using testsupport::TScriptedPeer;

class TFixedNetwork : public INetworkInfo {
 public:
  std::string LocalIPAddress() override { return "192.168.0.7"; }
  std::string LocalMacAddress() override { return "00-0C-29-3A-5B-7C"; }
};

class TRecordedNotes : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind) override { notes.push_back(text); }
  std::vector<std::string> notes;
};

// The server's side of a sign-in: profile, login (right password "pw"),
// everything else answered with success and no records.
TPeerAnswer Answer(const TPeerRequest& r) {
  TQorPack request = r.Pack();
  TQorPack reply;
  reply.SetFunNo(request.FunNo());
  if (request.FunNo() == kProfileOperation) {
    reply.SetResult(1, "");
    reply.AddString(1, "AppName", "Solvane");
    reply.AddString(1, "KRN_SecurityMode", "1");
    reply.AddString(1, "KRN_DefaultUserSpace", "0");
  } else if (request.FunNo() == "TUser.Login") {
    bool right = request.FieldByName(1, "UPwd").AsString() == "pw";
    reply.SetResult(right ? 1 : 7, right ? "" : "wrong password");
    if (right) {
      reply.AddString(1, "Name", "Ann");
      reply.AddString(1, "IsAdmin", "0");
      reply.AddString(1, "IsCanDelete", "1");
      reply.AddString(1, "Token", "tok123");
    }
  } else {
    reply.SetResult(1, "");
  }
  return TPeerAnswer::Reply(reply);
}

class SignIn : public ::testing::Test {
 protected:
  SignIn() : autoRun(std::filesystem::temp_directory_path().string()) {
    peer.SetScript(Answer);
  }
  std::unique_ptr<TPublicInfo> MakeInfo(const std::string& password, bool remember) {
    auto info = std::make_unique<TPublicInfo>(
        TPublicInfoDeps{registry, autoRun, network, notes, "/opt/solvane/solvane", {}});
    TSettings s = info->Settings();
    s.Host = "127.0.0.1";
    s.Port = peer.Port();
    s.UserCode = "ann";
    s.UserPwd = password;
    s.IsSavedUserInfo = remember;
    s.Pacing = TPacing::Fast;
    s.UseTls = false;  // the scripted peer speaks the plain protocol
    info->SetSettings(s);
    return info;
  }
  std::vector<std::string> FunNos() {
    std::vector<std::string> names;
    for (const auto& r : peer.Requests()) names.push_back(r.Pack().FunNo());
    return names;
  }
  TScriptedPeer peer;
  TMemoryRegistry registry;
  TXdgAutoRun autoRun;
  TFixedNetwork network;
  TRecordedNotes notes;
};

TEST_F(SignIn, AutoLoginSendsProfileLoginThenRegistAfterAllConnections) {
  auto info = MakeInfo("pw", /*remember=*/true);
  ASSERT_TRUE(AutoLogin(*info));
  ASSERT_TRUE(peer.WaitForRequests(3));
  auto names = FunNos();
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], kProfileOperation);
  EXPECT_EQ(names[1], "TUser.Login");
  auto regist = std::find(names.begin(), names.end(), "TUser.Regist");
  ASSERT_NE(regist, names.end());
  EXPECT_EQ(peer.ConnectionCount(), 8);

  // Rights, profile and the token of the reply are taken over.
  EXPECT_EQ(info->UserName(), "Ann");
  EXPECT_TRUE(info->Profile().IsCanDelete);
  EXPECT_EQ(info->Profile().KRN_SecurityMode, 1);
  EXPECT_EQ(info->Profile().KRN_DefaultUserSpace, 1);  // raised to 1
  const auto requests = peer.Requests();
  const auto& registRequest = requests[regist - names.begin()];
  EXPECT_NE(registRequest.HeaderText.find("|Token=tok123"), std::string::npos);
  EXPECT_EQ(requests[1].HeaderText.find("Token="), std::string::npos);
  ASSERT_FALSE(notes.notes.empty());
  EXPECT_EQ(notes.notes.front(), "登录成功，\r正在请求数据...");
}

TEST_F(SignIn, RightPasswordIsSavedEvenWhenNotRememberedWrongOneChangesNothing) {
  {
    auto info = MakeInfo("bad", /*remember=*/false);
    EXPECT_FALSE(Login(*info));
    EXPECT_FALSE(info->LoggedIn());
    EXPECT_FALSE(registry.ReadString(TRegistryRoot::LocalMachine, "Software\\Kestrune\\UserCode",
                                     "\\Software\\Kestrune\\UserCode"));
  }
  auto info = MakeInfo("pw", /*remember=*/false);
  EXPECT_FALSE(AutoLogin(*info)) << "not remembered: no automatic sign-in";
  ASSERT_TRUE(Login(*info));
  EXPECT_EQ(registry.ReadString(TRegistryRoot::LocalMachine, "Software\\Kestrune\\UserPwd",
                                "\\Software\\Kestrune\\UserPwd"),
            "pw");
  Logout(*info);
  auto names = FunNos();
  EXPECT_EQ(names.back(), "TUser.Logout");
  // The shared state ends with its threads and connections (no hang).
  info.reset();
}

TEST_F(SignIn, UnreachableServerFailsAtOnce) {
  testsupport::TRefusingPort refusing;
  auto info = MakeInfo("pw", true);
  TSettings s = info->Settings();
  s.Port = refusing.Port();
  info->SetSettings(s);
  EXPECT_FALSE(Login(*info));
  EXPECT_FALSE(info->LoggedIn());
}

}  // namespace
}  // namespace solvane
