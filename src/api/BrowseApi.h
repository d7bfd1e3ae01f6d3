#pragma once
// Typed calls of the class word TBrower (spelled so): listing and searching
// a user's stores, removing from them, and the recycle bin; the two mail
// store listings a mail restore uses.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/ApiTypes.h"

namespace solvane::api {

// One object of a store listing or search.
struct TStoreEntry {
  std::string ObjectName;
  std::string ObjectFolder;  // search: kind + "|" + folder
  std::int64_t ObjectKind = 0;  // 1 folder, 0 file
  std::int64_t ObjectSize = -1;
  std::int64_t ObjectDate = -1;  // packed
  std::int64_t ObjectVersion = -1;
};

// A message file of the mail store.
struct TStoreMailMessage {
  TStoreEntry Entry;
  std::int64_t ObjectData = 0;  // mail folder ID as uploaded
  std::string ObjectCargo;      // mail-client kind
  std::string ObjectCargo2;     // the description, line breaks as 0x02
};

// A mail folder (or, when no client was named, a mail client) of the store.
struct TStoreMailFolder {
  std::string ObjectName;    // folder ID, or the client name
  std::string ObjectFolder;  // parent folder ID, or empty
};

struct TSeekRequest {
  std::string UCode;
  std::string ObjectNameSR;  // may be empty
  bool SizeIncluded = false;
  std::int64_t ObjectSize_Min = -1;
  std::int64_t ObjectSize_Max = -1;
  bool DateIncluded = false;
  std::int64_t ObjectDate_Min = -1;  // packed
  std::int64_t ObjectDate_Max = -1;
  bool OnlyLastVersion = true;
};

// One deletion in the recycle bin.
struct TTrashEntry {
  std::string ObjectName;
  std::int64_t ObjectKind = 0;
  std::int64_t ObjectSize = -1;
  std::int64_t ObjectDate = -1;
  std::string AbsoluteObjectName;  // "/" form
};

// The direct children of relatePath (empty: the store's roots) in the store
// (viewUser, taskKind).
TApiResult<std::vector<TStoreEntry>> BrowerShowFileObject(const TApiLink& link,
                                                         const std::string& viewUser,
                                                         std::int32_t taskKind,
                                                         const std::string& relatePath);
TApiResult<std::vector<TStoreEntry>> BrowerSeekFileObject(const TApiLink& link,
                                                         const TSeekRequest& request);
// Into the recycle bin: a file (size and date sent) or a folder with its
// subtree.
TApiStatus BrowerRemoveFileObject(const TApiLink& link, const std::string& viewUser,
                                  std::int32_t taskKind, const TStoreEntry& object);

// Mail clients (empty kindName) or the mail folders of one client.
TApiResult<std::vector<TStoreMailFolder>> BrowerShowMCObjectFolder(const TApiLink& link,
                                                                  const std::string& userCode,
                                                                  const std::string& kindName);
TApiResult<std::vector<TStoreMailMessage>> BrowerShowMCObjectMessage(
    const TApiLink& link, const std::string& userCode, const std::string& kindName,
    std::int64_t folderId, std::optional<std::int64_t> parentId = std::nullopt);

TApiResult<std::vector<TTrashEntry>> BrowerShowTrashObject(const TApiLink& link,
                                                          const std::string& userCode,
                                                          std::int32_t taskKind);
TApiStatus BrowerRemoveTrashObject(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskKind,
                                   const TTrashEntry& entry);
TApiStatus BrowerRevertTrashObject(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskKind,
                                   const TTrashEntry& entry);

}  // namespace solvane::api
