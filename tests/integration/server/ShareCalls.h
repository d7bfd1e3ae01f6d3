#pragma once
// The share-area calls as the client sends them (TShareFolder.*, and
// TUpDown.* with "TaskKind" 171), for the share and permission tests.

#include <cstdint>
#include <string>

#include "ServerProcess.h"
#include "StoreCalls.h"

namespace solvane::testing {

inline constexpr const char* kMarker = "******";

// ErrNo of the reply, -1 when no reply came.
inline int ErrOf(TTestClient& c, TQorPack& request, std::string* extraOut = nullptr,
                 const std::string& extraIn = {}) {
  return c.Call(request, extraIn, extraOut) ? request.ErrNo() : -1;
}

inline TQorPack InsertFolderRequest(const std::string& user, std::int64_t parent,
                                    const std::string& name, bool readOnly, const std::string& pwd,
                                    const std::string& comment = "") {
  return MakeRequest("TShareFolder.Insert", {{"UAdmin", user},
                                             {"UIPAddr", "127.0.0.1"},
                                             {"UMAC", "00-0C-29-3A-5B-7C"},
                                             {"ParentFolderID", std::to_string(parent)},
                                             {"Name", name},
                                             {"Comment", comment},
                                             {"IsReadOnly", readOnly ? "1" : "0"},
                                             {"Owner", user},
                                             {"AccessPwd", pwd}});
}

// The new folder's ID, or minus the ErrNo of a refusal.
inline std::int64_t InsertFolder(TTestClient& c, const std::string& user, std::int64_t parent,
                                 const std::string& name, bool readOnly = false,
                                 const std::string& pwd = "") {
  TQorPack p = InsertFolderRequest(user, parent, name, readOnly, pwd);
  const int err = ErrOf(c, p);
  return err == 1 ? p.FieldByName(1, "FolderID").AsInteger() : -err;
}

inline TQorPack UpdateFolderRequest(const std::string& user, std::int64_t id, std::int64_t parent,
                                    const std::string& name, bool readOnly, const std::string& pwd,
                                    const std::string& comment = "",
                                    const std::string& owner = "") {
  return MakeRequest("TShareFolder.Update", {{"UAdmin", user},
                                             {"UIPAddr", "127.0.0.1"},
                                             {"UMAC", "00-0C-29-3A-5B-7C"},
                                             {"FolderID", std::to_string(id)},
                                             {"ParentFolderID", std::to_string(parent)},
                                             {"Name", name},
                                             {"Comment", comment},
                                             {"IsReadOnly", readOnly ? "1" : "0"},
                                             {"Owner", owner.empty() ? user : owner},
                                             {"Pwd", pwd}});
}

inline TQorPack RemoveFolderRequest(const std::string& user, std::int64_t id) {
  return MakeRequest("TShareFolder.RemoveFolder", {{"UAdmin", user},
                                                   {"UIPAddr", "127.0.0.1"},
                                                   {"UMAC", "00-0C-29-3A-5B-7C"},
                                                   {"FolderID", std::to_string(id)}});
}

inline TQorPack RemoveFileRequest(const std::string& user, std::int64_t id,
                                  const std::string& name) {
  return MakeRequest("TShareFolder.Remove", {{"UAdmin", user},
                                             {"UIPAddr", "127.0.0.1"},
                                             {"UMAC", "00-0C-29-3A-5B-7C"},
                                             {"UCode", user},
                                             {"FolderID", std::to_string(id)},
                                             {"ObjectName", name},
                                             {"ObjectKind", "0"},
                                             {"ObjectSize", "0"},
                                             {"ObjectDate", "946164070"}});
}

inline TQorPack SelectFilesRequest(std::int64_t id, const std::string& pwd = "") {
  return MakeRequest("TShareFolder.Select", {{"FolderID", std::to_string(id)}, {"AccessPwd", pwd}});
}

struct TShareListing {
  int errNo = -1;
  std::vector<std::map<std::string, std::string>> rows;
  // "name:size:date" per file.
  std::vector<std::string> Brief() const {
    std::vector<std::string> out;
    for (const auto& r : rows)
      out.push_back(r.at("ObjectName") + ":" + r.at("ObjectSize") + ":" + r.at("ObjectDate"));
    return out;
  }
};

inline TShareListing SelectFiles(TTestClient& c, std::int64_t id, const std::string& pwd = "") {
  TQorPack p = SelectFilesRequest(id, pwd);
  const int err = ErrOf(c, p);
  return {err, Records(p, {"ObjectName", "ObjectSize", "ObjectDate"})};
}

inline TShareListing SelectFolders(TTestClient& c) {
  TQorPack p = MakeRequest("TShareFolder.SelectFolder", {});
  const int err = ErrOf(c, p);
  return {err,
          Records(p, {"ID", "ParentID", "Name", "Ownner", "Comment", "IsReadOnly", "AccessPwd"})};
}

// A file of a share folder as the share tasks send it: the local folder
// travels along but means nothing to the server.
struct TShareFile {
  std::string user;  // the signed-in user who transfers
  std::int64_t folderId = 0;
  std::string name;
  std::string content;
  std::int64_t date = 946164070;
  std::int64_t Size() const { return static_cast<std::int64_t>(content.size()); }
};

inline TQorPack ShareCheckRequest(const TShareFile& f) {
  return MakeRequest("TUpDown.Check", {{"UCode", f.user},
                                       {"TaskID", "946164070"},
                                       {"TaskKind", "171"},
                                       {"ObjectID", "1"},
                                       {"ObjectName", f.name},
                                       {"ObjectFolder", "C:\\Users\\me\\Desktop"},
                                       {"ObjectData", std::to_string(f.folderId)},
                                       {"ObjectCargo", ""},
                                       {"ObjectCargo2", ""},
                                       {"ObjectSize", std::to_string(f.Size())},
                                       {"ObjectDate", std::to_string(f.date)},
                                       {"Position", "0"},
                                       {"Action", "0"}});
}

inline TQorPack ShareUploadRequest(const TShareFile& f, std::int64_t offset, std::int64_t length) {
  return MakeRequest("TUpDown.UpLoad",
                     {{"UCode", f.user},
                      {"TaskID", "946164070"},
                      {"SessionID", "946164071"},
                      {"TaskKind", "171"},
                      {"ObjectName", f.name},
                      {"ObjectFolder", "C:\\Users\\me\\Desktop"},
                      {"ObjectData", std::to_string(f.folderId)},
                      {"ObjectCargo", ""},
                      {"ObjectCargo2", ""},
                      {"ObjectSize", std::to_string(f.Size())},
                      {"ObjectDate", std::to_string(f.date)},
                      {"SegmentCount", std::to_string((f.Size() + kSeg - 1) / kSeg)},
                      {"SegmentOrder", std::to_string(offset / kSeg + 1)},
                      {"Source_Offset", std::to_string(offset)},
                      {"Source_Size", std::to_string(length)}});
}

inline TQorPack ShareDownloadRequest(const TShareFile& f, std::int64_t order) {
  return MakeRequest("TUpDown.DownLoad",
                     {{"UCode", f.user},
                      {"TaskKind", "171"},
                      {"ObjectName", f.name},
                      {"ObjectFolder", ""},
                      {"ObjectData", std::to_string(f.folderId)},
                      {"ObjectCargo", "C:\\Downloads\\" + f.name},
                      {"ObjectCargo2", ""},
                      {"ObjectSize", std::to_string(f.Size())},
                      {"ObjectDate", std::to_string(f.date)},
                      {"SegmentCount", std::to_string((f.Size() + kSeg - 1) / kSeg)},
                      {"SegmentOrder", std::to_string(order)}});
}

// Check, then every segment the server asks for: ErrNo of the first refusal.
inline int ShareUpload(TTestClient& c, const TShareFile& f) {
  TQorPack check = ShareCheckRequest(f);
  if (int err = ErrOf(c, check); err != 1) return err;
  if (check.FieldByName(1, "Action").AsInteger() == 0) return 1;
  for (std::int64_t pos = check.FieldByName(1, "refPosition").AsInteger(); pos < f.Size();
       pos += kSeg) {
    const std::string data = f.content.substr(pos, std::min(kSeg, f.Size() - pos));
    TQorPack p = ShareUploadRequest(f, pos, static_cast<std::int64_t>(data.size()));
    if (int err = ErrOf(c, p, nullptr, data); err != 1) return err;
  }
  return 1;
}

// Every segment until an empty one; ErrNo of the first refusal in *err.
inline std::string ShareDownload(TTestClient& c, const TShareFile& f, int* err = nullptr) {
  std::string all;
  for (std::int64_t order = 1;; ++order) {
    TQorPack p = ShareDownloadRequest(f, order);
    std::string data;
    const int e = ErrOf(c, p, &data);
    if (err) *err = e;
    if (e != 1 || data.empty()) return all;
    all += data;
  }
}

}  // namespace solvane::testing
