// The connection pool: hand-out order, leases, connect text, connecting.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <future>
#include <thread>

#include "ScriptedPeer.h"
#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithText.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using testsupport::TPeerAnswer;
using testsupport::TPeerRequest;
using testsupport::TRefusingPort;
using testsupport::TScriptedPeer;

std::string LocalConnectText(std::uint16_t port) {
  return "Host=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\nTimeOut=5\r\nUCode=u1";
}

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override { m_pool.FillStandard(); }
  std::string NameOf(const TQorTCPClientLease& lease) { return lease ? lease->Name() : "<none>"; }

  TScriptedPeer m_peer;  // outlives the pool
  TQorTCPClientPool m_pool;
};

TEST_F(PoolTest, FillStandardMakesThePublicAndTransferConnections) {
  const std::array<std::pair<const char*, int>, 8> expected = {{{"Public0", 1},
                                                                {"Public1", 1},
                                                                {"Public2", 1},
                                                                {"Trans0", 100},
                                                                {"Trans1", 100},
                                                                {"Trans2", 100},
                                                                {"Trans3", 100},
                                                                {"Trans4", 100}}};
  ASSERT_EQ(m_pool.Count(), 8u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(m_pool.Item(i).Name(), expected[i].first);
    EXPECT_EQ(m_pool.Item(i).Kind(), expected[i].second);
    EXPECT_EQ(m_pool.Item(i).Index(), static_cast<int>(i));
    EXPECT_FALSE(m_pool.Item(i).Connected());
  }
  EXPECT_FALSE(m_pool.AnyConnected());
}

TEST_F(PoolTest, AcquireFreeHandsOutInPoolOrderAndSkipsBusyOnes) {
  // Nothing is connected: the first one is still handed out.
  TQorTCPClientLease first = m_pool.AcquireFree(-1);
  EXPECT_EQ(NameOf(first), "Public0");
  TQorTCPClientLease second = m_pool.AcquireFree(-1);
  EXPECT_EQ(NameOf(second), "Public1");
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public2");
  EXPECT_EQ(NameOf(m_pool.AcquireFree(100)), "Trans0");

  second.Release();
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public1");

  // Every one leased: none.
  std::vector<TQorTCPClientLease> all;
  while (auto lease = m_pool.AcquireFree(-1)) all.push_back(std::move(lease));
  EXPECT_EQ(all.size(), 7u);
  EXPECT_FALSE(m_pool.AcquireFree(-1));
  EXPECT_FALSE(m_pool.AcquireFree(100));
}

TEST_F(PoolTest, ConnectionWithAWaitingCallIsBusy) {
  m_peer.SetScript([](const TPeerRequest& r) { return TPeerAnswer::Echo(r).Held(); });
  m_pool.SetConnectText(LocalConnectText(m_peer.Port()));
  TQorTCPClientLease lease0 = m_pool.AcquireFree(-1);
  ASSERT_EQ(NameOf(lease0), "Public0");
  // Public1 is not leased, only a call waits on it.
  TQorTCPClient& public1 = m_pool.Item(1);
  ASSERT_TRUE(m_pool.Connect(public1));
  auto call = std::async(std::launch::async, [&] {
    TQorPack p;
    p.SetFunNo("Pending");
    return public1.Call(p);
  });
  ASSERT_TRUE(m_peer.WaitForRequests(1));
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public2");
  m_peer.ReleaseHeld();
  EXPECT_TRUE(call.get());
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public1");
}

TEST_F(PoolTest, FindByNameComparesExactlyAndLeases) {
  EXPECT_FALSE(m_pool.FindByName("trans0"));
  EXPECT_FALSE(m_pool.FindByName("Trans9"));
  TQorTCPClientLease trans0 = m_pool.FindByName("Trans0");
  ASSERT_EQ(NameOf(trans0), "Trans0");

  // While the transfer connection is leased nobody else gets it.
  EXPECT_FALSE(m_pool.FindByName("Trans0"));
  EXPECT_EQ(NameOf(m_pool.AcquireFree(100)), "Trans1");

  // A waiting FindByName gets it as soon as it is returned.
  auto waiter = std::async(std::launch::async, [&] {
    TQorTCPClientLease lease = m_pool.FindByName("Trans0", 5s);
    return NameOf(lease);
  });
  std::this_thread::sleep_for(50ms);
  trans0.Release();
  EXPECT_EQ(waiter.get(), "Trans0");
}

TEST_F(PoolTest, LeaseMovesAndReturnsOnce) {
  TQorTCPClientLease a = m_pool.AcquireFree(-1);
  TQorTCPClientLease b = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(NameOf(b), "Public0");
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public1");
  {
    TQorTCPClientLease c = m_pool.AcquireFree(-1);
    b = std::move(c);  // returns Public0, takes over Public1
  }
  EXPECT_EQ(NameOf(b), "Public1");
  EXPECT_EQ(NameOf(m_pool.AcquireFree(-1)), "Public0");
}

