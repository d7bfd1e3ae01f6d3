#pragma once
// The share-area calls the share screen and the command-line client make
// before a share task runs: the folder list, and opening a folder, which
// lists its files and, for a password-protected folder, unlocks it.
//
// The server never hands out a folder's password ("AccessPwd" is "******"
// for a protected folder, else empty), so a password cannot be compared
// here: "TShareFolder.Select" carries the typed password and the server
// unlocks the folder for this session only (every connection of the pool
// shares the session). Share transfers into or out of a protected folder
// are refused until then; the folder's owner needs no password.

#include <cstdint>
#include <string>
#include <vector>

namespace solvane {

class IEngineContext;

struct TShareFolderInfo {
  std::int64_t ID = 0;
  std::int64_t ParentID = 0;  // 0: top level
  std::string Name;
  std::string Owner;
  std::string Comment;
  bool IsReadOnly = false;
  bool HasPassword = false;
};

struct TShareFileInfo {
  std::string ObjectName;
  std::int64_t ObjectSize = -1;
  std::int64_t ObjectDate = -1;  // packed DOS date-time
};

enum class TShareCallResult {
  kOk,
  kNoConnection,     // no connected connection could be taken
  kWrongPassword,    // the typed password is not the folder's
  kTooManyAttempts,  // wrong passwords came too often; wait and try again
  kLocked,           // protected and not opened: a password is needed
  kNotFound,         // no such share folder
  kRefused,          // any other refusal
};

// The marker "TShareFolder.SelectFolder" returns for a protected folder;
// sent back as "Pwd" by "TShareFolder.Update" it keeps the password.
inline constexpr const char* kSharePasswordMarker = "******";

// Every share folder, in the server's order (parents before children).
TShareCallResult SelectShareFolders(IEngineContext& ctx, std::vector<TShareFolderInfo>& folders);

// The folder's files ("TShareFolder.Select"). password: the typed password,
// empty for a folder without one (and for the owner, or a folder opened in
// this session before). A right password unlocks the folder for the session.
TShareCallResult OpenShareFolder(IEngineContext& ctx, std::int64_t folderId,
                                 const std::string& password, std::vector<TShareFileInfo>& files);

// Whether the signed-in user must type the folder's password to open it.
bool NeedsSharePassword(const TShareFolderInfo& folder, const std::string& userCode);

// A sentence for a failed call ("wrong password for share folder 7").
std::string ShareCallMessage(TShareCallResult result, std::int64_t folderId);

}  // namespace solvane
