#include "api/SystemApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

TApiResult<TSystemProfile> SystemGetProfile(const TApiLink& link) {
  TQorPack p = NewFrame(kProfileOperation);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  if (p.RecordSetCount() != 1)
    return TApiStatus::Failed(TApiFailure::BadReply, "the profile call did not answer one record");
  TSystemProfile profile;
  profile.EnterprizeName = p.FieldByName(1, "EnterprizeName").AsString();
  profile.AppName = p.FieldByName(1, "AppName").AsString();
  profile.KRN_MajorVersion = p.FieldByName(1, "KRN_MajorVersion").AsString();
  profile.KRN_MinorVersion = p.FieldByName(1, "KRN_MinorVersion").AsString();
  profile.KRN_SecurityMode = p.FieldByName(1, "KRN_SecurityMode").AsInteger();
  const std::int64_t space = p.FieldByName(1, "KRN_DefaultUserSpace").AsInteger();
  profile.KRN_DefaultUserSpace = space < 1 ? 1 : space;
  return {status, std::move(profile)};
}

}  // namespace solvane::api
