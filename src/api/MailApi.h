#pragma once
// The mail store's removals: a stored mail folder, or one message file, goes
// into the recycle bin of the user's mail store. A folder is named by its
// mail client and ID; two folders of one client may share an ID under
// different parents, which parentId (when known) tells apart.

#include <cstdint>
#include <optional>
#include <string>

#include "api/ApiCall.h"

namespace solvane::api {

struct TMailFolderRef {
  std::string UCode;       // the store's owner (removing is never permitted to others)
  std::string MCKindName;  // "Foxmail", "Outlook" or "OutlookExpress"
  std::int64_t MCFolder = 0;
  std::optional<std::int64_t> MCFolderParentID;
};

TApiStatus BrowerRemoveMCFolder(const TApiLink& link, const TMailFolderRef& folder);

// The message file name, its size and date as listed.
TApiStatus BrowerRemoveMCMessage(const TApiLink& link, const TMailFolderRef& folder,
                                 const std::string& objectName, std::int64_t objectSize,
                                 std::int64_t objectDate);

}  // namespace solvane::api
