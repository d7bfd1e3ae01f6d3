#pragma once
// One frame: the line-oriented text document that carries every request and
// reply. Lines sit at fixed positions (declaration, <Frame>, FunNo, ErrNo,
// ErrMsg, Fields, <RecordSets>, one line per record set, </RecordSets>,
// </Frame>); values are separated by 0x01 and never escaped.
//
// Texts are UTF-8 in memory; SaveToStream writes GB18030 bytes and
// LoadFromStream reads them back.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "solvane/DateTime.h"

namespace solvane {

// "yyyy-mm-dd hh:nn:ss" in local time.
std::string FormatDateTime(DateTime t);
// Reads "yyyy-mm-dd hh:nn:ss" (local time); false when it is no valid date-time.
bool ParseDateTime(std::string_view text, DateTime& out);

// One value of a frame, converted on request.
class TQorPackField {
 public:
  const std::string& AsString() const { return m_value; }
  // Decimal integer; 0 when the text is not one.
  std::int64_t AsInteger() const;
  bool AsBoolean() const;
  // The date-time; the current local time when the text cannot be read.
  DateTime AsDateTime() const;

  void Assign(std::string value) { m_value = std::move(value); }

 private:
  std::string m_value;
};

// The field names of record set 1, looked up without regard to letter case.
// Kept as the names' text, each followed by 0x01, and the end of each name,
// so a frame of many (even empty) names costs a few bytes per name.
class TQorPackFieldDefList {
 public:
  void Clear();
  // Position of the name (ASCII case ignored), or -1.
  int IndexOf(std::string_view name) const;
  void Add(std::string_view name);
  // The names of a <Fields> element: each followed by 0x01 (the last one's
  // separator may be missing).
  void Assign(std::string_view joined);
  std::size_t Count() const { return m_ends.size(); }
  std::string_view Name(std::size_t i) const;
  // A copy of every name.
  std::vector<std::string> Names() const;

 private:
  std::string m_text;
  std::vector<std::uint32_t> m_ends;
  // Names looked up lately with their positions: handlers ask for the same
  // few names in every record set.
  mutable std::vector<std::pair<std::string, int>> m_recent;
};

class TQorPack {
 public:
  static constexpr std::int32_t kNoResult = -1;

  TQorPack() { Reset(); }

  // Back to the empty frame of 9 lines: no fields, FunNo and ErrMsg empty,
  // ErrNo -1, current record 1.
  void Reset();
  void SetFunNo(std::string_view name);

  // Appends a value to record set n (1-based). Record set 1 defines the field
  // names; later record sets take values in that order. Record sets are
  // written in order 1, 2, 3, ... without gaps.
  void AddString(int n, std::string_view name, std::string_view value);
  void AddInteger(int n, std::string_view name, std::int64_t value);
  void AddBoolean(int n, std::string_view name, bool value);
  void AddDateTime(int n, std::string_view name, DateTime value);

  // The packet's one field object, holding the value of name in record set n
  // (empty when the name or the record set does not exist). Valid until the
  // next FieldByName on this packet.
  const TQorPackField& FieldByName(int n, std::string_view name);

  int RecordSetCount();

  // Appends the frame's GB18030 bytes, every line ended by CR LF.
  void SaveToStream(std::string& out);
  std::string SaveToString() {
    std::string s;
    SaveToStream(s);
    return s;
  }
  // Reads a frame from its bytes. False (and no lines) when bytes is empty.
  // A short frame still loads; what is missing keeps its earlier value.
  bool LoadFromStream(std::string_view bytes);

  const std::string& FunNo() const { return m_funNo; }
  std::int32_t ErrNo() const { return m_errNo; }
  const std::string& ErrMsg() const { return m_errMsg; }

  // Server side: set the reply's result code and message.
  void SetResult(std::int32_t errNo, std::string_view errMsg);

  // The frame's lines as they stand (pending record written first).
  std::size_t LineCount();
  std::string_view Line(std::size_t i);
  // A copy of every line.
  std::vector<std::string> Lines();
  const TQorPackFieldDefList& Fields() const { return m_fields; }

 private:
  void FlushRecord();
  void LoadRecord(int n);
  void RewriteFieldsLine();
  std::string_view LineAt(std::size_t i) const;
  void SetLine(std::size_t i, std::string_view text);
  void InsertLine(std::size_t i, std::string_view text);

  // The lines one after the other without their line ends, and where each
  // ends: a few bytes per line however short the lines are.
  std::string m_text;
  std::vector<std::uint32_t> m_lineEnds;
  TQorPackFieldDefList m_fields;
  std::vector<std::string> m_record;  // values of the record being added
  // The record set last read by FieldByName: where its values start in
  // m_text and where each ends (relative to that start).
  std::size_t m_loadedStart = 0;
  std::vector<std::uint32_t> m_loadedEnds;
  int m_recordIndex = 1;
  bool m_clean = true;
  bool m_loaded = false;
  std::string m_funNo;
  std::int32_t m_errNo = kNoResult;
  std::string m_errMsg;
  TQorPackField m_field;
};

}  // namespace solvane
