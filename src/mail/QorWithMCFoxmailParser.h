#pragma once
// Parser of Foxmail store files: accounts.cfg, the .ind index files and the
// messages inside .box mailbox files. Pure: it takes bytes and returns
// results or a typed error; the reader does the file I/O. Every offset and
// length read from a file is checked against the bytes given, so hostile
// files end in an error or a shorter list, never a crash or a long loop.
// The layout is written down in docs/formats/foxmail-store.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LocalTime.h"

namespace solvane {

enum class TFoxmailError {
  None,
  Truncated,  // a field or message reaches past the end of the bytes
  BadLength,  // a length or offset is negative
  Empty,      // a message of size 0
};

// Short English text for an error, for logs and export failures.
const char* FoxmailErrorText(TFoxmailError error);

// accounts.cfg: the account count at 0x840, then the account records.
constexpr std::size_t kFoxmailAccountCountOffset = 0x840;
// A path length from this size on ends the account list.
constexpr std::int32_t kFoxmailMaxPathLength = 512;
// Account names are cut to this many bytes.
constexpr std::size_t kFoxmailMaxNameBytes = 126;

struct TFoxmailAccount {
  std::string Name;  // GBK bytes, cut at the first zero byte and at 126 bytes
  std::string Path;  // GBK bytes of the account's folder, cut at the first zero byte
};

struct TFoxmailAccountList {
  std::int32_t Count = 0;  // the count the file states; account i gets number Count - i
  std::vector<TFoxmailAccount> Accounts;  // valid so far on error
  TFoxmailError Error = TFoxmailError::None;
};

// The accounts in file order. A name length of 0 or a path length of 512 or
// more ends the list without error; a record cut short ends it with an
// error, keeping an account whose name and path were complete.
TFoxmailAccountList ParseFoxmailAccounts(std::string_view cfg);

// .ind: a 64-byte header, then one 176-byte record per message.
constexpr std::size_t kFoxmailIndexHeader = 64;
constexpr std::size_t kFoxmailIndexRecord = 176;
// Each record is read through a 186-byte window reaching into the next one.
constexpr std::size_t kFoxmailIndexWindow = 186;

// Whole records in an index file of that size.
std::size_t FoxmailIndexCount(std::uint64_t fileSize);

struct TFoxmailIndexRecord {
  bool Deleted = false;
  std::int32_t Offset = 0;  // of the message in the .box file
  std::uint32_t Size = 0;   // 24 bits
  std::string Sender;       // GBK bytes
  std::string Subject;      // GBK bytes
};

// Record n (from 1); nullopt when n is 0 or above FoxmailIndexCount. Window
// bytes past the end of the file read as zero.
std::optional<TFoxmailIndexRecord> ParseFoxmailIndexRecord(std::string_view index, std::size_t n);

// .box: how many bytes of a message's start the send date is looked for in.
constexpr std::size_t kFoxmailDateProbeBytes = 1001;

// The send date from a message's first bytes: the 20 characters "DD Mon YYYY
// HH:MM:SS" ending two characters before the first "+0800" (looked for
// before the first zero byte). nullopt when there is none or it does not read.
std::optional<TLocalDateTime> ParseFoxmailSendDate(std::string_view head);

// Checks that a message lies wholly within a mailbox of boxSize bytes.
TFoxmailError CheckFoxmailMessage(std::int64_t offset, std::int64_t size, std::uint64_t boxSize);

struct TFoxmailMessageBytes {
  std::string_view Bytes;  // the message as stored; empty on error
  TFoxmailError Error = TFoxmailError::None;
};

// The message's bytes inside the mailbox's bytes.
TFoxmailMessageBytes ExtractFoxmailMessage(std::string_view box, std::int64_t offset,
                                           std::int64_t size);

}  // namespace solvane
