#include "tasks/ShareAreaCalls.h"

#include "tasks/EngineContext.h"
#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

// The server's failure numbers these calls tell apart.
constexpr int kErrForbidden = 4;
constexpr int kErrNotFound = 5;
constexpr int kErrWrongPassword = 7;
constexpr int kErrTooManyAttempts = 8;

// Sends pack on a connected pool connection; the result of the reply.
TShareCallResult Call(IEngineContext& ctx, TQorPack& pack) {
  TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return TShareCallResult::kNoConnection;
  if (!lease->Call(pack)) return TShareCallResult::kRefused;
  switch (pack.ErrNo()) {
    case 1:
      return TShareCallResult::kOk;
    case kErrForbidden:
      return TShareCallResult::kLocked;
    case kErrNotFound:
      return TShareCallResult::kNotFound;
    case kErrWrongPassword:
      return TShareCallResult::kWrongPassword;
    case kErrTooManyAttempts:
      return TShareCallResult::kTooManyAttempts;
    default:
      return TShareCallResult::kRefused;
  }
}

}  // namespace

TShareCallResult SelectShareFolders(IEngineContext& ctx, std::vector<TShareFolderInfo>& folders) {
  folders.clear();
  TQorPack pack;
  pack.SetFunNo("TShareFolder.SelectFolder");
  const TShareCallResult result = Call(ctx, pack);
  if (result != TShareCallResult::kOk) return result;
  for (int n = 1, count = pack.RecordSetCount(); n <= count; ++n) {
    TShareFolderInfo f;
    f.ID = pack.FieldByName(n, "ID").AsInteger();
    f.ParentID = pack.FieldByName(n, "ParentID").AsInteger();
    f.Name = pack.FieldByName(n, "Name").AsString();
    f.Owner = pack.FieldByName(n, "Ownner").AsString();
    f.Comment = pack.FieldByName(n, "Comment").AsString();
    f.IsReadOnly = pack.FieldByName(n, "IsReadOnly").AsBoolean();
    f.HasPassword = !pack.FieldByName(n, "AccessPwd").AsString().empty();
    folders.push_back(std::move(f));
  }
  return result;
}

TShareCallResult OpenShareFolder(IEngineContext& ctx, std::int64_t folderId,
                                 const std::string& password, std::vector<TShareFileInfo>& files) {
  files.clear();
  TQorPack pack;
  pack.SetFunNo("TShareFolder.Select");
  pack.AddInteger(1, "FolderID", folderId);
  pack.AddString(1, "AccessPwd", password);
  const TShareCallResult result = Call(ctx, pack);
  if (result != TShareCallResult::kOk) return result;
  for (int n = 1, count = pack.RecordSetCount(); n <= count; ++n) {
    TShareFileInfo f;
    f.ObjectName = pack.FieldByName(n, "ObjectName").AsString();
    f.ObjectSize = pack.FieldByName(n, "ObjectSize").AsInteger();
    f.ObjectDate = pack.FieldByName(n, "ObjectDate").AsInteger();
    files.push_back(std::move(f));
  }
  return result;
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
