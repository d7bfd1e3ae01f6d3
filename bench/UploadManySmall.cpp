// Many small files uploaded at once to a running solvane-server: N connections,
// each checks (TUpDown.Check) and uploads (TUpDown.UpLoad, one segment) its
// share of the files, all at the same time, as many desktops backing up at
// once would. Reports the files the server stored per second, then downloads
// a sample and compares it byte for byte.
//
//   bench_upload_small --port N --user U --password P [--connections 8]
//                      [--files 2000] [--size 4096] [--folder C:/bench-small]
//
// Exit status 0 only when every upload was acknowledged and the sample agrees.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "api/UpDownApi.h"
#include "wire/QorWithProtocol.h"

using namespace solvane;
using bench::XorShiftBytes;

namespace {

const std::int64_t kDate = 946164070;

struct TOptions {
  bench::TSignIn server;
  int connections = 8;
  int files = 2000;
  std::int64_t size = 4096;
  std::string folder = "C:/bench-small";
};

// File index of the generated set as the server stores it.
api::TUpObject UpObject(const TOptions& o, int index) {
  api::TUpObject object;
  object.UCode = o.server.user;
  object.TaskID = static_cast<std::int32_t>(kDate);
  object.TaskKind = 100;
  object.ObjectName = "f" + std::to_string(index) + ".bin";
  object.ObjectFolder = o.folder + "/d" + std::to_string(index % 50);
  object.ObjectSize = o.size;
  object.ObjectDate = kDate;
  return object;
}

// One connection of its own, signed in with the shared token.
std::unique_ptr<TQorTCPClientPool> Connect(const TOptions& o, const std::string& token) {
  auto pool = bench::ConnectTo(o.server.port, "Trans0");
  if (pool) pool->SetToken(token);
  return pool;
}

// File index's bytes: every file differs.
std::string Content(int index, std::int64_t size) { return XorShiftBytes(index, size); }

bool UploadOne(TQorTCPClientPool& pool, const TOptions& o, int index) {
  const api::TUpObject object = UpObject(o, index);
  const auto check = api::UpDownCheck(pool, object, index + 1);
  if (!check) return false;
  if (check.value.Action != 1) return true;  // stored by an earlier run
  api::TUpSegment segment;
  segment.SessionID = static_cast<std::int32_t>(kDate + 1);
  segment.SegmentCount = 1;
  segment.SegmentOrder = 1;
  segment.Offset = 0;
  return api::UpDownUpLoad(pool, object, segment, Content(index, o.size)).Ok();
}

bool Matches(TQorTCPClientPool& pool, const TOptions& o, int index) {
  std::string data;
  return api::UpDownDownLoad(pool, bench::StoredObject(UpObject(o, index), 1), 1, data).Ok() &&
         data == Content(index, o.size);
}

bool ParseArgs(int argc, char** argv, TOptions& o) {
  std::vector<bench::TOption> options = o.server.Options();
  options.push_back({"--connections", &o.connections});
  options.push_back({"--files", &o.files});
  options.push_back({"--size", &o.size});
  options.push_back({"--folder", &o.folder});
  return bench::ParseOptions(argc, argv, options) && o.server.Complete() && o.connections > 0 &&
         o.files > 0 && o.size > 0 && o.size <= kSegmentSize;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseArgs(argc, argv, o)) {
    std::cerr << "usage: bench_upload_small --port N --user U --password P [--connections 8] "
                 "[--files 2000] [--size 4096 (at most one segment)] [--folder C:/bench-small]\n";
    return 2;
  }
  auto signIn = bench::ConnectTo(o.server.port, "Public0");
  if (!signIn) {
    std::cerr << "cannot sign in on port " << o.server.port << ": no connection\n";
    return 1;
  }
  const auto login = bench::SignIn(*signIn, o.server);
  if (!login) {
    std::cerr << "cannot sign in on port " << o.server.port << ": " << login.status.Describe()
              << "\n";
    return 1;
  }
  const std::string& token = login.value.Token;

  std::vector<std::unique_ptr<TQorTCPClientPool>> pools;
  for (int c = 0; c < o.connections; ++c) {
    pools.push_back(Connect(o, token));
    if (!pools.back()) {
      std::cerr << "cannot open connection " << c << "\n";
      return 1;
    }
  }
  std::atomic<int> next{0}, failed{0};
  const auto t0 = std::chrono::steady_clock::now();
  {
    std::vector<std::jthread> threads;
    for (auto& pool : pools)
      threads.emplace_back([&, p = pool.get()] {
        for (int i; (i = next.fetch_add(1)) < o.files;)
          if (!UploadOne(*p, o, i)) failed.fetch_add(1);
      });
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  int wrong = 0;
  for (int i = 0; i < o.files; i += std::max(1, o.files / 100))
    if (!Matches(*pools.front(), o, i)) ++wrong;

  std::cout << o.files << " files of " << o.size << " bytes over " << o.connections
            << " connections: " << seconds << " s, " << (o.files / seconds) << " files/s; "
            << failed.load() << " failed, " << wrong << " of the sample differ\n";
  return failed.load() == 0 && wrong == 0 ? 0 : 1;
}
