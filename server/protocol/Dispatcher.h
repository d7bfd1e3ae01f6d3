#pragma once
// Operation name -> handler. Runs one request: checks the session, calls the
// handler, and turns its outcome (or a storage error) into the reply's
// ErrNo and ErrMsg.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "protocol/RequestContext.h"

namespace solvane::server {

using THandler = std::function<void(TRequestContext&)>;

class TDispatcher {
 public:
  // needsSession: refused without a valid token (all but the profile call
  // and the sign-in).
  void Register(const std::string& funNo, THandler handler, bool needsSession = true);
  bool Has(const std::string& funNo) const { return m_ops.count(funNo) > 0; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& [name, op] : m_ops) names.push_back(name);
    return names;
  }

  // Fills ctx.Reply(); token is the header's Token (may be empty).
  void Handle(TRequestContext& ctx, const std::string& token) const;
  // Calls the handler; a storage or other exception it raises fails ctx.
  static void RunHandler(const THandler& handler, TRequestContext& ctx);

 private:
  struct TOperation {
    THandler handler;
    bool needsSession;
  };
  std::map<std::string, TOperation> m_ops;
};

// Registers every operation of the server (handlers/Operations.cpp).
void RegisterAllOperations(TDispatcher& d);

}  // namespace solvane::server
