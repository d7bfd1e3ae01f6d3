#pragma once
// The mail store of a user: store (user, 500), one file per exported message.
//
// A message file is kept at "/<client>/<ParentID>/<FolderID>/<file>": the
// client sends the cache-relative folder "\<client>\<ParentID>\" and the
// mail folder's ID in "ObjectData", and the server adds the ID to the path,
// so that same-named messages of two folders with one parent stay apart.
// Each message object keeps the mail-client kind ("ObjectCargo"), its
// description ("ObjectCargo2", line breaks as the character 2) and the
// folder ID ("ObjectData").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/RequestContext.h"
#include "storage/Database.h"
#include "storage/FileStore.h"
#include "storage/MailMessageStore.h"

namespace solvane::server {

// Mail clients: 0 Foxmail, 1 Outlook, 2 Outlook Express.
std::optional<int> MailClientKindOf(std::string_view name);  // any letter case
std::string MailClientName(int kind);                        // "" for an unknown kind

enum class MailPathUse {
  kUpload,    // check and upload: "\<client>\<ParentID>\" + "ObjectData"
  kDownload,  // also the store folder as listed, "/<client>/<ParentID>/<FolderID>"
};

// Turns the normalised "ObjectFolder" of a kind-500 transfer into the
// message's store folder; for uploads also checks "ObjectCargo" (the kind of
// the client the folder names) and "ObjectCargo2" (the description). Sets a
// failure reply and returns false when the request does not name a message
// of a mail folder.
bool ReadMailStoreFolder(TRequestContext& ctx, MailPathUse use, std::string& folder);

struct TMailFolderRef {
  std::int64_t parentId = 0;
  std::int64_t folderId = 0;
  std::string path;  // "/<client>/<ParentID>/<FolderID>"
};

class TMailStore {
 public:
  TMailStore(Database& db, std::string user) : m_db(db), m_store{std::move(user), kMailStore} {}

  const TStoreRef& Store() const { return m_store; }
  // The names of the mail clients that have folders in the store.
  TStoreResult<std::vector<std::string>> Clients();
  // The live mail folders of one client, every folder after its parent when
  // the parent is listed too, else by parent and folder ID.
  TStoreResult<std::vector<TMailFolderRef>> Folders(int client);
  // The live folders of the client with this ID (and parent, when given).
  TStoreResult<std::vector<TMailFolderRef>> FindFolders(int client, std::int64_t folderId,
                                                        std::optional<std::int64_t> parentId);
  // The live messages of a folder, by name, each with its newest version.
  TStoreResult<std::vector<TMailMessageEntry>> Messages(const std::string& folderPath);

 private:
  Database& m_db;
  TStoreRef m_store;
};

}  // namespace solvane::server
