#pragma once
// The share folders' rows: one tree of folders that every user sees, each
// with an owner, a read-only flag, a comment and an optional access password
// (kept as a salted hash only). A folder's files live in the file store of
// (owner, kShareStore) under the store folder "/<id>".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/FileStore.h"
#include "storage/StoreResult.h"

namespace solvane::server {

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

// Every call returns the failed statement's message as an error value;
// writing calls leave the caller's Transaction to roll back then.
TStoreResult<std::optional<TShareFolder>> FindShareFolder(Database& db, std::int64_t id);
// Every folder, each parent before its children, siblings by name.
TStoreResult<std::vector<TShareFolder>> ListShareFolders(Database& db);
TStoreResult<bool> HasSubfolders(Database& db, std::int64_t id);
// True when `candidate` is `folder` itself or lies below it.
TStoreResult<bool> IsWithin(Database& db, std::int64_t candidate, std::int64_t folder);
// Another folder of that parent has that name already (`except`: the folder
// being renamed, or 0).
TStoreResult<bool> NameTaken(Database& db, std::int64_t parentId, const std::string& name,
                             std::int64_t except);

// Inserts the folder (its id is ignored) and returns the new id.
TStoreResult<std::int64_t> InsertShareFolder(Database& db, const TShareFolder& f);
// Writes every field; a changed pwdHash raises pwdVersion. A changed owner
// takes the folder's files along into his store.
// REQUIRES: the caller holds a Transaction.
TStoreResult<void> UpdateShareFolder(Database& db, const TShareFolder& f);
// Removes the folder's row; from then on no request reaches its files.
// REQUIRES: no subfolders (checked in the caller's Transaction).
TStoreResult<void> DeleteShareFolder(Database& db, std::int64_t id);
// Where the folder's files are kept.
TStoreRef ShareStoreOf(const TShareFolder& f);
std::string ShareStoreFolder(std::int64_t id);

}  // namespace solvane::server
