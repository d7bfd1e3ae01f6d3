#pragma once
// How the task model talks to the server: lease a connection from the pool,
// go on only when it is connected, and count a call as successful only when
// it returned and the reply's ErrNo is 1.

#include <string>

#include "api/ApiCall.h"
#include "wire/QorWithPack.h"

namespace solvane {

class IEngineContext;

// Sends pack on a free, connected pool connection. False when there is none,
// when the call fails, or when ErrNo is not 1. On return pack holds the reply
// (or what the call left in it).
bool CallServer(IEngineContext& ctx, TQorPack& pack);

// True when the pool can hand out a connected connection right now.
bool HasConnectedConnection(IEngineContext& ctx);

using api::LineBreaksFromWire;
using api::LineBreaksToWire;

}  // namespace solvane
