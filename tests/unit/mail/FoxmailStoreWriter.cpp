#include "FoxmailStoreWriter.h"

#include <algorithm>

namespace solvane::test {

namespace {

constexpr std::size_t kCountOffset = 0x840;
constexpr std::size_t kIndexHeader = 64;
constexpr std::size_t kRecord = 176;
constexpr std::size_t kTextsAt = 33;
constexpr char kBoxPreamble[] = "FOXMAIL-BOX-PREAMBLE";

void AppendU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  if (bytes.size() < at + 4) bytes.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string MakeFoxmailAccounts(const std::vector<TFoxmailAccountSpec>& accounts,
                                std::optional<std::int32_t> count) {
  std::string out(kCountOffset, 'x');
  AppendU32(out,
            static_cast<std::uint32_t>(count.value_or(static_cast<std::int32_t>(accounts.size()))));
  for (const TFoxmailAccountSpec& a : accounts) {
    AppendU32(out, 0xA5A5A5A5);
    AppendU32(out, static_cast<std::uint32_t>(
                       a.NameLength.value_or(static_cast<std::int32_t>(a.Name.size()))));
    out += a.Name;
    AppendU32(out, static_cast<std::uint32_t>(
                       a.PathLength.value_or(static_cast<std::int32_t>(a.Path.size()))));
    out += a.Path;
    AppendU32(out, static_cast<std::uint32_t>(a.Third.size()));
    out += a.Third;
    out += std::string(20, 'z');
  }
  return out;
}

TFoxmailMailbox MakeFoxmailMailbox(const std::vector<TFoxmailMessageSpec>& messages) {
  TFoxmailMailbox mb;
  mb.Box = kBoxPreamble;
  mb.Index = std::string(kIndexHeader, 'h');
  for (const TFoxmailMessageSpec& m : messages) {
    const std::uint64_t offset = mb.Box.size();
    mb.Offsets.push_back(offset);
    mb.Box += m.Bytes;
    std::string record(kRecord, '\0');
    record[4] = m.Deleted ? 1 : 0;
    PutU32(record, 5,
           static_cast<std::uint32_t>(m.Offset.value_or(static_cast<std::int32_t>(offset))));
    const std::uint32_t size = m.Size.value_or(static_cast<std::uint32_t>(m.Bytes.size()));
    for (int i = 0; i < 3; ++i) record[9 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    std::string texts = m.Sender;
    texts += '\0';
    texts += m.Subject;
    texts.resize(std::min(texts.size(), kRecord - kTextsAt));
    std::copy(texts.begin(), texts.end(), record.begin() + kTextsAt);
    mb.Index += record;
  }
  return mb;
}

}  // namespace solvane::test
