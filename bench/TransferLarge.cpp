// Uploads one large generated file to a running solvane-server in 262 144-byte
// segments (TUpDown.Check, TUpDown.UpLoad), downloads it again
// (TUpDown.DownLoad), compares the SHA-256 of what was sent and received, and
// reports the server's peak resident memory (VmHWM of /proc/PID/status).
//
//   bench_transfer_large --port N --pid PID --user U --password P [--size BYTES]
//
// Exit status 0 only when both hashes agree and the peak stays below 64 MiB.

#include <openssl/evp.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"

using namespace solvane;

namespace {

constexpr std::int64_t kSeg = kSegmentSize;
constexpr std::int64_t kMemoryLimitKiB = 64 * 1024;
const char* kFolder = "C:\\bench";
const char* kName = "large.bin";
const std::int64_t kDate = 946164070;

struct TOptions {
  int port = 0;
  long pid = 0;
  std::string user, password;
  std::int64_t size = std::int64_t{1} << 30;
};

class TSha256 {
 public:
  TSha256() : m_ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr);
  }
  void Add(const std::string& d) { EVP_DigestUpdate(m_ctx.get(), d.data(), d.size()); }
  std::string Hex() {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned n = 0;
    EVP_DigestFinal_ex(m_ctx.get(), d, &n);
    std::string s;
    char buf[3];
    for (unsigned i = 0; i < n; ++i) {
      std::snprintf(buf, sizeof buf, "%02x", d[i]);
      s += buf;
    }
    return s;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_ctx;
};

// Segment i of the generated file: a xorshift stream seeded by i.
std::string MakeSegment(std::int64_t index, std::int64_t length) {
  std::string s(static_cast<std::size_t>(length), '\0');
  std::uint64_t x = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(index + 1);
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

long PeakRssKiB(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void AddFileFields(TQorPack& p, const TOptions& o) {
  p.AddString(1, "UCode", o.user);
  p.AddString(1, "TaskID", std::to_string(kDate));
  p.AddString(1, "SessionID", std::to_string(kDate + 1));
  p.AddString(1, "TaskKind", "100");
  p.AddString(1, "ObjectName", kName);
  p.AddString(1, "ObjectFolder", kFolder);
  p.AddString(1, "ObjectData", "-1");
  p.AddString(1, "ObjectCargo", "");
  p.AddString(1, "ObjectCargo2", "");
  p.AddString(1, "ObjectSize", std::to_string(o.size));
  p.AddString(1, "ObjectDate", std::to_string(kDate));
}

bool Call(TQorTCPClientPool& pool, TQorPack& p, std::string& extra) {
  auto lease = pool.AcquireFree(-1);
  return lease && lease->CallDownload(p, extra) && p.ErrNo() == kErrNoOk;
}

bool ParseArgs(int argc, char** argv, TOptions& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    if (a == "--port")
      o.port = std::stoi(v);
    else if (a == "--pid")
      o.pid = std::stol(v);
    else if (a == "--user")
      o.user = v;
    else if (a == "--password")
      o.password = v;
    else if (a == "--size")
      o.size = std::stoll(v);
    else
      return false;
  }
  return o.port > 0 && o.pid > 0 && !o.user.empty() && o.size > 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseArgs(argc, argv, o)) {
    std::cerr << "usage: bench_transfer_large --port N --pid PID --user U --password P "
                 "[--size BYTES]\n";
    return 2;
  }
  TQorTCPClientPool pool;
  TQorTCPClient& channel = pool.AddConnection(100, "Trans0");
  pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(o.port) + "\r\nTimeOut=120");
  if (!pool.Connect(channel)) {
    std::cerr << "cannot connect to port " << o.port << "\n";
    return 1;
  }
  std::string none;
  TQorPack login;
  login.SetFunNo("TUser.Login");
  login.AddString(1, "UCode", o.user);
  login.AddString(1, "UPwd", o.password);
  if (!Call(pool, login, none)) {
    std::cerr << "sign-in refused\n";
    return 1;
  }
  pool.SetToken(login.FieldByName(1, "Token").AsString());

  TQorPack check;
  check.SetFunNo("TUpDown.Check");
  AddFileFields(check, o);
  if (!Call(pool, check, none) || check.FieldByName(1, "Action").AsInteger() != 1) {
    std::cerr << "check refused or file already stored\n";
    return 1;
  }
  std::int64_t position = check.FieldByName(1, "refPosition").AsInteger();
  const std::int64_t count = (o.size + kSeg - 1) / kSeg;

  TSha256 sent;
  for (std::int64_t i = 0; i * kSeg < position; ++i) sent.Add(MakeSegment(i, kSeg));
  auto t0 = std::chrono::steady_clock::now();
  double lastCall = 0;
  for (std::int64_t pos = position; pos < o.size; pos += kSeg) {
    std::string data = MakeSegment(pos / kSeg, std::min(kSeg, o.size - pos));
    sent.Add(data);
    TQorPack up;
    up.SetFunNo("TUpDown.UpLoad");
    AddFileFields(up, o);
    up.AddString(1, "SegmentCount", std::to_string(count));
    up.AddString(1, "SegmentOrder", std::to_string(pos / kSeg + 1));
    up.AddString(1, "Source_Offset", std::to_string(pos));
    up.AddString(1, "Source_Size", std::to_string(data.size()));
    auto c0 = std::chrono::steady_clock::now();
    if (!Call(pool, up, data)) {
      std::cerr << "upload refused at offset " << pos << ": " << up.ErrMsg() << "\n";
      return 1;
    }
    lastCall = Seconds(c0);
  }
  const double upSeconds = Seconds(t0);

  TSha256 received;
  std::int64_t got = 0;
  t0 = std::chrono::steady_clock::now();
  for (std::int64_t order = 1;; ++order) {
    TQorPack down;
    down.SetFunNo("TUpDown.DownLoad");
    AddFileFields(down, o);
    down.AddString(1, "SegmentCount", std::to_string(count));
    down.AddString(1, "SegmentOrder", std::to_string(order));
    std::string data;
    if (!Call(pool, down, data)) {
      std::cerr << "download refused at segment " << order << "\n";
      return 1;
    }
    if (data.empty()) break;
    received.Add(data);
    got += static_cast<std::int64_t>(data.size());
  }
  const double downSeconds = Seconds(t0);
  const std::string sentHex = sent.Hex(), receivedHex = received.Hex();
  const long peak = PeakRssKiB(o.pid);
  const double mib = static_cast<double>(o.size) / (1 << 20);

  std::cout << "bytes            " << o.size << " (resumed at " << position << ")\n"
            << "upload           " << upSeconds << " s, " << mib / upSeconds << " MiB/s"
            << " (last segment, which stores the version: " << lastCall << " s)\n"
            << "download         " << downSeconds << " s, " << mib / downSeconds << " MiB/s\n"
            << "sha256 sent      " << sentHex << "\n"
            << "sha256 received  " << receivedHex << " (" << got << " bytes)\n"
            << "server VmHWM     " << peak << " KiB (limit " << kMemoryLimitKiB << " KiB)\n";
  const bool ok = sentHex == receivedHex && got == o.size && peak > 0 && peak < kMemoryLimitKiB;
  std::cout << (ok ? "PASS" : "FAIL") << "\n";
  return ok ? 0 : 1;
}
