#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace solvane::server {

struct TServerConfig {
  std::filesystem::path dataDir;
  std::string host = "0.0.0.0";
  std::uint16_t port = 8090;
  std::chrono::seconds idleTimeout{600};
  int workerThreads = 4;
  std::size_t maxHeaderLine = 1024;
  std::size_t maxFrame = 16u << 20;
  std::size_t maxExtra = 4u << 20;
  // Requests of one connection handled at the same time; reading pauses
  // beyond this, so a fast client cannot pile up memory.
  int maxInFlightPerConnection = 8;
};

}  // namespace solvane::server
