#include "handlers/TaskRequest.h"

#include <string>

#include "storage/RunStore.h"

namespace solvane::server {

bool HasField(TRequestContext& ctx, std::string_view name) {
  return ctx.Request().Fields().IndexOf(name) >= 0;
}

bool ReadTaskId(TRequestContext& ctx, std::int64_t& out, int n, std::string_view name) {
  std::int64_t raw = 0;
  if (!ctx.RequireInt(name, raw, n)) return false;
  auto id = NormaliseTaskId(raw);
  if (!id) return ctx.Fail(kErrBadRequest, std::string(name) + " is not a 32-bit task ID");
  out = *id;
  return true;
}

bool ReadSessionId(TRequestContext& ctx, std::string_view name, std::int64_t& out, int n) {
  std::int64_t raw = 0;
  if (!ctx.RequireInt(name, raw, n)) return false;
  auto id = NormaliseSessionId(raw);
  if (!id) return ctx.Fail(kErrBadRequest, std::string(name) + " is not a packed date-time");
  out = *id;
  return true;
}

bool ReadSessionBound(TRequestContext& ctx, std::string_view name, std::int64_t& out) {
  std::int64_t raw = 0;
  if (!ctx.RequireInt(name, raw)) return false;
  if (raw == 0) {
    out = 0;
    return true;
  }
  return ReadSessionId(ctx, name, out, 1);
}

bool ReadIntInRange(TRequestContext& ctx, std::string_view name, std::int64_t min, std::int64_t max,
                    std::int64_t& out, int n) {
  if (!ctx.RequireInt(name, out, n)) return false;
  if (out < min || out > max)
    return ctx.Fail(kErrBadRequest, std::string(name) + " is out of range");
  return true;
}

bool ReadSetCallTask(TRequestContext& ctx, const std::string& user, std::int64_t& taskId) {
  const int count = ctx.RecordSets();
  if (count < 1) return ctx.Fail(kErrBadRequest, "the request holds no record");
  if (!ReadTaskId(ctx, taskId)) return false;
  for (int n = 2; n <= count; ++n) {
    std::int64_t other = 0;
    if (!ReadTaskId(ctx, other, n)) return false;
    if (other != taskId) return ctx.Fail(kErrBadRequest, "the records name different tasks");
    for (const char* field : {"UCode", "UAdmin"}) {
      const std::string named = ctx.Str(field, n);
      if (!named.empty() && named != user)
        return ctx.Fail(kErrForbidden, "a record names another user");
    }
  }
  return true;
}

}  // namespace solvane::server
