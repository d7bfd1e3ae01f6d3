#pragma once
// The rows of a mail store (user, 500) as the mail screens read them: the
// folder objects and the live messages with their newest version. What the
// paths mean is the business of the mail handlers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/FileStore.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TMailMessageEntry {
  std::string folder;  // store folder of the message
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
  std::int64_t version = 0;
  std::int64_t folderId = -1;
  std::string cargo;
  std::string cargo2;
};

// A live folder object of the store: its parent folder and its name.
struct TMailFolderRow {
  std::string folder;
  std::string name;
};

// The names of the live folders at the top of the store, sorted.
TStoreResult<std::vector<std::string>> MailTopFolders(Database& db, const TStoreRef& store);
// The live folders whose parent folder starts with `prefix`.
TStoreResult<std::vector<TMailFolderRow>> MailFoldersUnder(Database& db, const TStoreRef& store,
                                                           const std::string& prefix);
// The live messages of a folder, by name, each with its newest version.
TStoreResult<std::vector<TMailMessageEntry>> MailMessagesIn(Database& db, const TStoreRef& store,
                                                            const std::string& folderPath);
// The description ("cargo2") of a live message; nullopt when there is none.
TStoreResult<std::optional<std::string>> MailDescription(Database& db, const TStoreRef& store,
                                                         const std::string& folder,
                                                         const std::string& name);

}  // namespace solvane::server
