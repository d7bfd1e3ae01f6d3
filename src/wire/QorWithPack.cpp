#include "wire/QorWithPack.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "wire/QorWithText.h"

namespace solvane {

namespace {

constexpr char kSep = '\x01';
constexpr int kFunNoLine = 2;
constexpr int kErrNoLine = 3;
constexpr int kErrMsgLine = 4;
constexpr int kFieldsLine = 5;
constexpr int kFirstRecordLine = 6;  // record set n sits at line 6 + n
constexpr int kEmptyFrameLines = 9;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::size_t FindNoCase(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i)
    if (EqualsNoCase(hay.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

// Where the text between the first <name> and the first </name> lies in
// line: {offset, length}; {0, 0} when the closing tag is missing.
std::pair<std::size_t, std::size_t> ElementSpan(std::string_view line, std::string_view name) {
  std::string open = "<" + std::string(name) + ">";
  std::string close = "</" + std::string(name) + ">";
  std::size_t a = FindNoCase(line, open);
  std::size_t b = FindNoCase(line, close);
  if (a == std::string_view::npos || b == std::string_view::npos) return {0, 0};
  a += open.size();
  if (b < a) return {0, 0};
  return {a, b - a};
}

std::string_view ElementView(std::string_view line, std::string_view name) {
  auto [offset, length] = ElementSpan(line, name);
  return line.substr(offset, length);
}

std::string ElementText(std::string_view line, std::string_view name) {
  return std::string(ElementView(line, name));
}

// Values separated by 0x01: the end of each (relative to text). A last
// value without its separator counts only when it is not empty.
std::vector<std::uint32_t> ValueEnds(std::string_view text) {
  std::vector<std::uint32_t> ends;
  ends.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), kSep)) + 1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t p = text.find(kSep, start);
    if (p == std::string_view::npos) p = text.size();
    ends.push_back(static_cast<std::uint32_t>(p));
    start = p + 1;
  }
  return ends;
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string s;
  for (const auto& v : values) {
    s += v;
    s += kSep;
  }
  return s;
}

// Line breaks: CR LF, a lone CR or a lone LF. A break at the very end opens
// no further line.
std::size_t NextBreak(std::string_view text, std::size_t from, std::size_t& breakLength) {
  std::size_t p = text.find_first_of("\r\n", from);
  if (p == std::string_view::npos) return p;
  breakLength = (text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n') ? 2 : 1;
  return p;
}

std::size_t CountLines(std::string_view text) {
  std::size_t lines = 0, from = 0, breakLength = 0;
  while (from < text.size()) {
    ++lines;
    const std::size_t p = NextBreak(text, from, breakLength);
    if (p == std::string_view::npos) break;
    from = p + breakLength;
  }
  return lines;
}

}  // namespace

std::string FormatDateTime(DateTime t) {
  std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

bool ParseDateTime(std::string_view text, DateTime& out) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':')
    return false;
  auto num = [&](std::size_t pos, std::size_t len, int& v) {
    std::int64_t x;
    for (std::size_t i = pos; i < pos + len; ++i)
      if (text[i] < '0' || text[i] > '9') return false;
    if (!ParseInt64(text.substr(pos, len), x)) return false;
    v = static_cast<int>(x);
    return true;
  };
  int y, mo, d, h, mi, s;
  if (!num(0, 4, y) || !num(5, 2, mo) || !num(8, 2, d) || !num(11, 2, h) || !num(14, 2, mi) ||
      !num(17, 2, s))
    return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  int maxDay = kDays[mo - 1] + ((mo == 2 && leap) ? 1 : 0);
  if (d > maxDay) return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  std::time_t tt = std::mktime(&tm);
  if (tt == static_cast<std::time_t>(-1) && !(y == 1969 && mo == 12 && d == 31)) return false;
  out = std::chrono::system_clock::from_time_t(tt);
  return true;
}

std::int64_t TQorPackField::AsInteger() const {
  std::int64_t v = 0;
  return ParseInt64(m_value, v) ? v : 0;
}

bool TQorPackField::AsBoolean() const { return TextToBool(m_value); }

DateTime TQorPackField::AsDateTime() const {
  DateTime t;
  if (ParseDateTime(m_value, t)) return t;
  return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
}

void TQorPackFieldDefList::Clear() {
  m_text.clear();
  m_ends.clear();
  m_recent.clear();
}

std::string_view TQorPackFieldDefList::Name(std::size_t i) const {
  const std::size_t start = i == 0 ? 0 : m_ends[i - 1] + 1;
  return std::string_view(m_text).substr(start, m_ends[i] - start);
}

