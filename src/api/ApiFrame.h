#pragma once
// Helpers the typed calls share to build and read frames. Internal to
// src/api: nothing above it includes this header.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "api/ApiCall.h"
#include "api/ApiTypes.h"
#include "wire/QorWithPack.h"

namespace solvane::api {

// "UAdmin", "UIPAddr", "UMAC" into record set n.
inline void AddAddress(TQorPack& pack, int n, const TCaller& a) {
  pack.AddString(n, "UAdmin", a.UserCode);
  pack.AddString(n, "UIPAddr", a.IPAddr);
  pack.AddString(n, "UMAC", a.MacAddr);
}

// A request frame of operation, empty otherwise.
inline TQorPack NewFrame(std::string_view operation) {
  TQorPack pack;
  pack.SetFunNo(operation);
  return pack;
}

// The reply's record sets 1..n read by read(pack, n) into rows.
template <class Row, class Read>
std::vector<Row> ReadRows(TQorPack& pack, Read read) {
  std::vector<Row> rows;
  const int count = pack.RecordSetCount();
  rows.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int n = 1; n <= count; ++n) rows.push_back(read(pack, n));
  return rows;
}

// Calls and, when Ok, reads every record set into rows.
template <class Row, class Read>
TApiResult<std::vector<Row>> CallForRows(const TApiLink& link, TQorPack& pack, Read read) {
  TApiStatus status = link.Call(pack);
  if (!status) return status;
  return {std::move(status), ReadRows<Row>(pack, read)};
}

inline std::string Text(TQorPack& p, int n, std::string_view name) {
  return p.FieldByName(n, name).AsString();
}
inline std::int64_t Integer(TQorPack& p, int n, std::string_view name) {
  return p.FieldByName(n, name).AsInteger();
}
// The field as a 32-bit value, held within its range.
inline std::int32_t Int32(TQorPack& p, int n, std::string_view name) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      p.FieldByName(n, name).AsInteger(), std::numeric_limits<std::int32_t>::min(),
      std::numeric_limits<std::int32_t>::max()));
}
// The patterns of a filter reply, without the "-1"/"-1" record that stands
// for none.
std::vector<TFilterPattern> ReadPatterns(TQorPack& p);
inline bool Boolean(TQorPack& p, int n, std::string_view name) {
  return p.FieldByName(n, name).AsBoolean();
}
inline DateTime Date(TQorPack& p, int n, std::string_view name) {
  return p.FieldByName(n, name).AsDateTime();
}
inline bool HasField(const TQorPack& p, std::string_view name) {
  return p.Fields().IndexOf(name) >= 0;
}

}  // namespace solvane::api
