// What hostile clients can make the server hold: its memory follows the bytes
// they actually send and the replies they actually read, and a well-behaved
// client is served at once meanwhile. Each probe runs against a fresh server
// whose peak resident size (VmHWM) is read from /proc.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServerProcess.h"
#include "StoreCalls.h"
#include "wire/QorWithHeaderLine.h"

namespace solvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kMemoryBound = 128 * kMiB;
constexpr auto kServedWithin = milliseconds(1000);

// A "VmHWM:" or "VmRSS:" figure of /proc/PID/status in bytes; -1 when absent.
std::int64_t ProcStatusBytes(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1)) * 1024;
  return -1;
}

// A raw, non-blocking client socket: sends what the server takes within a
// time limit and reads only when asked to.
class TRawPeer {
 public:
  ~TRawPeer() {
    if (m_fd >= 0) ::close(m_fd);
  }
  // receiveWindow > 0 shrinks the socket's receive buffer (before connecting,
  // so the advertised window stays small).
  bool Connect(int port, int receiveWindow = 0) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0) return false;
    if (receiveWindow > 0)
      ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveWindow, sizeof receiveWindow);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    return ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK) == 0;
  }
  // Bytes of `bytes` the server took before the time ran out or it closed.
  std::size_t Push(std::string_view bytes, milliseconds within) {
    const auto deadline = Clock::now() + within;
    std::size_t sent = 0;
    while (sent < bytes.size() && Clock::now() < deadline) {
      ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      pollfd p{m_fd, POLLOUT, 0};
      ::poll(&p, 1, 20);
    }
    return sent;
  }
  // True when the server closed the connection within the time (whatever it
  // sent before is read and dropped).
  bool ClosedWithin(milliseconds within) {
    const auto deadline = Clock::now() + within;
    char buf[65536];
    while (Clock::now() < deadline) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return true;
    }
    return false;
  }

 private:
  int m_fd = -1;
};

std::string Header(std::int64_t id, std::int64_t frameSize, std::int64_t extraSize,
                   const std::string& token = {}) {
  THeaderLine h;
  h.id = id;
  h.frameSize = frameSize;
  h.extraSize = extraSize;
  h.token = token;
  return BuildHeaderLine(h, extraSize > 0) + "\r\n";
}

// A whole request: header line and frame.
std::string Request(std::int64_t id, TQorPack& frame, const std::string& token = {}) {
  std::string body = frame.SaveToString();
  return Header(id, static_cast<std::int64_t>(body.size()), 0, token) + body;
}

// A request frame of `size` bytes whose bulk is put where the parser splits
// it: line feeds after the record set lines, or 0x01 separators (empty field
// names) in the field-names line.
std::string PaddedFrame(const std::string& funNo, std::size_t size, bool intoFieldNames) {
  std::string head = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<Frame>\r\n  <FunNo>" + funNo +
                     "</FunNo>\r\n  <ErrNo>-1</ErrNo>\r\n  <ErrMsg></ErrMsg>\r\n  <Fields>";
  std::string tail = "</Fields>\r\n  <RecordSets>\r\n  </RecordSets>\r\n</Frame>\r\n";
  std::string filler(size - head.size() - tail.size(), intoFieldNames ? '\x01' : '\n');
  return intoFieldNames ? head + filler + tail : head + tail + filler;
}

struct TProbeWorld {
  TServerProcess& server;
  std::string token;  // a signed-in session of "prober"
  TFileSpec stored;   // a 256 KiB file of "prober"
  std::vector<std::unique_ptr<TRawPeer>> peers;

  TRawPeer& NewPeer(int receiveWindow = 0) {
    peers.push_back(std::make_unique<TRawPeer>());
    EXPECT_TRUE(peers.back()->Connect(server.Port(), receiveWindow));
    return *peers.back();
  }
};

struct TProbe {
  const char* id;  // the test's name
  const char* name;
  std::function<void(TProbeWorld&)> run;
};

