#pragma once
// Typed calls of the class word TPolicy: the upload policy assigned to a
// user.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/ApiTypes.h"

namespace solvane::api {

struct TPolicyRecord {
  std::int32_t PolicyID = -1;
  std::int32_t MaxFileSize = -1;  // MiB; -1 no limit
};

// The user's policy; nullopt when not exactly one came back (he has none).
TApiResult<std::optional<TPolicyRecord>> PolicySelectByUser(const TApiLink& link,
                                                            const std::string& userCode);
TApiResult<std::vector<TFilterPattern>> PolicyGetFileObjectFilter(const TApiLink& link,
                                                                  std::int32_t policyId);

}  // namespace solvane::api