TEST_F(PoolTest, AcquireNeverHandsOneConnectionToTwoThreads) {
  std::array<std::atomic<int>, 8> holders{};
  std::atomic<int> overlaps{0};
  std::atomic<int> handedOut{0};
  auto use = [&](TQorTCPClientLease& lease) {
    std::atomic<int>& h = holders[static_cast<std::size_t>(lease->Index())];
    if (h.fetch_add(1) != 0) ++overlaps;
    std::this_thread::yield();
    h.fetch_sub(1);
    ++handedOut;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        TQorTCPClientLease lease = (t % 2 == 0)
                                       ? m_pool.AcquireFree(-1)
                                       : m_pool.FindByName("Trans" + std::to_string(i % 5));
        if (lease) use(lease);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(handedOut.load(), 8000);
}

struct ConnectTextCase {
  const char* text;
  const char* host;
  std::uint16_t port;
  int timeOut;
};

class ConnectTextTest : public ::testing::TestWithParam<ConnectTextCase> {};

TEST_P(ConnectTextTest, TakesHostPortAndTimeOut) {
  TQorConnectSettings s = ParseConnectText(GetParam().text);
  EXPECT_EQ(s.Host, GetParam().host);
  EXPECT_EQ(s.Port, GetParam().port);
  EXPECT_EQ(s.TimeOut, GetParam().timeOut);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConnectTextTest,
    ::testing::Values(
        ConnectTextCase{"Host=backup.local\r\nPort=9000\r\nTimeOut=30\r\nUCode=u1\r\nUPwd=x\r\n"
                        "UIPAddr=192.168.0.7\r\nUMacAddr=00-0C-29-3A-5B-7C\r\nUEncryptPwd=1\r\n"
                        "USystemKind=1",
                        "backup.local", 9000, 30},
        ConnectTextCase{"Host=10.0.0.1", "10.0.0.1", 8090, 10},
        ConnectTextCase{"Host=h\r\nPort=abc\r\nTimeOut=ten", "h", 8090, 10},
        ConnectTextCase{"Host=h\r\nPort=70000\r\nTimeOut=-4", "h", 8090, 10},
        ConnectTextCase{"host=h\r\nPORT=9001\r\ntimeout=0", "h", 9001, 0},
        ConnectTextCase{"", "", 8090, 10}));

TEST_F(PoolTest, ConnectTakesItsSettingsFromTheConnectText) {
  TRefusingPort refusing;
  m_pool.SetConnectText("Host=127.0.0.1\r\nTimeOut=x");
  TQorTCPClient& client = m_pool.Item(0);
  m_pool.Connect(client);  // whatever listens on 8090 here, the settings count
  EXPECT_EQ(client.Host(), "127.0.0.1");
  EXPECT_EQ(client.Port(), 8090);
  EXPECT_EQ(client.TimeOut(), 10);
  client.Disconnect();

  m_pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(refusing.Port()) +
                        "\r\nTimeOut=3");
  EXPECT_FALSE(m_pool.Connect(client));
  EXPECT_EQ(client.Port(), refusing.Port());
  EXPECT_EQ(client.TimeOut(), 3);
}

TEST_F(PoolTest, ConnectAllStopsAtTheFirstFailure) {
  TRefusingPort refusing;
  m_pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(refusing.Port()));
  EXPECT_FALSE(m_pool.ConnectAll(-1));
  EXPECT_EQ(m_pool.Item(0).ConnectAttempts(), 1u);
  for (std::size_t i = 1; i < m_pool.Count(); ++i)
    EXPECT_EQ(m_pool.Item(i).ConnectAttempts(), 0u) << m_pool.Item(i).Name();
  EXPECT_FALSE(m_pool.AnyConnected());
}

TEST_F(PoolTest, ConnectAllAndDisconnectAllByKind) {
  m_pool.SetConnectText(LocalConnectText(m_peer.Port()));
  EXPECT_TRUE(m_pool.ConnectAll(100));
  for (std::size_t i = 0; i < m_pool.Count(); ++i)
    EXPECT_EQ(m_pool.Item(i).Connected(), m_pool.Item(i).Kind() == 100) << m_pool.Item(i).Name();
  EXPECT_TRUE(m_pool.AnyConnected());

  EXPECT_TRUE(m_pool.ConnectAll(-1));
  // Connected ones are not connected twice.
  EXPECT_TRUE(m_peer.WaitForConnections(8));
  for (std::size_t i = 0; i < m_pool.Count(); ++i) EXPECT_EQ(m_pool.Item(i).ConnectAttempts(), 1u);
  m_pool.DisconnectAll(100);
  EXPECT_TRUE(m_pool.Item(2).Connected());
  EXPECT_FALSE(m_pool.Item(3).Connected());
  m_pool.DisconnectAll(0);
  EXPECT_FALSE(m_pool.AnyConnected());
}

TEST_F(PoolTest, RequestsCarryThePoolsToken) {
  m_pool.SetConnectText(LocalConnectText(m_peer.Port()));
  TQorTCPClientLease lease = m_pool.AcquireFree(-1);
  ASSERT_TRUE(m_pool.Connect(*lease));
  TQorPack p;
  p.SetFunNo("Before");
  ASSERT_TRUE(lease->Call(p));
  m_pool.SetToken("0f3a9c-token");
  EXPECT_EQ(m_pool.Token(), "0f3a9c-token");
  p.Reset();
  p.SetFunNo("After");
  ASSERT_TRUE(lease->Call(p));

  auto requests = m_peer.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].HeaderText.find("Token"), std::string::npos);
  const std::string frameSize = PadLeft(std::to_string(requests[1].Frame.size()), 8, '0');
  EXPECT_TRUE(
      requests[1].HeaderText.ends_with("|ParamXMLStreamSize=" + frameSize + "|Token=0f3a9c-token"))
      << requests[1].HeaderText;
  EXPECT_EQ(requests[1].Header.token, "0f3a9c-token");
}

}  // namespace
}  // namespace solvane
