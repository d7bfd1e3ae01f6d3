#pragma once
// What one connection holds on its peer's behalf, and so when the server may
// read its next request or start another of its requests: requests read but
// not yet answered and replies not yet taken by the peer are bounded in
// number and bytes; a request is held to the small limit until its session
// token is known to be valid.

#include <cstddef>

#include "net/ServerConfig.h"

namespace solvane::server {

class TConnectionBacklog {
 public:
  explicit TConnectionBacklog(const TServerConfig& config) : m_config(config) {}

  // Largest frame plus extra data the next request may carry.
  std::size_t RequestLimit(bool signedIn) const;
  // Whether another request may be read now.
  bool MayRead() const;
  // Whether one more of the connection's requests may go to a worker.
  bool MayRun() const;

  void RequestRead(std::size_t bytes);
  void RequestStarted();
  // The request (of requestBytes) is answered by a reply of replyBytes.
  void RequestAnswered(std::size_t requestBytes, std::size_t replyBytes);
  void ReplySent(std::size_t replyBytes);

  int InFlight() const { return m_inFlight; }
  int Running() const { return m_running; }
  std::size_t HeldBytes() const { return m_requestBytes + m_replyBytes; }
  std::size_t UnsentReplyBytes() const { return m_replyBytes; }

 private:
  const TServerConfig& m_config;
  int m_inFlight = 0;  // read, not yet answered (waiting or running)
  int m_running = 0;   // on a worker
  std::size_t m_requestBytes = 0;
  std::size_t m_replyBytes = 0;
};

}  // namespace solvane::server
