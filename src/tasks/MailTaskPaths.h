#pragma once
// Where the mail tasks put message files, how a message file is named, which
// messages of a folder a task takes, and the description text as it travels
// in a frame. Pure functions: no file system, no server.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mail/QorWithMCDefine.h"

namespace solvane {

// cacheFolder/<kind name>/<ParentID>/ with the platform's separator: where a
// mail upload exports the messages of every folder with that parent.
std::string MailExportFolder(const std::string& cacheFolder, int mcKind, std::int64_t parentId);
// cacheFolder/<kind name>/<ParentID>/<FolderID>/: the folder's cache
// directory (the folder entry of a mail upload).
std::string MailFolderCacheDirectory(const std::string& cacheFolder, int mcKind,
                                     std::int64_t parentId, std::int64_t folderId);
// The export folder without the cache folder text: "/<kind name>/<ParentID>/"
// (the "ObjectFolder" of every message upload).
std::string MailObjectFolder(int mcKind, std::int64_t parentId);
// "/<kind name>/<ParentID>/<FolderID>": where the server keeps the folder's
// message files.
std::string MailStoreFolder(int mcKind, std::int64_t parentId, std::int64_t folderId);

// ".msg" for Outlook, ".eml" for the other clients.
std::string MailFileExtension(int mcKind);

// The file name of one message: "<FolderID>-<MessageID>.eml". A message
// whose MessageID an earlier message of the folder already carries (Outlook
// Express messages without a number all carry 0) is told apart by its
// 1-based position: "<FolderID>-<MessageID>-<position>.eml".
std::string MailMessageFileName(int mcKind, std::int64_t folderId, std::int64_t messageId,
                                bool repeatedId, std::size_t position);

struct TMailFileNameParts {
  std::int64_t FolderID = 0;
  std::int64_t MessageID = 0;
};
// The folder and message of a file name made by MailMessageFileName;
// nullopt for any other name.
std::optional<TMailFileNameParts> ParseMailMessageFileName(const std::string& name);

// One message of a reader's folder that a task takes.
struct TChosenMessage {
  const TQorMCMessage* Message = nullptr;
  std::size_t Position = 0;  // 1-based place in the folder
  bool RepeatedId = false;   // an earlier message of the folder has its MessageID
};

struct TMailChoice {
  std::vector<TChosenMessage> Messages;
  // MessageIDs the task chose that the folder does not hold (any more).
  std::vector<std::int64_t> Missing;
};

// The messages of the reader's folder the saved choice takes: every message
// when the saved folder is chosen whole; else, for each chosen saved
// message, the first message of the folder with its MessageID. In the
// folder's order. Nothing of either folder is changed (the screens keep
// their own ticks on the reader's folders).
TMailChoice ChooseMessages(const TQorMCFolderObject& readerFolder, const TQorMCFolderObject& saved);

// The description of a message as a frame value: Describe's lines with every
// line break as the character 2, other control characters as blanks, the
// text "</RecordSet>" (which would end the frame's record) broken up, and at
// most 65 536 bytes, cut before a whole UTF-8 character.
std::string MailDescriptionForWire(const TQorMCMessage& message);

}  // namespace solvane
