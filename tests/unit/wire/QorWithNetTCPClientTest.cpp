// The call channel against the scripted peer on 127.0.0.1.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ScriptedPeer.h"
#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithText.h"
#include "wire/QorWithUiPump.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using testsupport::TPeerAnswer;
using testsupport::TPeerRequest;
using testsupport::TScriptedPeer;
using TClock = std::chrono::steady_clock;

std::string Pad8(std::int64_t n) { return PadLeft(std::to_string(n), 8, '0'); }

TQorPack LogoutPack() {
  TQorPack p;
  p.SetFunNo("TUser.Logout");
  p.AddString(1, "UAdmin", "u1");
  p.AddString(1, "UIPAddr", "192.168.0.7");
  p.AddString(1, "UMAC", "00-0C-29-3A-5B-7C");
  p.AddString(1, "UCode", "u1");
  return p;
}

TQorPack Named(const std::string& funNo) {
  TQorPack p;
  p.SetFunNo(funNo);
  return p;
}

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

class CallChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_client.SetHost("127.0.0.1");
    m_client.SetPort(m_peer.Port());
    ASSERT_TRUE(m_client.Connect());
  }

  TScriptedPeer m_peer;  // outlives the client
  TQorTCPClient m_client;
};

TEST_F(CallChannelTest, LogoutAsThirdCallIsSentByteForByte) {
  const std::string frame = LogoutPack().SaveToString();
  ASSERT_EQ(frame.size(), 278u);
  for (int i = 0; i < 3; ++i) {
    TQorPack p = LogoutPack();
    ASSERT_TRUE(m_client.Call(p));
    EXPECT_EQ(p.FunNo(), "TUser.Logout");
    EXPECT_EQ(p.ErrNo(), 1);
  }
  std::vector<TPeerRequest> requests = m_peer.Requests();
  ASSERT_EQ(requests.size(), 3u);
  ASSERT_GT(m_client.Handle(), 0);
  EXPECT_EQ(requests[2].HeaderText, "BindingHandle=" + Pad8(m_client.Handle()) +
                                        "|CF_SEND_PARAM:Id=00000003|ParamXMLStreamSize=00000278");
  EXPECT_EQ(requests[2].Frame, frame);
  EXPECT_TRUE(requests[2].Extra.empty());

  // Meters: request header characters plus frame bytes out; reply header
  // characters plus reply frame bytes in.
  std::int64_t sent = 0, received = 0;
  for (const TPeerRequest& r : requests) {
    sent += static_cast<std::int64_t>(r.HeaderText.size() + r.Frame.size());
    received += static_cast<std::int64_t>(TPeerAnswer::Echo(r).Bytes(r).size() - 2);
  }
  EXPECT_EQ(m_client.SentMeter().Total(), sent);
  EXPECT_EQ(m_client.ReceivedMeter().Total(), received);
  EXPECT_EQ(m_client.Contexts().CallsStarted(), 3);
  EXPECT_EQ(m_client.Contexts().RepliesReceived(), 3);
  EXPECT_EQ(m_client.Contexts().CallsFailed(), 0);
}

TEST_F(CallChannelTest, ExtraBufferSizeOnlyWithExtraData) {
  TQorPack a = Named("A"), b = Named("B"), c = Named("C");
  ASSERT_TRUE(m_client.Call(a));
  ASSERT_TRUE(m_client.CallUpload(b, ""));
  ASSERT_TRUE(m_client.CallUpload(c, "xyz"));
  auto requests = m_peer.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].HeaderText.find("ExtraBufferSize"), std::string::npos);
  EXPECT_EQ(requests[1].HeaderText.find("ExtraBufferSize"), std::string::npos);
  EXPECT_NE(requests[2].HeaderText.find("|ExtraBufferSize=00000003"), std::string::npos);
  EXPECT_EQ(requests[2].Extra, "xyz");
  EXPECT_EQ(requests[2].Frame, Named("C").SaveToString());
}

TEST_F(CallChannelTest, LowerCaseReplyHeaderInAnyOrderIsUnderstood) {
  m_peer.SetScript([](const TPeerRequest& r) {
    TQorPack reply = Named("Lower");
    reply.SetResult(1, "");
    std::string frame = reply.SaveToString();
    return TPeerAnswer::Raw("extrabuffersize=00000003|foo=bar|paramxmlstreamsize=" +
                            Pad8(static_cast<std::int64_t>(frame.size())) +
                            "|cf_send_param:id=" + Pad8(r.Header.id) + "\r\n" + frame + "abc");
  });
  TQorPack p = Named("Ask");
  std::string extra;
  ASSERT_TRUE(m_client.CallDownload(p, extra));
  EXPECT_EQ(p.FunNo(), "Lower");
  EXPECT_EQ(extra, "abc");
}

