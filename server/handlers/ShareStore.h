#pragma once
// The share area: one tree of share folders that every user sees, each with
// an owner, a read-only flag, a comment and an optional access password
// (kept as a salted hash only), and the files inside each folder.
//
// A folder's files live in the file store of (owner, kShareStore) under the
// store folder "/<id>"; everything here takes checked values, the request
// rules are in ShareAccess.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/FileStore.h"
#include "storage/ShareFolderStore.h"

namespace solvane::server {

// What the folder list shows for a folder with a password, and what an
// update sends to keep it.
inline constexpr const char* kSharePasswordMarker = "******";
inline constexpr std::size_t kMaxShareCommentBytes = 1024;
inline constexpr std::size_t kMaxSharePasswordBytes = 128;

// Deletes the files of a folder whose row is gone, for good.
TStoreResult<void> PurgeShareFiles(TFileStore& files, const TShareFolder& f);

// Deletes a file of the folder (every version) for good. False when the
// folder holds no such file.
TStoreResult<bool> RemoveShareFile(TFileStore& files, const TShareFolder& f,
                                   const std::string& name);

// Folder names follow the file-name rules; comments are single texts of up
// to kMaxShareCommentBytes; passwords up to kMaxSharePasswordBytes. None may
// hold control characters or text the frame cannot carry.
bool IsValidShareName(std::string_view name);
bool IsValidShareComment(std::string_view comment);
bool IsValidSharePassword(std::string_view password);

}  // namespace solvane::server
