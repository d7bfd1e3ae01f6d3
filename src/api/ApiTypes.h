#pragma once
// Values several typed calls share.

#include <string>

namespace solvane::api {

// Who sends a call that changes data: "UAdmin", "UIPAddr", "UMAC" in front
// of the request, which the server may log.
struct TClientAddress {
  std::string UAdmin;
  std::string UIPAddr;
  std::string UMAC;
};

// A filter pattern as stored on the server ("/" in place of "\"). Replies
// leave out the "-1"/"-1" record that stands for no patterns.
struct TFilterPattern {
  std::string FilterStr;
  bool IsInclude = false;
};

}  // namespace solvane::api
