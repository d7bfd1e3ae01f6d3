#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "net/ConnectionKind.h"

namespace solvane::server {

struct TServerConfig {
  std::filesystem::path dataDir;
  std::string host = "0.0.0.0";
  std::uint16_t port = 8090;
  // A connection that neither sends nor takes bytes for this long, with no
  // request of it at work, is closed.
  std::chrono::seconds idleTimeout{600};
  // A worker completing an upload waits while its batch reaches the disk
  // (storage/CommitQueue): more workers let more uploads share one batch.
  int workerThreads = 64;
  std::size_t maxHeaderLine = 1024;
  std::size_t maxFrame = 16u << 20;
  std::size_t maxExtra = 4u << 20;
  // Frame plus extra data of a request without a valid session token: the
  // profile call and TUser.Login need far less.
  std::size_t maxRequestBeforeSignIn = 64u << 10;
  // Requests of one connection read but not yet answered; reading pauses
  // beyond this, so a fast client cannot pile up memory.
  int maxInFlightPerConnection = 16;
  // Requests of one connection handled by workers at the same time, so one
  // connection's costly requests leave the other workers to the others. More
  // than one lets a client's pipelined uploads of small files share a commit
  // batch; replies carry the request's Id, so their order does not matter,
  // and a client pipelines only requests that do not depend on each other.
  int maxRunningPerConnection = 16;
  // Bytes one connection may hold before its next request is read: requests
  // read but not answered plus replies its peer has not taken yet. A peer
  // that does not read its replies is not read from until they drain.
  std::size_t maxBacklogBytes = 8u << 20;
  // Encrypted connections on the same port as plain ones; with `Required`,
  // plain connections are answered with a refusal unless they come from
  // this machine. Without named files, the data directory's own key and
  // self-signed certificate are used.
  TTlsMode tlsMode = TTlsMode::Optional;
  std::filesystem::path tlsCertificate;
  std::filesystem::path tlsKey;
};

}  // namespace solvane::server
