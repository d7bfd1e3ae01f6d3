#include "tasks/TaskServerCall.h"

#include "engine/EngineContext.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

bool CallServer(IEngineContext& ctx, TQorPack& pack) {
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;
  return lease->Call(pack) && pack.ErrNo() == 1;
}

bool HasConnectedConnection(IEngineContext& ctx) {
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  return lease.Ready();
}

std::string LineBreaksToWire(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += '\x02';
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string LineBreaksFromWire(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\x02')
      out += "\r\n";
    else
      out += c;
  }
  return out;
}

}  // namespace solvane
