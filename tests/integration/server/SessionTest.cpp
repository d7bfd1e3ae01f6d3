#include <gtest/gtest.h>

#include "ServerProcess.h"

namespace solvane::testing {
namespace {

class ServerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--can-delete", "--space", "500"});
    server.AddUser("u2", "pw2");
    ASSERT_TRUE(client.Connect(server.Port()));
  }
  TServerProcess server;
  TTestClient client;
};

TEST_F(ServerSession, ProfileBeforeSignInAndLoginReturnsRightsAndToken) {
  TQorPack profile = MakeRequest("TSystem.GetProfile", {});
  ASSERT_TRUE(client.CallOk(profile));
  ASSERT_EQ(profile.RecordSetCount(), 1);
  EXPECT_FALSE(profile.FieldByName(1, "AppName").AsString().empty());
  EXPECT_GE(profile.FieldByName(1, "KRN_DefaultUserSpace").AsInteger(), 1);

  ASSERT_TRUE(client.Login("u1", "pw1"));
  EXPECT_EQ(client.Token().size(), 64u);
  TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(client.CallOk(one));
  EXPECT_EQ(one.FieldByName(1, "TotalSpace").AsInteger(), 500);
  EXPECT_EQ(one.FieldByName(1, "UsedSpace").AsInteger(), 0);
}

TEST_F(ServerSession, RequestsWithoutValidTokenOrForAnotherUserAreRefused) {
  TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(client.Call(one));
  EXPECT_EQ(one.ErrNo(), 3);

  client.SetToken(std::string(64, 'a'));
  one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(client.Call(one));
  EXPECT_EQ(one.ErrNo(), 3);

  ASSERT_TRUE(client.Login("u1", "pw1"));
  one = MakeRequest("TUser.SelectOne", {{"UCode", "u2"}});
  ASSERT_TRUE(client.Call(one));
  EXPECT_EQ(one.ErrNo(), 4);

  TQorPack unknown = MakeRequest("TNothing.Here", {});
  ASSERT_TRUE(client.Call(unknown));
  EXPECT_EQ(unknown.ErrNo(), 0);
  EXPECT_FALSE(unknown.ErrMsg().empty());
}

TEST_F(ServerSession, LogoutEndsTheSessionAndSessionsSurviveRestart) {
  ASSERT_TRUE(client.Login("u1", "pw1"));
  ASSERT_TRUE(server.Restart());
  TTestClient again;
  ASSERT_TRUE(again.Connect(server.Port()));
  again.SetToken(client.Token());
  TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(again.CallOk(one));

  TQorPack logout = MakeRequest(
      "TUser.Logout", {{"UAdmin", "u1"}, {"UIPAddr", "127.0.0.1"}, {"UMAC", ""}, {"UCode", "u1"}});
  ASSERT_TRUE(again.CallOk(logout));
  one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(again.Call(one));
  EXPECT_EQ(one.ErrNo(), 3);
}

// Before sign-in a request may carry 64 KiB; more needs a valid token, also
// one saved by an earlier run of the server.
TEST_F(ServerSession, RequestsAboveTheSignInLimitNeedAValidToken) {
  auto request = [](std::size_t padding) {
    return MakeRequest("TUser.SelectOne", {{"UCode", "u1"}, {"Note", std::string(padding, 'n')}});
  };
  TQorPack small = request(60000);
  ASSERT_TRUE(client.Call(small)) << "a small request is answered before sign-in";
  EXPECT_EQ(small.ErrNo(), 3);
  TQorPack large = request(70000);
  EXPECT_FALSE(client.Call(large, {}, nullptr, 5)) << "a large one closes the connection";

  TTestClient forged;
  ASSERT_TRUE(forged.Connect(server.Port()));
  forged.SetToken(std::string(64, 'a'));
  large = request(70000);
  EXPECT_FALSE(forged.Call(large, {}, nullptr, 5));

  TTestClient signedIn;
  ASSERT_TRUE(signedIn.Connect(server.Port()));
  ASSERT_TRUE(signedIn.Login("u1", "pw1"));
  ASSERT_TRUE(server.Restart());
  TTestClient again;
  ASSERT_TRUE(again.Connect(server.Port()));
  again.SetToken(signedIn.Token());
  large = request(70000);
  EXPECT_TRUE(again.CallOk(large)) << "a saved session lifts the limit after a restart";
}

