#include "mail/QorWithMCFoxmailParser.h"

#include <algorithm>
#include <array>
#include <utility>

namespace solvane {

namespace {

constexpr std::size_t kDeletedAt = 4;
constexpr std::size_t kOffsetAt = 5;
constexpr std::size_t kSizeAt = 9;
constexpr std::size_t kTextsAt = 33;
constexpr std::int32_t kAccountTailBytes = 20;
constexpr std::size_t kDateChars = 20;
constexpr char kZone[] = "+0800";

std::uint32_t ReadLe(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t v = 0;
  for (std::size_t i = width; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// Reads a 32-bit length at pos and advances; nullopt when it is not there.
std::optional<std::int32_t> TakeLength(std::string_view cfg, std::size_t& pos) {
  if (cfg.size() < 4 || pos > cfg.size() - 4) return std::nullopt;
  const auto v = static_cast<std::int32_t>(ReadLe(cfg, pos, 4));
  pos += 4;
  return v;
}

std::string_view CutAtZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// True when [pos, pos + length) lies within size; advances pos past it.
bool Skip(std::size_t size, std::size_t& pos, std::int32_t length) {
  const auto n = static_cast<std::size_t>(length);
  if (pos > size || n > size - pos) return false;
  pos += n;
  return true;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int ToInt(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (std::size_t i = 0; i < kMonths.size(); ++i)
    if (kMonths[i] == name) return static_cast<int>(i) + 1;
  return 0;
}

TFoxmailAccountList Cut(TFoxmailAccountList& list) {
  list.Error = TFoxmailError::Truncated;
  return std::move(list);
}

}  // namespace

const char* FoxmailErrorText(TFoxmailError error) {
  switch (error) {
    case TFoxmailError::None:
      return "no error";
    case TFoxmailError::Truncated:
      return "store file cut short";
    case TFoxmailError::BadLength:
      return "negative length or offset in store file";
    case TFoxmailError::Empty:
      return "message is empty";
  }
  return "unknown error";
}

TFoxmailAccountList ParseFoxmailAccounts(std::string_view cfg) {
  TFoxmailAccountList list;
  std::size_t pos = kFoxmailAccountCountOffset;
  const auto count = TakeLength(cfg, pos);
  if (!count) {
    list.Error = TFoxmailError::Truncated;
    return list;
  }
  list.Count = *count;
  for (std::int32_t k = list.Count; k >= 1; --k) {
    pos += 4;  // a field not read
    const auto nameLength = TakeLength(cfg, pos);
    if (!nameLength) return Cut(list);
    if (*nameLength == 0) return list;
    const std::size_t nameAt = pos;
    if (*nameLength < 0) {
      list.Error = TFoxmailError::BadLength;
      return list;
    }
    if (!Skip(cfg.size(), pos, *nameLength)) return Cut(list);
    const auto pathLength = TakeLength(cfg, pos);
    if (!pathLength) return Cut(list);
    if (*pathLength >= kFoxmailMaxPathLength) return list;
    if (*pathLength < 0) {
      list.Error = TFoxmailError::BadLength;
      return list;
    }
    const std::size_t pathAt = pos;
    if (!Skip(cfg.size(), pos, *pathLength)) return Cut(list);
    TFoxmailAccount account;
    const auto name = CutAtZero(cfg.substr(nameAt, static_cast<std::size_t>(*nameLength)));
    account.Name = std::string(name.substr(0, kFoxmailMaxNameBytes));
    account.Path =
        std::string(CutAtZero(cfg.substr(pathAt, static_cast<std::size_t>(*pathLength))));
    list.Accounts.push_back(std::move(account));
    // The account is complete; the list goes on only when the record's end is there.
    const auto thirdLength = TakeLength(cfg, pos);
    if (!thirdLength) return Cut(list);
    if (*thirdLength < 0) {
      list.Error = TFoxmailError::BadLength;
      return list;
    }
    if (!Skip(cfg.size(), pos, *thirdLength) || !Skip(cfg.size(), pos, kAccountTailBytes))
      return Cut(list);
  }
  return list;
}

std::size_t FoxmailIndexCount(std::uint64_t fileSize) {
  if (fileSize <= kFoxmailIndexHeader) return 0;
  return static_cast<std::size_t>((fileSize - kFoxmailIndexHeader) / kFoxmailIndexRecord);
}

std::optional<TFoxmailIndexRecord> ParseFoxmailIndexRecord(std::string_view index, std::size_t n) {
  if (n == 0 || n > FoxmailIndexCount(index.size())) return std::nullopt;
  const std::size_t start = kFoxmailIndexHeader + kFoxmailIndexRecord * (n - 1);
  std::array<char, kFoxmailIndexWindow> window{};
  const std::size_t present = std::min(kFoxmailIndexWindow, index.size() - start);
  std::copy_n(index.data() + start, present, window.data());
  const std::string_view w(window.data(), window.size());

  TFoxmailIndexRecord record;
  record.Deleted = w[kDeletedAt] != 0;
  record.Offset = static_cast<std::int32_t>(ReadLe(w, kOffsetAt, 4));
  record.Size = ReadLe(w, kSizeAt, 3);
  const std::string_view texts = w.substr(kTextsAt);
  const auto senderEnd = texts.find('\0');
  record.Sender = std::string(texts.substr(0, senderEnd));
  if (senderEnd != std::string_view::npos)
    record.Subject = std::string(CutAtZero(texts.substr(senderEnd + 1)));
  return record;
}

std::optional<TLocalDateTime> ParseFoxmailSendDate(std::string_view head) {
  head = CutAtZero(head.substr(0, kFoxmailDateProbeBytes));
  const auto zone = head.find(kZone);
  if (zone == std::string_view::npos || zone < kDateChars + 1) return std::nullopt;
  const std::string_view d = head.substr(zone - kDateChars - 1, kDateChars);
  const std::string_view day = d.substr(0, 2), year = d.substr(7, 4);
  const std::string_view hh = d.substr(12, 2), mm = d.substr(15, 2), ss = d.substr(18, 2);
  const int month = MonthNumber(d.substr(3, 3));
  if (month == 0 || !AllDigits(day) || !AllDigits(year) || !AllDigits(hh) || !AllDigits(mm) ||
      !AllDigits(ss) || d[14] != ':' || d[17] != ':')
    return std::nullopt;
  TLocalDateTime t;
  t.year = ToInt(year);
  t.month = month;
  t.day = ToInt(day);
  t.hour = ToInt(hh);
  t.minute = ToInt(mm);
  t.second = ToInt(ss);
  if (t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

TFoxmailError CheckFoxmailMessage(std::int64_t offset, std::int64_t size, std::uint64_t boxSize) {
  if (offset < 0 || size < 0) return TFoxmailError::BadLength;
  if (size == 0) return TFoxmailError::Empty;
  const auto o = static_cast<std::uint64_t>(offset), s = static_cast<std::uint64_t>(size);
  if (o > boxSize || s > boxSize - o) return TFoxmailError::Truncated;
  return TFoxmailError::None;
}

TFoxmailMessageBytes ExtractFoxmailMessage(std::string_view box, std::int64_t offset,
                                           std::int64_t size) {
  const TFoxmailError error = CheckFoxmailMessage(offset, size, box.size());
  if (error != TFoxmailError::None) return {{}, error};
  return {box.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)),
          TFoxmailError::None};
}

}  // namespace solvane
