#pragma once
// Reading the identifiers and numbers of task, run and log requests. Each
// reader sets a failure reply and returns false when the field is missing or
// malformed.

#include <cstdint>
#include <string_view>

#include "protocol/RequestContext.h"

namespace solvane::server {

// Whether the request carries the field at all (record sets share names).
bool HasField(TRequestContext& ctx, std::string_view name);

// "TaskID" of record set n, as a 32-bit task ID.
bool ReadTaskId(TRequestContext& ctx, std::int64_t& out, int n = 1,
                std::string_view name = "TaskID");
// A session ID (packed DOS date-time), kept unsigned.
bool ReadSessionId(TRequestContext& ctx, std::string_view name, std::int64_t& out, int n = 1);
// A bound of a session range: a packed DOS date-time or 0, kept unsigned.
bool ReadSessionBound(TRequestContext& ctx, std::string_view name, std::int64_t& out);
// A whole number within [min, max].
bool ReadIntInRange(TRequestContext& ctx, std::string_view name, std::int64_t min, std::int64_t max,
                    std::int64_t& out, int n = 1);

}  // namespace solvane::server