int TQorPackFieldDefList::IndexOf(std::string_view name) const {
  for (const auto& [known, pos] : m_recent)
    if (EqualsNoCase(known, name)) return pos;
  int found = -1;
  for (std::size_t i = 0; i < m_ends.size() && found < 0; ++i)
    if (EqualsNoCase(Name(i), name)) found = static_cast<int>(i);
  constexpr std::size_t kRecentNames = 64;
  if (m_recent.size() == kRecentNames) m_recent.erase(m_recent.begin());
  m_recent.emplace_back(std::string(name), found);
  return found;
}

void TQorPackFieldDefList::Add(std::string_view name) {
  m_text += name;
  m_ends.push_back(static_cast<std::uint32_t>(m_text.size()));
  m_text += kSep;
  m_recent.clear();
}

void TQorPackFieldDefList::Assign(std::string_view joined) {
  m_recent.clear();
  m_text.assign(joined);
  m_ends = ValueEnds(joined);
}

std::vector<std::string> TQorPackFieldDefList::Names() const {
  std::vector<std::string> out;
  out.reserve(m_ends.size());
  for (std::size_t i = 0; i < m_ends.size(); ++i) out.emplace_back(Name(i));
  return out;
}

void TQorPack::Reset() {
  m_fields.Clear();
  m_record.clear();
  m_recordIndex = 1;
  m_clean = true;
  m_loaded = false;
  m_funNo.clear();
  m_errMsg.clear();
  m_errNo = kNoResult;
  m_text.clear();
  m_lineEnds.clear();
  for (std::string_view line : {R"(<?xml version="1.0" encoding="GB2312"?>)", "<Frame>",
                                "  <FunNo></FunNo>", "  <ErrNo>-1</ErrNo>", "  <ErrMsg></ErrMsg>",
                                "  <Fields></Fields>", "  <RecordSets>", "  </RecordSets>",
                                "</Frame>"}) {
    m_text += line;
    m_lineEnds.push_back(static_cast<std::uint32_t>(m_text.size()));
  }
}

std::string_view TQorPack::LineAt(std::size_t i) const {
  const std::size_t start = i == 0 ? 0 : m_lineEnds[i - 1];
  return std::string_view(m_text).substr(start, m_lineEnds[i] - start);
}

void TQorPack::SetLine(std::size_t i, std::string_view text) {
  const std::size_t start = i == 0 ? 0 : m_lineEnds[i - 1];
  const std::size_t oldLength = m_lineEnds[i] - start;
  m_text.replace(start, oldLength, text);
  for (std::size_t j = i; j < m_lineEnds.size(); ++j)
    m_lineEnds[j] = static_cast<std::uint32_t>(m_lineEnds[j] - oldLength + text.size());
  m_loaded = false;
}

void TQorPack::InsertLine(std::size_t i, std::string_view text) {
  const std::size_t start = i == 0 ? 0 : m_lineEnds[i - 1];
  m_text.insert(start, text);
  m_lineEnds.insert(m_lineEnds.begin() + static_cast<std::ptrdiff_t>(i),
                    static_cast<std::uint32_t>(start));
  for (std::size_t j = i; j < m_lineEnds.size(); ++j)
    m_lineEnds[j] = static_cast<std::uint32_t>(m_lineEnds[j] + text.size());
  m_loaded = false;
}

void TQorPack::SetFunNo(std::string_view name) {
  m_funNo = std::string(name);
  if (m_lineEnds.size() > kFunNoLine) SetLine(kFunNoLine, "  <FunNo>" + m_funNo + "</FunNo>");
}

void TQorPack::SetResult(std::int32_t errNo, std::string_view errMsg) {
  m_errNo = errNo;
  m_errMsg = std::string(errMsg);
  if (m_lineEnds.size() > kErrMsgLine) {
    SetLine(kErrNoLine, "  <ErrNo>" + std::to_string(errNo) + "</ErrNo>");
    SetLine(kErrMsgLine, "  <ErrMsg>" + m_errMsg + "</ErrMsg>");
  }
}

void TQorPack::RewriteFieldsLine() {
  if (m_lineEnds.size() <= kFieldsLine) return;
  std::string line = "  <Fields>";
  for (std::size_t i = 0; i < m_fields.Count(); ++i) {
    line += m_fields.Name(i);
    line += kSep;
  }
  line += "</Fields>";
  SetLine(kFieldsLine, line);
}

void TQorPack::AddString(int n, std::string_view name, std::string_view value) {
  if (n == 1 && m_fields.IndexOf(name) < 0) {
    m_fields.Add(name);
    RewriteFieldsLine();
  }
  if (n != m_recordIndex || m_loaded) {
    FlushRecord();
    m_loaded = false;
    m_record.clear();
    m_recordIndex = n;
  }
  m_record.emplace_back(value);
  m_clean = false;
}

void TQorPack::AddInteger(int n, std::string_view name, std::int64_t value) {
  AddString(n, name, std::to_string(value));
}

void TQorPack::AddBoolean(int n, std::string_view name, bool value) {
  AddString(n, name, BoolToText(value));
}