TEST_F(CallChannelTest, RepliesInReverseOrderReachTheirOwnCallers) {
  m_peer.SetScript([](const TPeerRequest& r) {
    return TPeerAnswer::Echo(r, "extra of " + r.Pack().FunNo()).Held();
  });
  m_client.SetTimeOut(0);
  auto first = std::async(std::launch::async, [&] {
    TQorPack p = Named("First");
    bool ok = m_client.Call(p);
    return std::make_pair(ok, p.FunNo());
  });
  ASSERT_TRUE(m_peer.WaitForRequests(1));

  // A second Call on a connection whose Call still waits is turned away at
  // once and its packet stays as built; CallDownload is not.
  TQorPack refused = Named("Nested");
  EXPECT_FALSE(m_client.Call(refused));
  EXPECT_EQ(refused.FunNo(), "Nested");

  auto second = std::async(std::launch::async, [&] {
    TQorPack p = Named("Second");
    std::string extra;
    bool ok = m_client.CallDownload(p, extra);
    return std::make_tuple(ok, p.FunNo(), extra);
  });
  ASSERT_TRUE(m_peer.WaitForRequests(2));
  m_peer.ReleaseHeld(/*reverse=*/true);

  auto [firstOk, firstFunNo] = first.get();
  auto [secondOk, secondFunNo, secondExtra] = second.get();
  EXPECT_TRUE(firstOk);
  EXPECT_EQ(firstFunNo, "First");
  EXPECT_TRUE(secondOk);
  EXPECT_EQ(secondFunNo, "Second");
  EXPECT_EQ(secondExtra, "extra of Second");
  EXPECT_EQ(m_peer.Requests().size(), 2u);  // the refused call sent nothing
}

TEST_F(CallChannelTest, PipelinedCallsAreAllSentBeforeTheFirstReplyAndMatchedById) {
  m_peer.SetScript([](const TPeerRequest& r) {
    const std::string name = r.Pack().FunNo();
    if (name == "Dropped") return TPeerAnswer::Close();
    return TPeerAnswer::Echo(r, "reply to " + name + " with " + r.Extra).Held();
  });
  m_client.SetTimeOut(0);
  std::vector<TQorPack> packs;
  for (int i = 0; i < 5; ++i) packs.push_back(Named("Call" + std::to_string(i)));
  const std::vector<std::string> extras = {"", "a", "", "bb", std::string(70000, 'x')};
  std::vector<TQorTCPClient::TPipelinedCall> calls(packs.size());
  for (std::size_t i = 0; i < packs.size(); ++i) {
    calls[i].Pack = &packs[i];
    calls[i].Extra = extras[i];
  }
  auto answered = std::async(std::launch::async, [&] { return m_client.CallPipelined(calls); });
  // Every request is out while none has been answered yet.
  ASSERT_TRUE(m_peer.WaitForRequests(5));
  TQorPack refused = Named("Meanwhile");
  EXPECT_FALSE(m_client.Call(refused)) << "held like a Call";
  m_peer.ReleaseHeld(/*reverse=*/true);
  EXPECT_EQ(answered.get(), 5u);
  for (std::size_t i = 0; i < packs.size(); ++i) {
    EXPECT_TRUE(calls[i].Answered);
    EXPECT_EQ(packs[i].FunNo(), "Call" + std::to_string(i));
    EXPECT_EQ(calls[i].ReplyExtra, "reply to Call" + std::to_string(i) + " with " + extras[i]);
  }

  // The connection drops in the middle: the calls before are answered, the
  // rest fail without a reply.
  std::vector<TQorPack> more = {Named("Before"), Named("Dropped"), Named("After")};
  std::vector<TQorTCPClient::TPipelinedCall> moreCalls(3);
  for (std::size_t i = 0; i < 3; ++i) moreCalls[i].Pack = &more[i];
  auto partly = std::async(std::launch::async, [&] { return m_client.CallPipelined(moreCalls); });
  ASSERT_TRUE(m_peer.WaitForRequests(6));
  while (m_peer.HeldCount() == 0) std::this_thread::sleep_for(1ms);
  m_peer.ReleaseHeld();
  EXPECT_LE(partly.get(), 1u);
  EXPECT_FALSE(moreCalls[1].Answered);
  EXPECT_FALSE(moreCalls[2].Answered);
}

// 256 KiB of binary data full of line ends, with a line in it that looks
// like the header of the next call's reply.
std::string TreacherousExtra() {
  std::string extra;
  while (extra.size() < 256 * 1024) {
    extra += "\r\n\n\r";
    extra += "BindingHandle=00000000|CF_SEND_PARAM:Id=00000002|ParamXMLStreamSize=00000009\r\n";
    extra += "GARBAGE!!";
    for (int i = 0; i < 64; ++i) extra += static_cast<char>((i * 37) & 0xFF);
  }
  extra.resize(256 * 1024);
  return extra;
}