TEST_F(ServerSession, WrongPasswordsAreSlowedDownPerUser) {
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(client.Login("u2", "wrong"));
  // Now even the right password waits; another user is not affected.
  TQorPack p = MakeRequest("TUser.Login", {{"UCode", "u2"}, {"UPwd", "pw2"}});
  ASSERT_TRUE(client.Call(p));
  EXPECT_EQ(p.ErrNo(), 8);
  EXPECT_TRUE(client.Login("u1", "pw1"));
}

TEST_F(ServerSession, ChangePwdChecksTheOldPassword) {
  ASSERT_TRUE(client.Login("u1", "pw1"));
  auto change = [&](const char* oldPwd, const char* newPwd) {
    TQorPack p = MakeRequest("TUser.ChangePwd", {{"UAdmin", "u1"},
                                                 {"UIPAddr", "127.0.0.1"},
                                                 {"UMAC", ""},
                                                 {"UCode", "u1"},
                                                 {"UOldPwd", oldPwd},
                                                 {"UNewPwd", newPwd}});
    return client.Call(p) ? p.ErrNo() : -99;
  };
  EXPECT_EQ(change("nope", "x"), 7);
  EXPECT_EQ(change("pw1", ""), 2);
  EXPECT_EQ(change("pw1", "新密码"), 1);
  TTestClient other;
  ASSERT_TRUE(other.Connect(server.Port()));
  EXPECT_FALSE(other.Login("u1", "pw1"));
  EXPECT_TRUE(other.Login("u1", "新密码"));
}

TEST_F(ServerSession, MalformedInputClosesOnlyThatConnection) {
  const std::string cases[] = {
      "this is not a header\r\n",
      "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=99999999\r\n",  // frame over the limit
      std::string(4000, 'A') + "\r\n",                       // header line too long
      "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=5\r\nhello",    // not a frame
  };
  for (const auto& bytes : cases) {
    TTestClient bad;
    ASSERT_TRUE(bad.Connect(server.Port()));
    ASSERT_TRUE(bad.SendRaw(bytes));
    EXPECT_TRUE(bad.WaitClosed(5)) << bytes.substr(0, 60);
  }
  ASSERT_TRUE(client.Login("u1", "pw1"));
}

TEST_F(ServerSession, AdminCommandsValidateTheirInput) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  };
  const Case cases[] = {
      {{"user", "add", "u1", "--password", "x"}, 1},     // exists
      {{"user", "add", "a/b", "--password", "x"}, 1},    // bad code
      {{"user", "add", "u3"}, 1},                        // no password
      {{"user", "set", "u1", "--admin", "yes"}, 1},      // not 0|1
      {{"user", "set", "u1", "--manager", "ghost"}, 1},  // no such manager
      {{"user", "set", "u1", "--bogus", "1"}, 2},        // unknown option
      {{"user", "frobnicate"}, 2},                       // unknown command
      {{"user", "set", "u1", "--manager", "u2", "--space", "7"}, 0},
      {{"user", "passwd", "u2", "--password", "pw2b"}, 0},
  };
  for (const auto& c : cases) {
    auto r = server.Admin(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << ": " << r.err;
    if (c.exitCode != 0) {
      EXPECT_NE(r.err.find("error"), std::string::npos);
    }
  }
  auto list = server.Admin({"user", "list"});
  EXPECT_NE(list.out.find("u1\tu1\t0\t1\t7\t0\tu2"), std::string::npos) << list.out;
  EXPECT_TRUE(client.Login("u2", "pw2b"));
}

}  // namespace
}  // namespace solvane::testing
