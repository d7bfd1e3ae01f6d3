#include "net/ConnectionBacklog.h"

namespace solvane::server {

std::size_t TConnectionBacklog::RequestLimit(bool signedIn) const {
  return signedIn ? m_config.maxFrame + m_config.maxExtra : m_config.maxRequestBeforeSignIn;
}

bool TConnectionBacklog::MayRead() const {
  return m_inFlight < m_config.maxInFlightPerConnection && HeldBytes() < m_config.maxBacklogBytes;
}

bool TConnectionBacklog::MayRun() const { return m_running < m_config.maxRunningPerConnection; }

void TConnectionBacklog::RequestRead(std::size_t bytes) {
  ++m_inFlight;
  m_requestBytes += bytes;
}

void TConnectionBacklog::RequestStarted() { ++m_running; }

void TConnectionBacklog::RequestAnswered(std::size_t requestBytes, std::size_t replyBytes) {
  --m_inFlight;
  --m_running;
  m_requestBytes -= requestBytes;
  m_replyBytes += replyBytes;
}

void TConnectionBacklog::ReplySent(std::size_t replyBytes) { m_replyBytes -= replyBytes; }

}  // namespace solvane::server
