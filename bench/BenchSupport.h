#pragma once
// What the wire benchmarks share: their "--name value" options, the
// deterministic bytes they send, and connecting and signing in to a running
// solvane-server on 127.0.0.1 through the client's typed calls.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "api/UpDownApi.h"
#include "api/UserApi.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane::bench {

// One "--name value" option and where its value goes.
struct TOption {
  std::string_view name;
  std::variant<int*, std::int64_t*, std::string*> target;
};

// Reads argv's "--name value" pairs into the options' targets. False on a
// name not among them, a name without a value, or a number that does not
// read as a whole one.
bool ParseOptions(int argc, char** argv, const std::vector<TOption>& options);

// Who signs in where: --port, --user and --password.
struct TSignIn {
  int port = 0;
  std::string user, password;

  std::vector<TOption> Options() {
    return {{"--port", &port}, {"--user", &user}, {"--password", &password}};
  }
  bool Complete() const { return port > 0 && !user.empty(); }
};

// A pool of one connection (kind 100, named name) to 127.0.0.1:port, with a
// time-out of 120 s per call; null when it cannot connect.
std::unique_ptr<TQorTCPClientPool> ConnectTo(int port, const std::string& name);

// "TUser.Login" on the pool; on success every later request of the pool
// carries the session's token.
api::TApiResult<api::TLoginReply> SignIn(TQorTCPClientPool& pool, const TSignIn& who);

// The file an upload named, as a download names it.
api::TDownObject StoredObject(const api::TUpObject& uploaded, std::int64_t segmentCount);

// length bytes of xorshift stream number index: the same on every run,
// different for every index, and incompressible.
std::string XorShiftBytes(std::int64_t index, std::int64_t length);

}  // namespace solvane::bench
