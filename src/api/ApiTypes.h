#pragma once
// Values several typed calls share.

#include <string>

#include "api/Caller.h"

namespace solvane::api {

// A filter pattern as stored on the server ("/" in place of "\"). Replies
// leave out the "-1"/"-1" record that stands for no patterns.
struct TFilterPattern {
  std::string FilterStr;
  bool IsInclude = false;
};

}  // namespace solvane::api
