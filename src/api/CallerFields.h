#pragma once
// Frame helpers shared by the api sources (not for callers above src/api).

#include "api/Caller.h"
#include "wire/QorWithPack.h"

namespace solvane::api {

// "UAdmin", "UIPAddr", "UMAC" into record set 1, in that order.
inline void AddCallerFields(TQorPack& p, const TCaller& caller) {
  p.AddString(1, "UAdmin", caller.UserCode);
  p.AddString(1, "UIPAddr", caller.IPAddr);
  p.AddString(1, "UMAC", caller.MacAddr);
}

// A request frame for operation with nothing in it yet.
inline TQorPack Request(const char* operation) {
  TQorPack p;
  p.SetFunNo(operation);
  return p;
}

}  // namespace solvane::api
