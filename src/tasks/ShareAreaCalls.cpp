#include "tasks/ShareAreaCalls.h"

#include "api/ShareFolderApi.h"
#include "tasks/EngineContext.h"

namespace solvane {

namespace {

// What a share call's status means to the share screen and the CLI.
TShareCallResult ResultOf(const api::TApiStatus& status) {
  switch (status.failure) {
    case api::TApiFailure::None:
      return TShareCallResult::kOk;
    case api::TApiFailure::NoConnection:
      return TShareCallResult::kNoConnection;
    case api::TApiFailure::Refused:
      break;
    default:
      return TShareCallResult::kRefused;
  }
  switch (status.errNo) {
    case api::kShareErrForbidden:
      return TShareCallResult::kLocked;
    case api::kShareErrNotFound:
      return TShareCallResult::kNotFound;
    case api::kShareErrWrongPassword:
      return TShareCallResult::kWrongPassword;
    case api::kShareErrTooManyAttempts:
      return TShareCallResult::kTooManyAttempts;
    default:
      return TShareCallResult::kRefused;
  }
}

}  // namespace

TShareCallResult SelectShareFolders(IEngineContext& ctx, std::vector<TShareFolderInfo>& folders) {
  folders.clear();
  auto answer = api::ShareFolderSelectFolder(ctx.Pool());
  for (auto& f : answer.value)
    folders.push_back({f.ID, f.ParentID, std::move(f.Name), std::move(f.Owner),
                       std::move(f.Comment), f.IsReadOnly, f.HasPassword});
  return ResultOf(answer.status);
}

TShareCallResult OpenShareFolder(IEngineContext& ctx, std::int64_t folderId,
                                 const std::string& password, std::vector<TShareFileInfo>& files) {
  files.clear();
  auto answer = api::ShareFolderSelect(ctx.Pool(), folderId, password);
  for (auto& f : answer.value) files.push_back({std::move(f.ObjectName), f.ObjectSize, f.ObjectDate});
  return ResultOf(answer.status);
}

bool NeedsSharePassword(const TShareFolderInfo& folder, const std::string& userCode) {
  return folder.HasPassword && folder.Owner != userCode;
}

std::string ShareCallMessage(TShareCallResult result, std::int64_t folderId) {
  const std::string folder = "share folder " + std::to_string(folderId);
  switch (result) {
    case TShareCallResult::kOk:
      return {};
    case TShareCallResult::kNoConnection:
      return "no connection to the server";
    case TShareCallResult::kWrongPassword:
      return "wrong password for " + folder;
    case TShareCallResult::kTooManyAttempts:
      return "too many wrong passwords for " + folder + "; try again later";
    case TShareCallResult::kLocked:
      return folder + " is protected: its password is needed";
    case TShareCallResult::kNotFound:
      return "there is no " + folder;
    case TShareCallResult::kRefused:
      break;
  }
  return "the server refused to open " + folder;
}

}  // namespace solvane
