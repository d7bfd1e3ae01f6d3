// Hostile and broken clients: each is cut off alone, the others go on.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ServerProcess.h"

namespace solvane::testing {
namespace {

TEST(ServerHostileInput, SilentClientIsClosedAfterIdleTimeOutOthersUnaffected) {
  TServerProcess server;
  server.SetExtraArgs({"--idle-timeout", "2"});
  ASSERT_TRUE(server.Start());
  server.AddUser("u1", "pw1");

  // A header that promises a frame which never comes.
  TTestClient silent;
  ASSERT_TRUE(silent.Connect(server.Port()));
  ASSERT_TRUE(silent.SendRaw("CF_SEND_PARAM:Id=1|ParamXMLStreamSize=500\r\n"));

  // Meanwhile a well-behaved client is served at once.
  TTestClient good;
  ASSERT_TRUE(good.Connect(server.Port()));
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(good.Login("u1", "pw1"));
  TQorPack one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  ASSERT_TRUE(good.CallOk(one));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  EXPECT_TRUE(silent.WaitClosed(6));
  // The good client, idle itself now for a while, reconnects and goes on.
  TTestClient later;
  ASSERT_TRUE(later.Connect(server.Port()));
  later.SetToken(good.Token());
  one = MakeRequest("TUser.SelectOne", {{"UCode", "u1"}});
  EXPECT_TRUE(later.CallOk(one));
}

TEST(ServerHostileInput, OversizedPartsCloseTheConnection) {
  TServerProcess server;
  ASSERT_TRUE(server.Start());
  const std::string cases[] = {
      // extra data above the 4 MiB limit
      "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=100|ExtraBufferSize=04194305\r\n",
      // frame above the 16 MiB limit
      "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=16777217\r\n",
      // a negative size
      "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=-1\r\n",
      // a header line of 1 KiB and more, without its end
      std::string(1100, 'x'),
  };
  for (const auto& bytes : cases) {
    TTestClient bad;
    ASSERT_TRUE(bad.Connect(server.Port()));
    ASSERT_TRUE(bad.SendRaw(bytes));
    EXPECT_TRUE(bad.WaitClosed(5)) << bytes.substr(0, 70);
  }
}

}  // namespace
}  // namespace solvane::testing
