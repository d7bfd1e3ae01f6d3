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

#include "storage/Database.h"
#include "storage/FileStore.h"

namespace solvane::server {

// What the folder list shows for a folder with a password, and what an
// update sends to keep it.
inline constexpr const char* kSharePasswordMarker = "******";
inline constexpr std::size_t kMaxShareCommentBytes = 1024;
inline constexpr std::size_t kMaxSharePasswordBytes = 128;

struct TShareFolder {
  std::int64_t id = 0;
  std::int64_t parentId = 0;  // 0: top level
  std::string name;
  std::string owner;
  std::string comment;
  bool isReadOnly = false;
  std::string pwdHash;  // empty: no password
  std::int64_t pwdVersion = 0;

  bool HasPassword() const { return !pwdHash.empty(); }
};

std::optional<TShareFolder> FindShareFolder(Database& db, std::int64_t id);
// Every folder, each parent before its children, siblings by name.
std::vector<TShareFolder> ListShareFolders(Database& db);
bool HasSubfolders(Database& db, std::int64_t id);
// True when `candidate` is `folder` itself or lies below it.
bool IsWithin(Database& db, std::int64_t candidate, std::int64_t folder);
// Another folder of that parent has that name already (`except`: the folder
// being renamed, or 0).
bool NameTaken(Database& db, std::int64_t parentId, const std::string& name, std::int64_t except);

// Inserts the folder (its id is ignored) and returns the new id.
std::int64_t InsertShareFolder(Database& db, const TShareFolder& f);
// Writes every field; a changed pwdHash raises pwdVersion. A changed owner
// takes the folder's files along into his store.
// REQUIRES: the caller holds a Transaction.
void UpdateShareFolder(Database& db, const TShareFolder& f);
// Removes the folder's row; from then on no request reaches its files.
// REQUIRES: no subfolders (checked in the caller's Transaction).
void DeleteShareFolder(Database& db, std::int64_t id);
// Deletes the files of a folder whose row is gone, for good.
void PurgeShareFiles(TFileStore& files, const TShareFolder& f);

// Where the folder's files are kept.
TStoreRef ShareStoreOf(const TShareFolder& f);
std::string ShareStoreFolder(std::int64_t id);

// Deletes a file of the folder (every version) for good. False when the
// folder holds no such file.
bool RemoveShareFile(TFileStore& files, const TShareFolder& f, const std::string& name);

// Folder names follow the file-name rules; comments are single texts of up
// to kMaxShareCommentBytes; passwords up to kMaxSharePasswordBytes. None may
// hold control characters or text the frame cannot carry.
bool IsValidShareName(std::string_view name);
bool IsValidShareComment(std::string_view comment);
bool IsValidSharePassword(std::string_view password);

}  // namespace solvane::server
