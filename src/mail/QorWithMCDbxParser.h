#pragma once
// Parser of Outlook Express .dbx store files (folders.dbx and the per-folder
// message files). Pure: it takes the file's bytes and returns results or a
// typed error; the reader does the file I/O. Every offset and length read
// from the file is checked against the bytes given, and the index tree walk
// processes each node once, so hostile files end in an error, never a crash
// or a loop. The layout is written down in docs/formats/outlook-express-dbx.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

enum class TDbxError {
  None,
  Truncated,    // an offset or length reaches past the end of the bytes
  ChainBroken,  // a block's first field does not name the block
  ChainLoop,    // a block chain comes back to a block it already held
};

// Short English text for an error, for logs and export failures.
const char* DbxErrorText(TDbxError error);

struct TDbxTreeWalk {
  std::vector<std::uint32_t> RecordOffsets;  // in tree order; valid so far on error
  TDbxError Error = TDbxError::None;
};

// Walks the index tree from the root node named at offset 0x30 and lists
// the record offsets its entries name. A node whose first field differs
// from its offset is skipped; a node already processed is not queued again.
TDbxTreeWalk WalkDbxTree(std::string_view file);

struct TDbxAttribute {
  std::uint8_t Id = 0;
  std::uint32_t Value = 0;  // 24 bits: direct value or position in the data area
};

struct TDbxRecord {
  std::uint32_t Offset = 0;
  std::vector<TDbxAttribute> Attributes;
  std::string_view Data;  // the data area, a view into the file's bytes
};

struct TDbxRecordRead {
  std::optional<TDbxRecord> Record;  // empty when the first field lies
  TDbxError Error = TDbxError::None;
};

TDbxRecordRead ReadDbxRecord(std::string_view file, std::uint32_t offset);

// A zero-terminated text at position pos of the data area, cut at the area's
// end; empty when pos lies outside it. Raw store bytes (GBK).
std::string DbxTextAt(std::string_view data, std::uint32_t pos);
// An 8-byte file time at pos; empty when it does not fit.
std::optional<std::uint64_t> DbxFileTimeAt(std::string_view data, std::uint32_t pos);

// A folders.dbx record as a folder; empty when it is no folder (none of its
// attribute ids is 0x03 or 0x06). Texts are raw store bytes.
struct TDbxFolder {
  std::int64_t FolderID = 0;
  std::int64_t ParentID = 0;
  std::string Name;
  std::string FileName;
};
std::optional<TDbxFolder> ParseDbxFolder(const TDbxRecord& record);

// A message record; attributes applied in record order. Texts are raw.
struct TDbxMessage {
  std::int64_t MessageID = 0;
  std::string Subject;
  std::string Sender;
  std::optional<std::uint64_t> SendFileTime;
  std::optional<std::uint64_t> ReceiveFileTime;
  std::int64_t Size = 0;
  std::int64_t Offset = 0;  // first data block; the record's own offset when none is named
};
TDbxMessage ParseDbxMessage(const TDbxRecord& record);

struct TDbxMessageText {
  std::string Text;  // the chain's text bytes, exactly as stored
  TDbxError Error = TDbxError::None;
};

// Follows the data block chain from firstBlock and collects its text bytes
// (per block up to its first zero byte, at most its count, at most 512).
// A chain that leaves the file, names a block that does not name itself or
// comes back on itself ends with an error: the text would not be whole.
TDbxMessageText ReadDbxMessageText(std::string_view file, std::uint32_t firstBlock);

}  // namespace solvane
