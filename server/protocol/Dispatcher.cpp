#include "protocol/Dispatcher.h"

#include <exception>

#include "storage/Database.h"

namespace solvane::server {

void TDispatcher::Register(const std::string& funNo, THandler handler, bool needsSession) {
  m_ops[funNo] = TOperation{std::move(handler), needsSession};
}

void TDispatcher::Handle(TRequestContext& ctx, const std::string& token) const {
  TQorPack& reply = ctx.Reply();
  const std::string funNo = ctx.Request().FunNo();
  reply.SetFunNo(funNo);
  auto it = m_ops.find(funNo);
  if (it == m_ops.end()) {
    ctx.Fail(kErrUnknownOperation, "unknown operation: " + funNo);
    return;
  }
  try {
    auto session = token.empty() ? TStoreResult<std::optional<TSession>>(std::nullopt)
                                 : ctx.Services().sessions.Lookup(token);
    if (!session.Ok()) {
      ctx.FailStorage(session.Error());
    } else {
      ctx.SetSession(std::move(*session));
      if (it->second.needsSession && !ctx.Session())
        ctx.Fail(kErrNotSignedIn, "not signed in");
      else
        RunHandler(it->second.handler, ctx);
    }
  } catch (const std::exception& e) {
    ctx.Fail(kErrStorage, std::string("internal error: ") + e.what());
  }
  if (!ctx.Failed()) {
    reply.SetResult(static_cast<std::int32_t>(kErrNoOk), "");
    return;
  }
  // A failure carries no records and no data, whatever the handler added.
  const std::int32_t code = reply.ErrNo();
  const std::string message = reply.ErrMsg();
  reply.Reset();
  reply.SetFunNo(funNo);
  reply.SetResult(code, message);
  ctx.ExtraOut().clear();
}

void TDispatcher::RunHandler(const THandler& handler, TRequestContext& ctx) {
  try {
    handler(ctx);
  } catch (const DatabaseError& e) {
    ctx.Fail(kErrStorage, std::string("storage error: ") + e.what());
  } catch (const std::exception& e) {
    ctx.Fail(kErrStorage, std::string("internal error: ") + e.what());
  }
}

}  // namespace solvane::server
