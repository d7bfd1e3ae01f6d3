#include "mail/QorWithMCDbxParser.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

#include "wire/QorWithText.h"

namespace solvane {

namespace {

constexpr std::uint32_t kRootPointerPos = 0x30;
constexpr std::size_t kNodeHeaderSize = 24;
constexpr std::size_t kNodeEntrySize = 12;
constexpr std::size_t kRecordHeaderSize = 12;
constexpr std::size_t kBlockHeaderSize = 16;
constexpr std::size_t kBlockTextSize = 512;

bool Fits(std::string_view bytes, std::uint64_t pos, std::uint64_t len) {
  return pos <= bytes.size() && len <= bytes.size() - pos;
}

std::uint32_t U32(std::string_view b, std::size_t pos) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 3])) << 24;
}

std::uint32_t U24(std::string_view b, std::size_t pos) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[pos + 2])) << 16;
}

// Offsets are stored as signed 32-bit numbers: zero and negative mean none.
bool IsPointer(std::uint32_t v) { return v != 0 && v < 0x80000000u; }

class TNodeQueue {
 public:
  explicit TNodeQueue(std::uint32_t root) { Push(root); }
  void Push(std::uint32_t offset) {
    if (IsPointer(offset) && m_seen.insert(offset).second) m_pending.push_back(offset);
  }
  bool Empty() const { return m_pending.empty(); }
  std::uint32_t Pop() {
    const std::uint32_t o = m_pending.front();
    m_pending.pop_front();
    return o;
  }

 private:
  std::deque<std::uint32_t> m_pending;
  std::unordered_set<std::uint32_t> m_seen;  // pending or processed: never queued twice
};

}  // namespace

const char* DbxErrorText(TDbxError error) {
  switch (error) {
    case TDbxError::None:
      return "no error";
    case TDbxError::Truncated:
      return "store file cut short or offset out of range";
    case TDbxError::ChainBroken:
      return "message block chain broken: a block is not where its chain says";
    case TDbxError::ChainLoop:
      return "message block chain comes back on itself";
  }
  return "unknown error";
}

TDbxTreeWalk WalkDbxTree(std::string_view file) {
  TDbxTreeWalk walk;
  if (!Fits(file, kRootPointerPos, 4)) {
    walk.Error = TDbxError::Truncated;
    return walk;
  }
  TNodeQueue queue(U32(file, kRootPointerPos));
  while (!queue.Empty()) {
    const std::uint32_t node = queue.Pop();
    if (!Fits(file, node, kNodeHeaderSize)) {
      walk.Error = TDbxError::Truncated;
      return walk;
    }
    if (U32(file, node) != node) continue;
    queue.Push(U32(file, node + 12));
    queue.Push(U32(file, node + 8));
    const std::uint32_t count = U24(file, node + 17);
    if (!Fits(file, std::uint64_t{node} + kNodeHeaderSize, std::uint64_t{count} * kNodeEntrySize)) {
      walk.Error = TDbxError::Truncated;
      return walk;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t entry = node + kNodeHeaderSize + i * kNodeEntrySize;
      const std::uint32_t record = U32(file, entry);
      if (IsPointer(record)) walk.RecordOffsets.push_back(record);
      queue.Push(U32(file, entry + 4));
    }
  }
  return walk;
}

TDbxRecordRead ReadDbxRecord(std::string_view file, std::uint32_t offset) {
  TDbxRecordRead read;
  if (!Fits(file, offset, kRecordHeaderSize)) {
    read.Error = TDbxError::Truncated;
    return read;
  }
  if (U32(file, offset) != offset) return read;
  const std::uint32_t bodyLength = U32(file, offset + 4);
  const std::uint32_t attributeCount = static_cast<unsigned char>(file[offset + 10]);
  const std::uint64_t body = std::uint64_t{offset} + kRecordHeaderSize;
  const std::uint64_t attributeBytes = std::uint64_t{attributeCount} * 4;
  // The attribute words must lie inside the body and the body inside the file.
  if (attributeBytes > bodyLength || !Fits(file, body, bodyLength)) {
    read.Error = TDbxError::Truncated;
    return read;
  }
  TDbxRecord record;
  record.Offset = offset;
  for (std::uint32_t i = 0; i < attributeCount; ++i) {
    const std::uint32_t word = U32(file, body + i * 4);
    record.Attributes.push_back({static_cast<std::uint8_t>(word & 0xFF), word >> 8});
  }
  record.Data = file.substr(body + attributeBytes, bodyLength - attributeBytes);
  read.Record = std::move(record);
  return read;
}

