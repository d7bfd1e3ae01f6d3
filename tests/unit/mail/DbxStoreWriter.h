#pragma once
// Writes Outlook Express .dbx store files in memory from the documented
// layout (docs/formats/outlook-express-dbx.md), for reader tests. Pieces are
// appended in the order they are added, so a node is added after the nodes
// and records it names; PutU32 rewrites bytes afterwards to break a store
// on purpose (a node pointing back, a record whose first field lies).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane::test {

// One attribute of a record: direct (ids 0x80 and above) or with its bytes
// placed in the record's data area.
struct TDbxField {
  std::uint8_t Id = 0;
  std::uint32_t Direct = 0;
  std::string Bytes;

  static TDbxField Value(std::uint8_t id, std::uint32_t v) { return {id, v, {}}; }
  // Zero-terminated text; text may itself hold zero bytes.
  static TDbxField Text(std::uint8_t id, std::string_view text);
  static TDbxField FileTime(std::uint8_t id, std::uint64_t fileTime);
  static TDbxField Word(std::uint8_t id, std::uint32_t v);
};

struct TDbxEntry {
  std::uint32_t Record = 0;
  std::uint32_t Child = 0;
};

class TDbxStoreWriter {
 public:
  TDbxStoreWriter();

  std::uint32_t AddRecord(const std::vector<TDbxField>& fields);
  std::uint32_t AddNode(const std::vector<TDbxEntry>& entries, std::uint32_t link8 = 0,
                        std::uint32_t link12 = 0);
  // Blocks of at most 512 text bytes; returns the first block's offset.
  std::uint32_t AddChain(std::string_view text);
  void SetRoot(std::uint32_t nodeOffset) { PutU32(0x30, nodeOffset); }
  void PutU32(std::uint32_t pos, std::uint32_t v);

  const std::string& Bytes() const { return m_bytes; }

 private:
  std::uint32_t End() const { return static_cast<std::uint32_t>(m_bytes.size()); }
  void AppendU32(std::uint32_t v);

  std::string m_bytes;
};

// Block layout positions, for tests that break chains.
inline constexpr std::uint32_t kDbxBlockSize = 16 + 512;
inline constexpr std::uint32_t kDbxBlockNextPos = 12;

struct TDbxTestMessage {
  std::string Sender;
  std::string Subject;
  std::optional<std::string> Number;  // attribute 0x07
  std::string Text;                   // the message bytes
  std::uint64_t SendFileTime = 0;
};

// A message file with one root node naming one record per message, each
// record naming its chain through 0x84 and its size through 0x91.
struct TDbxBuiltStore {
  std::string Bytes;
  std::vector<std::uint32_t> Records;
  std::vector<std::uint32_t> Chains;
};
TDbxBuiltStore WriteMessageStore(const std::vector<TDbxTestMessage>& messages);

struct TDbxTestFolder {
  std::uint32_t Id = 0;
  std::uint32_t Parent = 0;
  std::string Name;
  std::string FileName;
};
// A folders.dbx whose records carry 0x02, 0x03, 0x06, 0x80 and 0x81.
std::string WriteFoldersStore(const std::vector<TDbxTestFolder>& folders);

}  // namespace solvane::test
