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

#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"

using namespace solvane;

namespace {

const std::int64_t kDate = 946164070;

struct TOptions {
  int port = 0;
  std::string user, password;
  int connections = 8;
  int files = 2000;
  std::int64_t size = 4096;
  std::string folder = "C:/bench-small";
};

// File i's bytes: a xorshift stream seeded by i, so that every file differs.
std::string Content(int index, std::int64_t size) {
  std::string s(static_cast<std::size_t>(size), '\0');
  std::uint64_t x = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(index + 1);
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

void AddFileFields(TQorPack& p, const TOptions& o, int index) {
  p.AddString(1, "UCode", o.user);
  p.AddString(1, "TaskID", std::to_string(kDate));
  p.AddString(1, "SessionID", std::to_string(kDate + 1));
  p.AddString(1, "TaskKind", "100");
  p.AddString(1, "ObjectName", "f" + std::to_string(index) + ".bin");
  p.AddString(1, "ObjectFolder", o.folder + "/d" + std::to_string(index % 50));
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

// One connection of its own, signed in with the shared token.
std::unique_ptr<TQorTCPClientPool> Connect(const TOptions& o, const std::string& token) {
  auto pool = std::make_unique<TQorTCPClientPool>();
  TQorTCPClient& channel = pool->AddConnection(100, "Trans0");
  pool->SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(o.port) + "\r\nTimeOut=120");
  if (!pool->Connect(channel)) return nullptr;
  pool->SetToken(token);
  return pool;
}

bool UploadOne(TQorTCPClientPool& pool, const TOptions& o, int index) {
  std::string none;
  TQorPack check;
  check.SetFunNo("TUpDown.Check");
  AddFileFields(check, o, index);
  if (!Call(pool, check, none)) return false;
  if (check.FieldByName(1, "Action").AsInteger() != 1) return true;  // stored by an earlier run
  std::string data = Content(index, o.size);
  TQorPack up;
  up.SetFunNo("TUpDown.UpLoad");
  AddFileFields(up, o, index);
  up.AddString(1, "SegmentCount", "1");
  up.AddString(1, "SegmentOrder", "1");
  up.AddString(1, "Source_Offset", "0");
  up.AddString(1, "Source_Size", std::to_string(data.size()));
  return Call(pool, up, data);
}

bool Matches(TQorTCPClientPool& pool, const TOptions& o, int index) {
  TQorPack down;
  down.SetFunNo("TUpDown.DownLoad");
  AddFileFields(down, o, index);
  down.AddString(1, "SegmentCount", "1");
  down.AddString(1, "SegmentOrder", "1");
  std::string data;
  return Call(pool, down, data) && data == Content(index, o.size);
}

bool ParseArgs(int argc, char** argv, TOptions& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    if (a == "--port")
      o.port = std::stoi(v);
    else if (a == "--user")
      o.user = v;
    else if (a == "--password")
      o.password = v;
    else if (a == "--connections")
      o.connections = std::stoi(v);
    else if (a == "--files")
      o.files = std::stoi(v);
    else if (a == "--size")
      o.size = std::stoll(v);
    else if (a == "--folder")
      o.folder = v;
    else
      return false;
  }
  return o.port > 0 && !o.user.empty() && o.connections > 0 && o.files > 0 && o.size > 0 &&
         o.size <= kSegmentSize;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseArgs(argc, argv, o)) {
    std::cerr << "usage: bench_upload_small --port N --user U --password P [--connections 8] "
                 "[--files 2000] [--size 4096 (at most one segment)] [--folder C:/bench-small]\n";
    return 2;
  }
  TQorTCPClientPool signIn;
  TQorTCPClient& channel = signIn.AddConnection(100, "Public0");
  signIn.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(o.port) + "\r\nTimeOut=120");
  std::string none;
  TQorPack login;
  login.SetFunNo("TUser.Login");
  login.AddString(1, "UCode", o.user);
  login.AddString(1, "UPwd", o.password);
  if (!signIn.Connect(channel) || !Call(signIn, login, none)) {
    std::cerr << "cannot sign in on port " << o.port << "\n";
    return 1;
  }
  const std::string token = login.FieldByName(1, "Token").AsString();

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