std::string DbxTextAt(std::string_view data, std::uint32_t pos) {
  if (pos >= data.size()) return {};
  const std::string_view rest = data.substr(pos);
  return std::string(rest.substr(0, rest.find('\0')));
}

std::optional<std::uint64_t> DbxFileTimeAt(std::string_view data, std::uint32_t pos) {
  if (!Fits(data, pos, 8)) return std::nullopt;
  return std::uint64_t{U32(data, pos)} | std::uint64_t{U32(data, pos + 4)} << 32;
}

std::optional<TDbxFolder> ParseDbxFolder(const TDbxRecord& record) {
  TDbxFolder folder;
  bool isFolder = false;
  for (const TDbxAttribute& a : record.Attributes) {
    switch (a.Id) {
      case 0x02:
        folder.Name = DbxTextAt(record.Data, a.Value);
        break;
      case 0x03:
        folder.FileName = DbxTextAt(record.Data, a.Value);
        isFolder = true;
        break;
      case 0x06:
        isFolder = true;
        break;
      case 0x80:
        folder.FolderID = a.Value;
        break;
      case 0x81:
        folder.ParentID = a.Value;
        break;
      default:
        break;
    }
  }
  if (!isFolder) return std::nullopt;
  return folder;
}

namespace {

std::int64_t DecimalOrZero(std::string_view text) {
  std::int64_t n = 0;
  return ParseInt64(text, n) ? n : 0;
}

}  // namespace

TDbxMessage ParseDbxMessage(const TDbxRecord& record) {
  TDbxMessage m;
  m.Offset = record.Offset;
  for (const TDbxAttribute& a : record.Attributes) {
    switch (a.Id) {
      case 0x02:
        m.SendFileTime = DbxFileTimeAt(record.Data, a.Value);
        break;
      case 0x04:
        if (Fits(record.Data, a.Value, 4)) m.Offset = U32(record.Data, a.Value);
        break;
      case 0x07:
        m.MessageID = DecimalOrZero(DbxTextAt(record.Data, a.Value));
        break;
      case 0x08:
        m.Subject = DbxTextAt(record.Data, a.Value);
        break;
      case 0x0D:
        m.Sender = DbxTextAt(record.Data, a.Value);
        break;
      case 0x12:
        m.ReceiveFileTime = DbxFileTimeAt(record.Data, a.Value);
        break;
      case 0x84:
        m.Offset = a.Value;
        break;
      case 0x91:
        m.Size = a.Value;
        break;
      default:
        break;
    }
  }
  return m;
}

TDbxMessageText ReadDbxMessageText(std::string_view file, std::uint32_t firstBlock) {
  TDbxMessageText out;
  std::unordered_set<std::uint32_t> seen;
  for (std::uint32_t p = firstBlock; p != 0;) {
    if (!seen.insert(p).second) {
      out.Error = TDbxError::ChainLoop;
      return out;
    }
    if (!Fits(file, p, kBlockHeaderSize + kBlockTextSize)) {
      // The last block of a file may end with its text; anything less is cut.
      if (!Fits(file, p, kBlockHeaderSize)) {
        out.Error = TDbxError::Truncated;
        return out;
      }
    }
    if (U32(file, p) != p) {
      out.Error = TDbxError::ChainBroken;
      return out;
    }
    const std::size_t count = std::min<std::size_t>(U32(file, p + 8), kBlockTextSize);
    if (!Fits(file, std::uint64_t{p} + kBlockHeaderSize, count)) {
      out.Error = TDbxError::Truncated;
      return out;
    }
    const std::string_view text = file.substr(p + kBlockHeaderSize, count);
    out.Text.append(text.substr(0, text.find('\0')));
    p = U32(file, p + 12);
  }
  return out;
}

}  // namespace solvane