void TQorPack::AddDateTime(int n, std::string_view name, DateTime value) {
  AddString(n, name, FormatDateTime(value));
}

void TQorPack::FlushRecord() {
  if (m_clean) return;
  std::string line = "    <RecordSet>" + JoinValues(m_record) + "</RecordSet>";
  std::size_t pos = static_cast<std::size_t>(kFirstRecordLine + m_recordIndex);
  const std::size_t count = m_lineEnds.size();
  pos = std::min(pos, count >= 2 ? count - 2 : count);
  InsertLine(pos, line);
  m_clean = true;
  m_recordIndex = 1;
  m_record.clear();
}

int TQorPack::RecordSetCount() {
  FlushRecord();
  int n = static_cast<int>(m_lineEnds.size()) - kEmptyFrameLines;
  return n > 0 ? n : 0;
}

void TQorPack::LoadRecord(int n) {
  m_loadedEnds.clear();
  m_loadedStart = 0;
  m_loaded = true;
  m_recordIndex = n;
  if (n < 1 || n > RecordSetCount()) return;
  const std::size_t i = static_cast<std::size_t>(kFirstRecordLine + n);
  const std::string_view line = LineAt(i);
  auto [offset, length] = ElementSpan(line, "RecordSet");
  m_loadedStart = (i == 0 ? 0 : m_lineEnds[i - 1]) + offset;
  m_loadedEnds = ValueEnds(line.substr(offset, length));
}

const TQorPackField& TQorPack::FieldByName(int n, std::string_view name) {
  FlushRecord();
  if (!m_loaded || m_recordIndex != n) LoadRecord(n);
  const int pos = m_fields.IndexOf(name);
  if (pos < 0 || static_cast<std::size_t>(pos) >= m_loadedEnds.size()) {
    m_field.Assign({});
    return m_field;
  }
  const std::size_t start = pos == 0 ? 0 : m_loadedEnds[pos - 1] + 1;
  m_field.Assign(m_text.substr(m_loadedStart + start, m_loadedEnds[pos] - start));
  return m_field;
}

std::size_t TQorPack::LineCount() {
  FlushRecord();
  return m_lineEnds.size();
}

std::string_view TQorPack::Line(std::size_t i) {
  FlushRecord();
  return LineAt(i);
}

std::vector<std::string> TQorPack::Lines() {
  FlushRecord();
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < m_lineEnds.size(); ++i) lines.emplace_back(LineAt(i));
  return lines;
}

void TQorPack::SaveToStream(std::string& out) {
  FlushRecord();
  std::string text;
  text.reserve(m_text.size() + 2 * m_lineEnds.size());
  for (std::size_t i = 0; i < m_lineEnds.size(); ++i) {
    text += LineAt(i);
    text += "\r\n";
  }
  out += Utf8ToGb18030(text);
}

bool TQorPack::LoadFromStream(std::string_view bytes) {
  m_text.clear();
  m_lineEnds.clear();
  m_record.clear();
  m_loaded = false;
  m_clean = true;
  m_recordIndex = 1;
  if (bytes.empty()) return false;
  // The lines are moved together inside the decoded text, dropping the line
  // breaks: no copy beyond the decoded text and one offset per line.
  m_text = Gb18030ToUtf8(bytes);
  m_lineEnds.reserve(CountLines(m_text));
  std::size_t kept = 0, from = 0, breakLength = 0;
  while (from < m_text.size()) {
    const std::size_t p = NextBreak(m_text, from, breakLength);
    const std::size_t end = p == std::string::npos ? m_text.size() : p;
    std::copy(m_text.begin() + from, m_text.begin() + end, m_text.begin() + kept);
    kept += end - from;
    m_lineEnds.push_back(static_cast<std::uint32_t>(kept));
    if (p == std::string::npos) break;
    from = p + breakLength;
  }
  m_text.resize(kept);
  // Fixed positions, read in this order: FunNo, ErrMsg, ErrNo, Fields.
  // Parsing stops at the first missing line; what follows keeps its value.
  if (m_lineEnds.size() <= kFunNoLine) return true;
  m_funNo = ElementText(LineAt(kFunNoLine), "FunNo");
  if (m_lineEnds.size() <= kErrMsgLine) return true;
  m_errMsg = ElementText(LineAt(kErrMsgLine), "ErrMsg");
  std::int64_t err = 0;
  bool isNumber = ParseInt64(ElementView(LineAt(kErrNoLine), "ErrNo"), err);
  m_errNo = isNumber && err >= INT32_MIN && err <= INT32_MAX ? static_cast<std::int32_t>(err) : 0;
  if (m_lineEnds.size() <= kFieldsLine) return true;
  m_fields.Assign(ElementView(LineAt(kFieldsLine), "Fields"));
  return true;
}

}  // namespace solvane
