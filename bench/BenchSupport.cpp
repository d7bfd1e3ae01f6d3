#include "BenchSupport.h"

#include <charconv>
#include <chrono>

namespace solvane::bench {

namespace {

template <class T>
bool ReadNumber(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc{} && at == end;
}

bool Assign(const TOption& option, std::string_view value) {
  if (auto* text = std::get_if<std::string*>(&option.target)) {
    **text = value;
    return true;
  }
  if (auto* number = std::get_if<int*>(&option.target)) return ReadNumber(value, **number);
  return ReadNumber(value, *std::get<std::int64_t*>(option.target));
}

}  // namespace

bool ParseOptions(int argc, char** argv, const std::vector<TOption>& options) {
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const std::string_view name = argv[i];
    bool known = false;
    for (const TOption& option : options) {
      if (option.name != name) continue;
      if (!Assign(option, argv[i + 1])) return false;
      known = true;
      break;
    }
    if (!known) return false;
  }
  return true;
}

std::unique_ptr<TQorTCPClientPool> ConnectTo(int port, const std::string& name) {
  auto pool = std::make_unique<TQorTCPClientPool>();
  TQorTCPClient& channel = pool->AddConnection(100, name);
  pool->SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\nTimeOut=120");
  if (!pool->Connect(channel)) return nullptr;
  return pool;
}

api::TApiResult<api::TLoginReply> SignIn(TQorTCPClientPool& pool, const TSignIn& who) {
  api::TLoginRequest request;
  request.UCode = who.user;
  request.UPwd = who.password;
  request.UIPAddr = "127.0.0.1";
  request.LoginTime = std::chrono::system_clock::now();
  auto login = api::UserLogin(pool, request);
  if (login) pool.SetToken(login.value.Token);
  return login;
}

api::TDownObject StoredObject(const api::TUpObject& uploaded, std::int64_t segmentCount) {
  api::TDownObject object;
  object.UCode = uploaded.UCode;
  object.TaskKind = uploaded.TaskKind;
  object.ObjectName = uploaded.ObjectName;
  object.ObjectFolder = uploaded.ObjectFolder;
  object.ObjectData = uploaded.ObjectData;
  object.ObjectCargo = uploaded.ObjectCargo;
  object.ObjectCargo2 = uploaded.ObjectCargo2;
  object.ObjectSize = uploaded.ObjectSize;
  object.ObjectDate = uploaded.ObjectDate;
  object.SegmentCount = segmentCount;
  return object;
}

std::string XorShiftBytes(std::int64_t index, std::int64_t length) {
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

}  // namespace solvane::bench