TEST_F(CallChannelTest, LateReplyWithBinaryExtraDoesNotDisturbTheNextCall) {
  m_peer.SetScript([](const TPeerRequest& r) {
    if (r.Header.id == 1) return TPeerAnswer::Echo(r, TreacherousExtra()).Held();
    return TPeerAnswer::Echo(r).Held();
  });
  m_client.SetTimeOut(1);
  TQorPack late = Named("Late");
  std::string lateExtra;
  EXPECT_FALSE(m_client.CallDownload(late, lateExtra));

  // The next call already waits when the late reply comes in ahead of its
  // own.
  auto next = std::async(std::launch::async, [&] {
    TQorPack p = Named("Next");
    std::string extra;
    bool ok = m_client.CallDownload(p, extra);
    return std::make_tuple(ok, p.FunNo(), p.ErrNo(), extra);
  });
  ASSERT_TRUE(m_peer.WaitForRequests(2));
  m_peer.ReleaseHeld();
  auto [ok, funNo, errNo, extra] = next.get();
  EXPECT_TRUE(ok);
  EXPECT_EQ(funNo, "Next");
  EXPECT_EQ(errNo, 1);
  EXPECT_TRUE(extra.empty());
  EXPECT_TRUE(m_client.Connected());
  EXPECT_EQ(m_client.Contexts().RepliesReceived(), 1);
  EXPECT_EQ(m_client.Contexts().CallsFailed(), 1);
}

TEST_F(CallChannelTest, SilentPeerFailsTheCallAtTheTimeOutWithThePacketReset) {
  m_peer.SetScript([](const TPeerRequest&) { return TPeerAnswer::Silent(); });
  m_client.SetTimeOut(1);
  TQorPack p = LogoutPack();
  auto start = TClock::now();
  EXPECT_FALSE(m_client.Call(p));
  double elapsed = SecondsSince(start);
  EXPECT_GE(elapsed, 0.9);
  EXPECT_LE(elapsed, 3.0);
  EXPECT_EQ(p.ErrNo(), -1);
  EXPECT_EQ(p.FunNo(), "");
  EXPECT_EQ(p.SaveToString(), TQorPack().SaveToString());
  EXPECT_FALSE(m_client.InCall());
  EXPECT_FALSE(m_client.HasWaitingCall());
  EXPECT_EQ(m_client.Contexts().CallsFailed(), 1);
}