// Hostile clients, each as in the fault report; sizes keep every probe to a
// few seconds.
const std::vector<TProbe>& Probes() {
  static const std::vector<TProbe> probes = {
      {"AnonymousClaims", "20 anonymous headers claiming 16 MB + 4 MB, then silence",
       [](TProbeWorld& w) {
         for (int i = 0; i < 20; ++i)
           w.NewPeer().Push(Header(1, 16000000, 4000000), milliseconds(500));
       }},
      {"SignedInClaims", "20 signed-in headers claiming 16 MB + 4 MB, each followed by 1 MB only",
       [](TProbeWorld& w) {
         const std::string part(kMiB, 'x');
         for (int i = 0; i < 20; ++i)
           w.NewPeer().Push(Header(1, 16000000, 4000000, w.token) + part, milliseconds(500));
       }},
      {"AnonymousLineFeeds", "anonymous 16 MB profile call padded with line feeds",
       [](TProbeWorld& w) {
         std::string frame = PaddedFrame("TSystem.GetProfile", 16000000, false);
         w.NewPeer().Push(Header(1, frame.size(), 0) + frame, milliseconds(1500));
       }},
      {"AnonymousEmptyFieldNames", "anonymous 16 MB profile call with empty field names",
       [](TProbeWorld& w) {
         std::string frame = PaddedFrame("TSystem.GetProfile", 16000000, true);
         w.NewPeer().Push(Header(1, frame.size(), 0) + frame, milliseconds(1500));
       }},
      {"SignedInPaddedFramesPipelined",
       "signed-in 6 MB frames, line feeds and empty field names, two of each pipelined",
       [](TProbeWorld& w) {
         std::string bytes;
         for (bool names : {false, true, false, true}) {
           std::string frame = PaddedFrame("TUser.SelectOne", 6000000, names);
           bytes += Header(1, frame.size(), 0, w.token) + frame;
         }
         w.NewPeer().Push(bytes, milliseconds(2000));
       }},
      {"AnonymousUnknownOperationsUnread",
       "200 pipelined unknown operations of 1 000 000 characters, answers never read",
       [](TProbeWorld& w) {
         TQorPack p;
         p.SetFunNo(std::string(1000000, 'F'));
         std::string one = Request(1, p);
         std::string bytes;
         for (int i = 0; i < 200; ++i) bytes += one;
         w.NewPeer(4096).Push(bytes, milliseconds(1500));
       }},
      {"SignedInUnknownOperationsUnread",
       "signed-in: the same 200 unknown operations, answers never read",
       [](TProbeWorld& w) {
         TQorPack p;
         p.SetFunNo(std::string(1000000, 'F'));
         std::string one = Request(1, p, w.token);
         std::string bytes;
         for (int i = 0; i < 200; ++i) bytes += one;
         w.NewPeer(4096).Push(bytes, milliseconds(1500));
       }},
      {"SignedInDownloadsUnread",
       "signed-in: 2000 pipelined downloads of a 256 KiB segment, 4 KB receive window",
       [](TProbeWorld& w) {
         TQorPack p = DownloadRequest(w.stored, w.stored.Size(), w.stored.date, 1);
         std::string one = Request(1, p, w.token);
         std::string bytes;
         for (int i = 0; i < 2000; ++i) bytes += one;
         w.NewPeer(4096).Push(bytes, milliseconds(1500));
       }},
      {"FourAnonymousSendersOfPaddedFrames",
       "4 anonymous connections sending two 16 MB padded frames each",
       [](TProbeWorld& w) {
         std::vector<std::thread> senders;
         for (int i = 0; i < 4; ++i) {
           TRawPeer& peer = w.NewPeer();
           senders.emplace_back([&peer, i] {
             std::string a = PaddedFrame("TSystem.GetProfile", 16000000, i % 2 == 0);
             std::string bytes = Header(1, a.size(), 0) + a;
             peer.Push(bytes + bytes, milliseconds(1500));
           });
         }
         for (auto& t : senders) t.join();
       }},
  };
  return probes;
}

// Sign-in, check, upload and download of a small file; the time it took.
milliseconds ServeWellBehavedClient(int port) {
  const auto start = Clock::now();
  TTestClient good;
  EXPECT_TRUE(good.Connect(port));
  EXPECT_TRUE(good.Login("good", "pw"));
  TFileSpec f{"good", 100, "C:/docs", "note.txt", Bytes(5000, 7)};
  Backup(good, f);
  EXPECT_EQ(Restore(good, f), f.content);
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

class ServerResourceBounds : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ServerResourceBounds, HostileClientNeitherInflatesMemoryNorStarvesOthers) {
  const TProbe& probe = Probes()[GetParam()];
  TServerProcess server;
  ASSERT_TRUE(server.Start());
  server.AddUser("prober", "pw");
  server.AddUser("good", "pw");
  TTestClient prober;
  ASSERT_TRUE(prober.Connect(server.Port()));
  ASSERT_TRUE(prober.Login("prober", "pw"));
  TProbeWorld world{
      server, prober.Token(), {"prober", 100, "C:/big", "seg.bin", Bytes(262144, 3)}, {}};
  Backup(prober, world.stored);

  probe.run(world);
  // Give the server time to take in what it will of the probe.
  std::this_thread::sleep_for(milliseconds(500));
  const milliseconds served = ServeWellBehavedClient(server.Port());
  // The peak is read once the server had time to take in and answer the rest.
  std::this_thread::sleep_for(milliseconds(1500));
  const std::int64_t peak = ProcStatusBytes(server.Pid(), "VmHWM");
  std::cout << "[ probe ] " << probe.name << ": peak RSS " << peak / kMiB
            << " MiB, well-behaved client " << served.count() << " ms" << std::endl;
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, kMemoryBound);
  EXPECT_LT(served, kServedWithin);
}

INSTANTIATE_TEST_SUITE_P(Probes, ServerResourceBounds,
                         ::testing::Range<std::size_t>(0, Probes().size()),
                         [](const auto& probe) { return std::string(Probes()[probe.param].id); });

// Reading stops while replies wait for a peer that never takes them; with no
// byte moving either way the connection counts as idle and is closed.
TEST(ServerBacklog, APeerThatNeverTakesItsRepliesIsClosedAfterTheIdleTimeOut) {
  TServerProcess server;
  server.SetExtraArgs({"--idle-timeout", "2"});
  ASSERT_TRUE(server.Start());
  server.AddUser("prober", "pw");
  TTestClient prober;
  ASSERT_TRUE(prober.Connect(server.Port()));
  ASSERT_TRUE(prober.Login("prober", "pw"));
  TFileSpec f{"prober", 100, "C:/big", "seg.bin", Bytes(262144, 3)};
  Backup(prober, f);

  // Requests padded (an unknown field) so they outgrow the socket buffers.
  TQorPack p = DownloadRequest(f, f.Size(), f.date, 1);
  p.AddString(1, "Padding", std::string(32768, 'p'));
  std::string one = Request(1, p, prober.Token());
  std::string bytes;
  for (int i = 0; i < 400; ++i) bytes += one;
  TRawPeer peer;
  ASSERT_TRUE(peer.Connect(server.Port(), 4096));
  const std::size_t taken = peer.Push(bytes, milliseconds(1000));
  EXPECT_LT(taken, bytes.size()) << "reading pauses while the replies wait";
  // The idle time-out counts from the last byte that moved.
  EXPECT_TRUE(peer.ClosedWithin(milliseconds(8000)));
}

}  // namespace
}  // namespace solvane::testing
