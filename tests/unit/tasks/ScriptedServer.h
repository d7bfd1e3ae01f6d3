#pragma once
// A scripted server for the task tests: answers by operation name, records
// the requests, and gives a pool-connected fake engine context.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "FakeEngineContext.h"
#include "ScriptedPeer.h"

namespace solvane::testing {

using TRecord = std::vector<std::pair<std::string, std::string>>;

// A reply with ErrNo errNo and one record set per record.
inline TQorPack ReplyWith(const std::string& funNo, const std::vector<TRecord>& records,
                          int errNo = 1) {
  TQorPack reply;
  reply.SetFunNo(funNo);
  reply.SetResult(errNo, errNo == 1 ? "" : "refused");
  for (std::size_t n = 0; n < records.size(); ++n)
    for (const auto& [name, value] : records[n])
      reply.AddString(static_cast<int>(n + 1), name, value);
  return reply;
}

class TScriptedServer {
 public:
  // The answer to one request (by its packet); unscripted operations are
  // answered with ErrNo 1 and no record.
  using THandler = std::function<TQorPack(TQorPack& request)>;

  TScriptedServer() {
    m_peer.SetScript([this](const testsupport::TPeerRequest& r) {
      TQorPack request = r.Pack();
      THandler handler;
      {
        std::lock_guard g(m_mutex);
        auto it = m_handlers.find(request.FunNo());
        if (it != m_handlers.end()) handler = it->second;
      }
      return testsupport::TPeerAnswer::Reply(handler ? handler(request)
                                                     : ReplyWith(request.FunNo(), {}));
    });
  }

  void On(const std::string& funNo, THandler handler) {
    std::lock_guard g(m_mutex);
    m_handlers[funNo] = std::move(handler);
  }
  // Every request of that operation, in order.
  std::vector<TQorPack> Sent(const std::string& funNo) const {
    std::vector<TQorPack> out;
    for (const auto& r : m_peer.Requests()) {
      TQorPack p = r.Pack();
      if (p.FunNo() == funNo) out.push_back(std::move(p));
    }
    return out;
  }
  std::size_t RequestCount() const { return m_peer.Requests().size(); }
  std::uint16_t Port() const { return m_peer.Port(); }

 private:
  testsupport::TScriptedPeer m_peer;
  mutable std::mutex m_mutex;
  std::map<std::string, THandler> m_handlers;
};

}  // namespace solvane::testing
