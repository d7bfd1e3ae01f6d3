#include "api/PolicyApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

TApiResult<std::optional<TPolicyRecord>> PolicySelectByUser(const TApiLink& link,
                                                            const std::string& userCode) {
  TQorPack p = NewFrame("TPolicy.SelectByUser");
  p.AddString(1, "UCode", userCode);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  if (p.RecordSetCount() != 1) return {std::move(status), std::nullopt};
  return {std::move(status), TPolicyRecord{Int32(p, 1, "PolicyID"), Int32(p, 1, "MaxFileSize")}};
}

TApiResult<std::vector<TFilterPattern>> PolicyGetFileObjectFilter(const TApiLink& link,
                                                                  std::int32_t policyId) {
  TQorPack p = NewFrame("TPolicy.GetFileObject_Filter");
  p.AddInteger(1, "PID", policyId);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  return {std::move(status), ReadPatterns(p)};
}

}  // namespace solvane::api
