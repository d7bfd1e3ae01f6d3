#pragma once
// The system profile, asked before sign-in (no token needed).

#include <cstdint>
#include <string>

#include "api/ApiCall.h"

namespace solvane::api {

struct TSystemProfile {
  std::string EnterprizeName;
  std::string AppName;
  std::string KRN_MajorVersion;
  std::string KRN_MinorVersion;
  std::int64_t KRN_SecurityMode = 0;      // 0 standard, 1 secure
  std::int64_t KRN_DefaultUserSpace = 1;  // MB; values below 1 read as 1
};

// Exactly one record is an answer; anything else is a BadReply.
TApiResult<TSystemProfile> SystemGetProfile(const TApiLink& link);

}  // namespace solvane::api
