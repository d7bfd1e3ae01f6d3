#pragma once
// The mail choice of a mail task (kind 500): the mail folders it backs up,
// each whole or by the messages chosen singly, as the mail backup screen
// sends them (TTask.SetMCObject, TTask.SetMCObject_Message).
//
// Writing functions REQUIRE a transaction of the caller; reading functions
// take the database lock themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TMailFolderChoice {
  int mcKind = 0;  // 0 Foxmail, 1 Outlook, 2 Outlook Express
  std::int64_t parentId = -1;
  std::int64_t folderId = 0;
  std::int64_t data = 0;
  std::string cargo;
  std::string fileName1;
  std::string fileName2;
  bool isSelected = false;  // the whole folder
};

struct TMailMessageChoice {
  int mcKind = 0;
  std::int64_t folderId = 0;
  std::int64_t messageId = 0;
  std::string subject;
  std::string sender;
  std::int64_t sentDate = 0;  // packed DOS date-time; 0 when it has none
  std::int64_t size = 0;
  std::int64_t updateDate = 0;
  std::string cargo;
};

// The task's folders become exactly these; its messages are dropped (the
// message list is sent only when some message is chosen singly).
TStoreResult<void> ReplaceMailFolders(Database& db, std::int64_t rowId,
                                      const std::vector<TMailFolderChoice>& folders);
TStoreResult<void> ReplaceMailMessages(Database& db, std::int64_t rowId,
                                       const std::vector<TMailMessageChoice>& messages);
// In the order they were sent.
TStoreResult<std::vector<TMailFolderChoice>> MailFolders(Database& db, std::int64_t rowId);
TStoreResult<std::vector<TMailMessageChoice>> MailMessages(Database& db, std::int64_t rowId,
                                                           std::int64_t folderId);

// "yyyy-mm-dd hh:nn:ss" as a packed DOS date-time: 0 for a date outside
// 1980 .. 2107, nullopt when the text is no date-time.
std::optional<std::int64_t> DosDateTimeOfText(std::string_view text);

}  // namespace solvane::server
