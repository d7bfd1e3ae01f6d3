#include "tasks/TaskServerCall.h"

#include "tasks/EngineContext.h"
#include "api/ApiCall.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

bool CallServer(IEngineContext& ctx, TQorPack& pack) {
  return api::TApiLink(ctx.Pool()).Call(pack).Ok();
}

bool HasConnectedConnection(IEngineContext& ctx) {
  return api::HasConnectedConnection(ctx.Pool());
}

}  // namespace solvane
