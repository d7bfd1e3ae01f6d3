#include "DbxStoreWriter.h"

#include <algorithm>

namespace solvane::test {

namespace {
constexpr std::size_t kHeaderSize = 0x40;
}

TDbxField TDbxField::Text(std::uint8_t id, std::string_view text) {
  std::string bytes(text);
  bytes.push_back('\0');
  return {id, 0, bytes};
}

TDbxField TDbxField::FileTime(std::uint8_t id, std::uint64_t fileTime) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(fileTime >> (8 * i));
  return {id, 0, bytes};
}

TDbxField TDbxField::Word(std::uint8_t id, std::uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(v >> (8 * i));
  return {id, 0, bytes};
}

TDbxStoreWriter::TDbxStoreWriter() : m_bytes(kHeaderSize, '\0') {}

void TDbxStoreWriter::AppendU32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<char>(v >> (8 * i)));
}

void TDbxStoreWriter::PutU32(std::uint32_t pos, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) m_bytes[pos + i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t TDbxStoreWriter::AddRecord(const std::vector<TDbxField>& fields) {
  std::string data;
  std::vector<std::uint32_t> words;
  for (const TDbxField& f : fields) {
    if (f.Id >= 0x80) {
      words.push_back(f.Id | f.Direct << 8);
    } else {
      words.push_back(f.Id | static_cast<std::uint32_t>(data.size()) << 8);
      data += f.Bytes;
    }
  }
  const std::uint32_t offset = End();
  AppendU32(offset);
  AppendU32(static_cast<std::uint32_t>(4 * words.size() + data.size()));
  m_bytes.push_back('\0');
  m_bytes.push_back('\0');
  m_bytes.push_back(static_cast<char>(words.size()));
  m_bytes.push_back('\0');
  for (std::uint32_t w : words) AppendU32(w);
  m_bytes += data;
  return offset;
}

std::uint32_t TDbxStoreWriter::AddNode(const std::vector<TDbxEntry>& entries, std::uint32_t link8,
                                       std::uint32_t link12) {
  const std::uint32_t offset = End();
  const auto count = static_cast<std::uint32_t>(entries.size());
  AppendU32(offset);
  AppendU32(0);
  AppendU32(link8);
  AppendU32(link12);
  AppendU32(count << 8);  // byte 16 unused, bytes 17..19 the 24-bit count
  AppendU32(0);
  for (const TDbxEntry& e : entries) {
    AppendU32(e.Record);
    AppendU32(e.Child);
    AppendU32(0);
  }
  return offset;
}

std::uint32_t TDbxStoreWriter::AddChain(std::string_view text) {
  const std::uint32_t first = End();
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(512, text.size() - pos);
    const std::uint32_t block = End();
    const bool last = pos + n >= text.size();
    AppendU32(block);
    AppendU32(512);
    AppendU32(static_cast<std::uint32_t>(n));
    AppendU32(last ? 0 : block + kDbxBlockSize);
    std::string payload(text.substr(pos, n));
    payload.resize(512, '\0');
    m_bytes += payload;
    pos += n;
  } while (pos < text.size());
  return first;
}

TDbxBuiltStore WriteMessageStore(const std::vector<TDbxTestMessage>& messages) {
  TDbxStoreWriter w;
  TDbxBuiltStore built;
  std::vector<TDbxEntry> entries;
  for (const TDbxTestMessage& m : messages) {
    const std::uint32_t chain = w.AddChain(m.Text);
    std::vector<TDbxField> fields{TDbxField::FileTime(0x02, m.SendFileTime)};
    if (m.Number) fields.push_back(TDbxField::Text(0x07, *m.Number));
    fields.push_back(TDbxField::Text(0x08, m.Subject));
    fields.push_back(TDbxField::Text(0x0D, m.Sender));
    fields.push_back(TDbxField::Value(0x84, chain));
    fields.push_back(TDbxField::Value(0x91, static_cast<std::uint32_t>(m.Text.size())));
    const std::uint32_t record = w.AddRecord(fields);
    built.Chains.push_back(chain);
    built.Records.push_back(record);
    entries.push_back({record, 0});
  }
  w.SetRoot(w.AddNode(entries));
  built.Bytes = w.Bytes();
  return built;
}

std::string WriteFoldersStore(const std::vector<TDbxTestFolder>& folders) {
  TDbxStoreWriter w;
  std::vector<TDbxEntry> entries;
  for (const TDbxTestFolder& f : folders) {
    const std::uint32_t record = w.AddRecord({
        TDbxField::Value(0x80, f.Id),
        TDbxField::Value(0x81, f.Parent),
        TDbxField::Text(0x02, f.Name),
        TDbxField::Text(0x03, f.FileName),
        TDbxField::Word(0x06, 1),
    });
    entries.push_back({record, 0});
  }
  w.SetRoot(w.AddNode(entries));
  return w.Bytes();
}

}  // namespace solvane::test