// Time-out 0 means no limit for every kind of call: still waiting after a
// while, answered once the reply comes.
TEST_F(CallChannelTest, TimeOutZeroWaitsForTheReply) {
  m_peer.SetScript([](const TPeerRequest& r) { return TPeerAnswer::Echo(r).Held(); });
  m_client.SetTimeOut(0);
  for (bool download : {false, true}) {
    SCOPED_TRACE(download ? "CallDownload" : "Call");
    std::atomic<bool> done{false};
    auto call = std::async(std::launch::async, [&] {
      TQorPack p = Named("Patient");
      std::string extra;
      bool ok = download ? m_client.CallDownload(p, extra) : m_client.Call(p);
      done = true;
      return ok && p.FunNo() == "Patient";
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(done.load());
    while (m_peer.HeldCount() == 0) std::this_thread::sleep_for(1ms);
    m_peer.ReleaseHeld();
    EXPECT_TRUE(call.get());
  }
}

TEST_F(CallChannelTest, DropFailsWaitingCallsAtOnceAndIdsKeepRising) {
  m_client.SetTimeOut(0);
  TQorPack first = Named("One");
  ASSERT_TRUE(m_client.Call(first));

  m_peer.SetScript([](const TPeerRequest&) { return TPeerAnswer::Close(); });
  TQorPack dropped = Named("Two");
  auto start = TClock::now();
  EXPECT_FALSE(m_client.Call(dropped));
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_EQ(dropped.ErrNo(), -1);
  EXPECT_EQ(dropped.FunNo(), "");
  for (int i = 0; i < 500 && m_client.Connected(); ++i) std::this_thread::sleep_for(2ms);
  EXPECT_FALSE(m_client.Connected());

  // Not connected: refused at once, packet as built, no Id used.
  TQorPack unsent = Named("Unsent");
  EXPECT_FALSE(m_client.Call(unsent));
  EXPECT_EQ(unsent.FunNo(), "Unsent");

  m_peer.SetScript([](const TPeerRequest& r) { return TPeerAnswer::Echo(r); });
  ASSERT_TRUE(m_client.Connect());
  TQorPack third = Named("Three");
  ASSERT_TRUE(m_client.Call(third));
  EXPECT_EQ(third.FunNo(), "Three");

  auto requests = m_peer.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header.id, 1);
  EXPECT_EQ(requests[1].Header.id, 2);
  EXPECT_EQ(requests[2].Header.id, 3);
  EXPECT_EQ(requests[2].Connection, 2);
  EXPECT_EQ(m_client.Contexts().CallsFailed(), 1);
}

TEST_F(CallChannelTest, DisconnectFailsAWaitingCallAtOnce) {
  m_peer.SetScript([](const TPeerRequest&) { return TPeerAnswer::Silent(); });
  m_client.SetTimeOut(0);
  auto call = std::async(std::launch::async, [&] {
    TQorPack p = Named("Waits");
    return m_client.Call(p);
  });
  ASSERT_TRUE(m_peer.WaitForRequests(1));
  m_client.Disconnect();
  EXPECT_EQ(call.wait_for(2s), std::future_status::ready);
  EXPECT_FALSE(call.get());
  EXPECT_EQ(m_client.Status(), TQorSocketStatus::Disconnected);
}

// A header line over 1 KiB or a body size over 16 MiB: the stream cannot be
// trusted any more, so the connection ends and the waiting call fails now.
TEST_F(CallChannelTest, BrokenReplyStreamDisconnects) {
  const std::vector<std::function<std::string(const TPeerRequest&)>> brokenAnswers = {
      [](const TPeerRequest&) { return std::string(1500, 'A') + "\r\n"; },
      [](const TPeerRequest& r) {
        return "CF_SEND_PARAM:Id=" + Pad8(r.Header.id) + "|ParamXMLStreamSize=20000000\r\n";
      },
      [](const TPeerRequest& r) {
        return "CF_SEND_PARAM:Id=" + Pad8(r.Header.id) +
               "|ParamXMLStreamSize=00000010|ExtraBufferSize=99999999\r\n";
      },
  };
  m_client.SetTimeOut(0);
  for (const auto& broken : brokenAnswers) {
    m_peer.SetScript([&](const TPeerRequest& r) { return TPeerAnswer::Raw(broken(r)); });
    ASSERT_TRUE(m_client.Connect());
    TQorPack p = Named("Probe");
    auto start = TClock::now();
    EXPECT_FALSE(m_client.Call(p));
    EXPECT_LT(SecondsSince(start), 2.0);
    for (int i = 0; i < 500 && m_client.Connected(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_FALSE(m_client.Connected());
  }
}

// The user-interface thread keeps its events flowing while it waits, and an
// event handler that starts a second Call on the same connection is refused.
TEST_F(CallChannelTest, WaitOnTheUiThreadPumpsEvents) {
  m_peer.SetScript([](const TPeerRequest& r) { return TPeerAnswer::Echo(r).After(150ms); });
  int pumps = 0;
  std::optional<bool> nested;
  SetUiThread(std::this_thread::get_id());
  SetUiPump([&] {
    ++pumps;
    if (!nested) {
      TQorPack inner = Named("Inner");
      nested = m_client.Call(inner);
    }
  });
  TQorPack p = Named("Outer");
  bool ok = m_client.Call(p);
  SetUiPump(nullptr);
  SetUiThread(std::thread::id());

  EXPECT_TRUE(ok);
  EXPECT_EQ(p.FunNo(), "Outer");
  EXPECT_GE(pumps, 10);
  ASSERT_TRUE(nested.has_value());
  EXPECT_FALSE(*nested);
}

TEST(CallChannel, ConnectsByHostName) {
  TScriptedPeer peer;
  TQorTCPClient client;
  client.SetHost("localhost");
  client.SetPort(peer.Port());
  ASSERT_TRUE(client.Connect());
  EXPECT_EQ(client.Status(), TQorSocketStatus::Connected);
  TQorPack p = Named("ByName");
  EXPECT_TRUE(client.Call(p));
  client.Disconnect();
  EXPECT_FALSE(client.Connected());
}

TEST(CallChannel, UnconnectedClientRefusesAtOnce) {
  TQorTCPClient client;
  TQorPack p = Named("Nowhere");
  std::string extra = "data";
  EXPECT_FALSE(client.Call(p));
  EXPECT_FALSE(client.CallDownload(p, extra));
  EXPECT_EQ(p.FunNo(), "Nowhere");
  EXPECT_EQ(extra, "data");
  EXPECT_EQ(client.Contexts().CallsStarted(), 0);
  EXPECT_EQ(client.Status(), TQorSocketStatus::Disconnected);
}

}  // namespace
}  // namespace solvane
