#pragma once
// Reading the identifiers and numbers of task, run and log requests. Each
// reader sets a failure reply and returns false when the field is missing or
// malformed.

#include <cstdint>
#include <string>
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

// The TaskID of a set-call (a list in record sets 1..n): every record names
// the same task, and none names a user other than user.
bool ReadSetCallTask(TRequestContext& ctx, const std::string& user, std::int64_t& taskId);

}  // namespace solvane::server
