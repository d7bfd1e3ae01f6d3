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
#include <vector>

#include "BenchSupport.h"
#include "api/UpDownApi.h"
#include "wire/QorWithProtocol.h"

using namespace solvane;
using bench::XorShiftBytes;

namespace {

constexpr std::int64_t kSeg = kSegmentSize;
constexpr std::int64_t kMemoryLimitKiB = 64 * 1024;
const char* kFolder = "C:\\bench";
const char* kName = "large.bin";
const std::int64_t kDate = 946164070;

struct TOptions {
  bench::TSignIn server;
  std::int64_t pid = 0;
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

long PeakRssKiB(std::int64_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The generated file as the server stores it.
api::TUpObject UpObject(const TOptions& o) {
  api::TUpObject object;
  object.UCode = o.server.user;
  object.TaskID = static_cast<std::int32_t>(kDate);
  object.TaskKind = 100;
  object.ObjectName = kName;
  object.ObjectFolder = kFolder;
  object.ObjectSize = o.size;
  object.ObjectDate = kDate;
  return object;
}

bool ParseArgs(int argc, char** argv, TOptions& o) {
  std::vector<bench::TOption> options = o.server.Options();
  options.push_back({"--pid", &o.pid});
  options.push_back({"--size", &o.size});
  return bench::ParseOptions(argc, argv, options) && o.server.Complete() && o.pid > 0 && o.size > 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseArgs(argc, argv, o)) {
    std::cerr << "usage: bench_transfer_large --port N --pid PID --user U --password P "
                 "[--size BYTES]\n";
    return 2;
  }
  auto pool = bench::ConnectTo(o.server.port, "Trans0");
  if (!pool) {
    std::cerr << "cannot connect to port " << o.server.port << "\n";
    return 1;
  }
  if (const auto login = bench::SignIn(*pool, o.server); !login) {
    std::cerr << "sign-in refused: " << login.status.Describe() << "\n";
    return 1;
  }

  const api::TUpObject object = UpObject(o);
  const auto check = api::UpDownCheck(*pool, object, 1);
  if (!check || check.value.Action != 1) {
    std::cerr << "check refused or file already stored\n";
    return 1;
  }
  const std::int64_t position = check.value.refPosition;
  const std::int64_t count = (o.size + kSeg - 1) / kSeg;

  TSha256 sent;
  for (std::int64_t i = 0; i * kSeg < position; ++i) sent.Add(XorShiftBytes(i, kSeg));
  auto t0 = std::chrono::steady_clock::now();
  double lastCall = 0;
  for (std::int64_t pos = position; pos < o.size; pos += kSeg) {
    const std::string data = XorShiftBytes(pos / kSeg, std::min(kSeg, o.size - pos));
    sent.Add(data);
    api::TUpSegment segment;
    segment.SessionID = static_cast<std::int32_t>(kDate + 1);
    segment.SegmentCount = count;
    segment.SegmentOrder = pos / kSeg + 1;
    segment.Offset = pos;
    auto c0 = std::chrono::steady_clock::now();
    if (const auto up = api::UpDownUpLoad(*pool, object, segment, data); !up) {
      std::cerr << "upload refused at offset " << pos << ": " << up.Describe() << "\n";
      return 1;
    }
    lastCall = Seconds(c0);
  }
  const double upSeconds = Seconds(t0);

  TSha256 received;
  std::int64_t got = 0;
  const api::TDownObject stored = bench::StoredObject(object, count);
  std::string data;
  t0 = std::chrono::steady_clock::now();
  for (std::int64_t order = 1;; ++order) {
    if (!api::UpDownDownLoad(*pool, stored, order, data)) {
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
