#pragma once
// The share area: the folder tree, a folder's files (which also unlocks a
// protected folder for the session), making, changing and removing folders,
// and removing a file. Files themselves move as share transfers.

#include <cstdint>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/Caller.h"

namespace solvane::api {

// The server's failure numbers of the share calls that callers tell apart.
inline constexpr std::int32_t kShareErrForbidden = 4;
inline constexpr std::int32_t kShareErrNotFound = 5;
inline constexpr std::int32_t kShareErrWrongPassword = 7;
inline constexpr std::int32_t kShareErrTooManyAttempts = 8;

struct TShareFolderEntry {
  std::int64_t ID = 0;
  std::int64_t ParentID = 0;  // 0: top level
  std::string Name;
  std::string Owner;
  std::string Comment;
  bool IsReadOnly = false;
  bool HasPassword = false;  // the server never hands out the password itself
};

struct TShareFileEntry {
  std::string ObjectName;
  std::int64_t ObjectSize = -1;
  std::int64_t ObjectDate = -1;  // packed DOS date-time
};

// Every share folder, parents before their children.
TApiResult<std::vector<TShareFolderEntry>> ShareFolderSelectFolder(const TApiLink& link);

// The folder's files. password: the typed one, empty for an open folder; a
// right password unlocks the folder for this session.
TApiResult<std::vector<TShareFileEntry>> ShareFolderSelect(const TApiLink& link,
                                                          std::int64_t folderId,
                                                          const std::string& password);

struct TShareFolderFields {
  std::int64_t ParentFolderID = 0;  // 0: top level
  std::string Name;
  std::string Comment;
  bool IsReadOnly = false;
  std::string Owner;
  // Insert: the password, empty for none. Update: kSharePasswordKept keeps
  // it, empty removes it, anything else replaces it.
  std::string Password;
};

// The marker the folder list shows for a protected folder; sent back by
// ShareFolderUpdate it keeps the password.
inline constexpr const char* kSharePasswordKept = "******";

// The new folder's ID.
TApiResult<std::int64_t> ShareFolderInsert(const TApiLink& link, const TCaller& caller,
                                           const TShareFolderFields& folder);
TApiStatus ShareFolderUpdate(const TApiLink& link, const TCaller& caller, std::int64_t folderId,
                             const TShareFolderFields& folder);
// Removes a folder without subfolders, with its files.
TApiStatus ShareFolderRemoveFolder(const TApiLink& link, const TCaller& caller,
                                   std::int64_t folderId);
// Removes one file (every version) of a folder; size and date as listed.
TApiStatus ShareFolderRemove(const TApiLink& link, const TCaller& caller, std::int64_t folderId,
                             const TShareFileEntry& file);

}  // namespace solvane::api
