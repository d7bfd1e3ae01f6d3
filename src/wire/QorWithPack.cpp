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

// The text between the first <name> and the first </name>; empty when the
// closing tag is missing.
std::string ElementText(std::string_view line, std::string_view name) {
  std::string open = "<" + std::string(name) + ">";
  std::string close = "</" + std::string(name) + ">";
  std::size_t a = FindNoCase(line, open);
  std::size_t b = FindNoCase(line, close);
  if (a == std::string_view::npos || b == std::string_view::npos) return {};
  a += open.size();
  if (b < a) return {};
  return std::string(line.substr(a, b - a));
}

std::vector<std::string> SplitValues(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t p = text.find(kSep, start);
    if (p == std::string_view::npos) {
      out.emplace_back(text.substr(start));
      break;
    }
    out.emplace_back(text.substr(start, p - start));
    start = p + 1;
  }
  return out;
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string s;
  for (const auto& v : values) {
    s += v;
    s += kSep;
  }
  return s;
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

int TQorPackFieldDefList::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < m_names.size(); ++i)
    if (EqualsNoCase(m_names[i], name)) return static_cast<int>(i);
  return -1;
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
  m_lines = {
      R"(<?xml version="1.0" encoding="GB2312"?>)",
      "<Frame>",
      "  <FunNo></FunNo>",
      "  <ErrNo>-1</ErrNo>",
      "  <ErrMsg></ErrMsg>",
      "  <Fields></Fields>",
      "  <RecordSets>",
      "  </RecordSets>",
      "</Frame>",
  };
}

void TQorPack::SetFunNo(std::string_view name) {
  m_funNo = std::string(name);
  if (m_lines.size() > kFunNoLine) m_lines[kFunNoLine] = "  <FunNo>" + m_funNo + "</FunNo>";
}

void TQorPack::SetResult(std::int32_t errNo, std::string_view errMsg) {
  m_errNo = errNo;
  m_errMsg = std::string(errMsg);
  if (m_lines.size() > kErrMsgLine) {
    m_lines[kErrNoLine] = "  <ErrNo>" + std::to_string(errNo) + "</ErrNo>";
    m_lines[kErrMsgLine] = "  <ErrMsg>" + m_errMsg + "</ErrMsg>";
  }
}

void TQorPack::RewriteFieldsLine() {
  std::string line = "  <Fields>";
  line += JoinValues(m_fields.Names());
  line += "</Fields>";
  if (m_lines.size() > kFieldsLine) m_lines[kFieldsLine] = std::move(line);
}

void TQorPack::AddString(int n, std::string_view name, std::string_view value) {
  if (n == 1 && m_fields.IndexOf(name) < 0) {
    m_fields.Add(std::string(name));
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
  pos = std::min(pos, m_lines.size() >= 2 ? m_lines.size() - 2 : m_lines.size());
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(line));
  m_clean = true;
  m_recordIndex = 1;
  m_record.clear();
}

int TQorPack::RecordSetCount() {
  FlushRecord();
  int n = static_cast<int>(m_lines.size()) - kEmptyFrameLines;
  return n > 0 ? n : 0;
}

void TQorPack::LoadRecord(int n) {
  m_record.clear();
  m_loaded = true;
  m_recordIndex = n;
  if (n < 1 || n > RecordSetCount()) return;
  m_record = SplitValues(ElementText(m_lines[kFirstRecordLine + n], "RecordSet"));
}

const TQorPackField& TQorPack::FieldByName(int n, std::string_view name) {
  FlushRecord();
  if (!m_loaded || m_recordIndex != n) LoadRecord(n);
  int pos = m_fields.IndexOf(name);
  if (pos < 0 || static_cast<std::size_t>(pos) >= m_record.size())
    m_field.Assign({});
  else
    m_field.Assign(m_record[pos]);
  return m_field;
}

const std::vector<std::string>& TQorPack::Lines() {
  FlushRecord();
  return m_lines;
}

void TQorPack::SaveToStream(std::string& out) {
  FlushRecord();
  std::string text;
  for (const auto& line : m_lines) {
    text += line;
    text += "\r\n";
  }
  out += Utf8ToGb18030(text);
}

bool TQorPack::LoadFromStream(std::string_view bytes) {
  m_lines.clear();
  m_record.clear();
  m_loaded = false;
  m_clean = true;
  m_recordIndex = 1;
  if (bytes.empty()) return false;
  std::string text = Gb18030ToUtf8(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t p = text.find_first_of("\r\n", start);
    if (p == std::string::npos) {
      m_lines.emplace_back(text.substr(start));
      break;
    }
    m_lines.emplace_back(text.substr(start, p - start));
    start = p + ((text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n') ? 2 : 1);
  }
  // Fixed positions, read in this order: FunNo, ErrMsg, ErrNo, Fields.
  // Parsing stops at the first missing line; what follows keeps its value.
  if (m_lines.size() <= kFunNoLine) return true;
  m_funNo = ElementText(m_lines[kFunNoLine], "FunNo");
  if (m_lines.size() <= kErrMsgLine) return true;
  m_errMsg = ElementText(m_lines[kErrMsgLine], "ErrMsg");
  std::int64_t err = 0;
  bool isNumber = ParseInt64(ElementText(m_lines[kErrNoLine], "ErrNo"), err);
  m_errNo = isNumber && err >= INT32_MIN && err <= INT32_MAX ? static_cast<std::int32_t>(err) : 0;
  if (m_lines.size() <= kFieldsLine) return true;
  m_fields.Clear();
  for (auto& name : SplitValues(ElementText(m_lines[kFieldsLine], "Fields")))
    m_fields.Add(std::move(name));
  return true;
}

}  // namespace solvane
