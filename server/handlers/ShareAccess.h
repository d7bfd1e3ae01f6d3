#pragma once
// What a session may do in the share area. Every share request asks here:
// - only the owner changes or removes a folder;
// - a folder with a password is reached only by its owner and by sessions
//   that opened it with the right password (TShareFolder.Select); a new
//   password locks those sessions out again;
// - in a read-only folder only the owner uploads or deletes.

#include <cstdint>
#include <optional>
#include <string>

#include "handlers/ShareStore.h"
#include "handlers/StorePath.h"
#include "protocol/RequestContext.h"

namespace solvane::server {

enum class ShareUse {
  kList,
  kDownload,
  kUpload,
  kDelete,
  kManage,  // edit or remove the folder itself
};

// The folder `id` when the session may use it that way; a failure reply and
// nullopt otherwise.
std::optional<TShareFolder> OpenShareFolder(TRequestContext& ctx, std::int64_t id, ShareUse use);

// Checks a typed password against the folder's and, when it is right,
// unlocks the folder for this session. Repeated wrong passwords are slowed
// down per user and folder. Sets a failure reply and returns false otherwise.
bool UnlockShareFolder(TRequestContext& ctx, const TShareFolder& folder,
                       const std::string& password);

// A transfer request of the share area ("TaskKind" 171).
bool IsShareTransfer(TRequestContext& ctx);
// The file a share transfer names: the folder "ObjectData" (used as kRead:
// download, kWrite: upload) and the file name "ObjectName"; "ObjectFolder"
// is the client's local folder and plays no part. "UCode" must be the
// session's user. Sets a failure reply and returns false when refused.
bool ReadShareTransfer(TRequestContext& ctx, StoreAccess access, TStoreRef& store,
                       std::string& folder, std::string& name);

}  // namespace solvane::server
