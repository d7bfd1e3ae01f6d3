#pragma once
// The file-store calls as the client sends them (TUpDown.*, TBrower.*), for
// the transfer and browser tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ServerProcess.h"

namespace solvane::testing {

inline constexpr std::int64_t kSeg = 262144;

// A file of a user's store as the client knows it: where it lives, its
// contents and its last-write time (packed DOS date-time).
struct TFileSpec {
  std::string user;
  int kind = 100;
  std::string folder;
  std::string name;
  std::string content;
  std::int64_t date = 946164070;  // 2008-03-05 10:11:12
  std::int64_t Size() const { return static_cast<std::int64_t>(content.size()); }
};

inline std::string Bytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

inline TQorPack CheckRequest(const TFileSpec& f) {
  return MakeRequest("TUpDown.Check", {{"UCode", f.user},
                                       {"TaskID", "946164070"},
                                       {"TaskKind", std::to_string(f.kind)},
                                       {"ObjectID", "1"},
                                       {"ObjectName", f.name},
                                       {"ObjectFolder", f.folder},
                                       {"ObjectData", "-1"},
                                       {"ObjectCargo", ""},
                                       {"ObjectCargo2", ""},
                                       {"ObjectSize", std::to_string(f.Size())},
                                       {"ObjectDate", std::to_string(f.date)},
                                       {"Position", "0"},
                                       {"Action", "0"}});
}

inline TQorPack UploadRequest(const TFileSpec& f, std::int64_t offset, std::int64_t length) {
  const std::int64_t count = (f.Size() + kSeg - 1) / kSeg;
  return MakeRequest("TUpDown.UpLoad", {{"UCode", f.user},
                                        {"TaskID", "946164070"},
                                        {"SessionID", "946164071"},
                                        {"TaskKind", std::to_string(f.kind)},
                                        {"ObjectName", f.name},
                                        {"ObjectFolder", f.folder},
                                        {"ObjectData", "-1"},
                                        {"ObjectCargo", ""},
                                        {"ObjectCargo2", ""},
                                        {"ObjectSize", std::to_string(f.Size())},
                                        {"ObjectDate", std::to_string(f.date)},
                                        {"SegmentCount", std::to_string(count)},
                                        {"SegmentOrder", std::to_string(offset / kSeg + 1)},
                                        {"Source_Offset", std::to_string(offset)},
                                        {"Source_Size", std::to_string(length)}});
}

inline TQorPack DownloadRequest(const TFileSpec& f, std::int64_t size, std::int64_t date,
                                std::int64_t order) {
  return MakeRequest("TUpDown.DownLoad",
                     {{"UCode", f.user},
                      {"TaskKind", std::to_string(f.kind)},
                      {"ObjectName", f.name},
                      {"ObjectFolder", f.folder},
                      {"ObjectData", "-1"},
                      {"ObjectCargo", "C:\\restore\\" + f.name},
                      {"ObjectCargo2", ""},
                      {"ObjectSize", std::to_string(size)},
                      {"ObjectDate", std::to_string(date)},
                      {"SegmentCount", std::to_string((size + kSeg - 1) / kSeg)},
                      {"SegmentOrder", std::to_string(order)}});
}

struct TCheckAnswer {
  int errNo = -1;
  std::int64_t action = -1;
  std::int64_t position = -1;
};

inline TCheckAnswer Check(TTestClient& c, const TFileSpec& f) {
  TQorPack p = CheckRequest(f);
  if (!c.Call(p)) return {};
  return {p.ErrNo(), p.FieldByName(1, "Action").AsInteger(),
          p.FieldByName(1, "refPosition").AsInteger()};
}

// One segment: ErrNo of the reply.
inline int UploadSegment(TTestClient& c, const TFileSpec& f, std::int64_t offset,
                         std::int64_t segments = 1) {
  const std::int64_t end = std::min(f.Size(), offset + segments * kSeg);
  int err = 1;
  for (std::int64_t pos = offset; pos < end && err == 1; pos += kSeg) {
    const std::string data = f.content.substr(pos, std::min(kSeg, f.Size() - pos));
    TQorPack p = UploadRequest(f, pos, static_cast<std::int64_t>(data.size()));
    err = c.Call(p, data) ? p.ErrNo() : -1;
  }
  return err;
}

// Check, then send what the server asks for, as the client's engine does.
inline void Backup(TTestClient& c, const TFileSpec& f) {
  TCheckAnswer a = Check(c, f);
  ASSERT_EQ(a.errNo, 1);
  if (a.action == 1 && f.Size() > 0) {
    ASSERT_EQ(UploadSegment(c, f, a.position, f.Size()), 1);
  }
}

// Downloads the version chosen by (size, date) segment by segment until an
// empty segment; ErrNo of the first failing call in *err.
inline std::string Restore(TTestClient& c, const TFileSpec& f, std::int64_t size, std::int64_t date,
                           int* err = nullptr) {
  std::string all;
  for (std::int64_t order = 1;; ++order) {
    TQorPack p = DownloadRequest(f, size, date, order);
    std::string data;
    const bool ok = c.Call(p, {}, &data);
    if (!ok || p.ErrNo() != 1) {
      if (err) *err = ok ? p.ErrNo() : -1;
      return all;
    }
    if (err) *err = 1;
    if (data.empty()) return all;
    all += data;
  }
}
inline std::string Restore(TTestClient& c, const TFileSpec& f, int* err = nullptr) {
  return Restore(c, f, f.Size(), f.date, err);
}

// Every record set of a reply as name -> value.
inline std::vector<std::map<std::string, std::string>> Records(
    TQorPack& p, const std::vector<std::string>& fields) {
  std::vector<std::map<std::string, std::string>> out;
  for (int n = 1; n <= p.RecordSetCount(); ++n) {
    auto& r = out.emplace_back();
    for (const auto& f : fields) r[f] = p.FieldByName(n, f).AsString();
  }
  return out;
}

struct TListing {
  int errNo = -1;
  std::vector<std::map<std::string, std::string>> rows;
  // "name" for folders, "name:size:date:version" for files.
  std::vector<std::string> Brief() const {
    std::vector<std::string> out;
    for (const auto& r : rows)
      out.push_back(r.at("ObjectKind") == "1"
                        ? r.at("ObjectName") + "/"
                        : r.at("ObjectName") + ":" + r.at("ObjectSize") + ":" + r.at("ObjectDate") +
                              ":" + r.at("ObjectVersion"));
    return out;
  }
};

inline TListing Show(TTestClient& c, const std::string& user, int kind,
                     const std::string& relatePath) {
  TQorPack p = MakeRequest("TBrower.ShowFileObject", {{"UCode", user},
                                                      {"TaskKind", std::to_string(kind)},
                                                      {"RelatePath", relatePath},
                                                      {"IsInlcudeSubFolder", "1"}});
  if (!c.Call(p)) return {};
  return {p.ErrNo(), Records(p, {"ObjectName", "ObjectFolder", "ObjectKind", "ObjectSize",
                                 "ObjectDate", "ObjectVersion"})};
}

inline TQorPack RemoveRequest(const std::string& user, int kind, const std::string& folder,
                              const std::string& name, bool isFolder) {
  return MakeRequest("TBrower.RemoveFileObject", {{"UCode", user},
                                                  {"TaskKind", std::to_string(kind)},
                                                  {"ObjectFolder", folder},
                                                  {"ObjectName", name},
                                                  {"ObjectKind", isFolder ? "1" : "0"}});
}

inline TListing ShowTrash(TTestClient& c, const std::string& user, int kind) {
  TQorPack p =
      MakeRequest("TBrower.ShowTrashObject", {{"UCode", user}, {"TaskKind", std::to_string(kind)}});
  if (!c.Call(p)) return {};
  return {p.ErrNo(), Records(p, {"ObjectName", "ObjectKind", "ObjectSize", "ObjectDate",
                                 "AbsoluteObjectName"})};
}

// TBrower.RemoveTrashObject or TBrower.RevertTrashObject of a trash row.
inline TQorPack TrashRequest(const std::string& op, const std::string& user, int kind,
                             const std::map<std::string, std::string>& row) {
  return MakeRequest(op, {{"UAdmin", user},
                                {"UIPAddr", "127.0.0.1"},
                                {"UMAC", "00-0C-29-3A-5B-7C"},
                                {"UCode", user},
                                {"TaskKind", std::to_string(kind)},
                                {"ObjectKind", row.at("ObjectKind")},
                                {"ObjectName", row.at("ObjectName")},
                                {"ObjectSize", row.at("ObjectSize")},
                                {"ObjectDate", row.at("ObjectDate")},
                                {"AbsoluteObjectName", row.at("AbsoluteObjectName")}});
}

inline int TrashCall(TTestClient& c, const std::string& op, const std::string& user, int kind,
                     const std::map<std::string, std::string>& row) {
  TQorPack p = TrashRequest(op, user, kind, row);
  return c.Call(p) ? p.ErrNo() : -1;
}

inline int CountFiles(const std::filesystem::path& dir) {
  int n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       it != std::filesystem::recursive_directory_iterator(); ++it)
    if (it->is_regular_file()) ++n;
  return n;
}

}  // namespace solvane::testing
