#include "api/BrowseApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

TStoreEntry ReadEntry(TQorPack& r, int n) {
  TStoreEntry e;
  e.ObjectName = Text(r, n, "ObjectName");
  e.ObjectFolder = Text(r, n, "ObjectFolder");
  e.ObjectKind = Integer(r, n, "ObjectKind");
  e.ObjectSize = Integer(r, n, "ObjectSize");
  e.ObjectDate = Integer(r, n, "ObjectDate");
  e.ObjectVersion = Integer(r, n, "ObjectVersion");
  return e;
}

// Remove and revert name the entry with the same fields in the same order.
TApiStatus TrashCall(const char* operation, const TApiLink& link, const TCaller& from,
                     const std::string& userCode, std::int32_t taskKind, const TTrashEntry& e) {
  TQorPack p = NewFrame(operation);
  const bool isFolder = e.ObjectKind > 0;
  AddAddress(p, 1, from);
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "TaskKind", taskKind);
  p.AddInteger(1, "ObjectKind", e.ObjectKind);
  p.AddString(1, "ObjectName", e.ObjectName);
  p.AddInteger(1, "ObjectSize", isFolder ? -1 : e.ObjectSize);
  p.AddInteger(1, "ObjectDate", isFolder ? -1 : e.ObjectDate);
  p.AddString(1, "AbsoluteObjectName", e.AbsoluteObjectName);
  return link.Call(p);
}

}  // namespace

TApiResult<std::vector<TStoreEntry>> BrowerShowFileObject(const TApiLink& link,
                                                         const std::string& viewUser,
                                                         std::int32_t taskKind,
                                                         const std::string& relatePath) {
  TQorPack p = NewFrame("TBrower.ShowFileObject");
  p.AddString(1, "UCode", viewUser);
  p.AddInteger(1, "TaskKind", taskKind);
  p.AddString(1, "RelatePath", relatePath);
  p.AddString(1, "IsInlcudeSubFolder", "1");
  return CallForRows<TStoreEntry>(link, p, ReadEntry);
}

TApiResult<std::vector<TStoreEntry>> BrowerSeekFileObject(const TApiLink& link,
                                                         const TSeekRequest& q) {
  TQorPack p = NewFrame("TBrower.SeekFileObject");
  p.AddString(1, "UCode", q.UCode);
  p.AddString(1, "ObjectNameSR", q.ObjectNameSR);
  p.AddBoolean(1, "SizeIncluded", q.SizeIncluded);
  p.AddInteger(1, "ObjectSize_Min", q.ObjectSize_Min);
  p.AddInteger(1, "ObjectSize_Max", q.ObjectSize_Max);
  p.AddBoolean(1, "DateIncluded", q.DateIncluded);
  p.AddInteger(1, "ObjectDate_Min", q.ObjectDate_Min);
  p.AddInteger(1, "ObjectDate_Max", q.ObjectDate_Max);
  p.AddBoolean(1, "OnlyLastVersion", q.OnlyLastVersion);
  return CallForRows<TStoreEntry>(link, p, ReadEntry);
}

TApiStatus BrowerRemoveFileObject(const TApiLink& link, const std::string& viewUser,
                                  std::int32_t taskKind, const TStoreEntry& o) {
  TQorPack p = NewFrame("TBrower.RemoveFileObject");
  const bool isFolder = o.ObjectKind == 1;
  p.AddString(1, "UCode", viewUser);
  p.AddInteger(1, "TaskKind", taskKind);
  // The backup area names the folder first, the sync area the name.
  if (taskKind == 200) {
    p.AddString(1, "ObjectName", o.ObjectName);
    p.AddString(1, "ObjectFolder", o.ObjectFolder);
  } else {
    p.AddString(1, "ObjectFolder", o.ObjectFolder);
    p.AddString(1, "ObjectName", o.ObjectName);
  }
  p.AddInteger(1, "ObjectKind", isFolder ? 1 : 0);
  if (!isFolder) {
    p.AddInteger(1, "ObjectSize", o.ObjectSize);
    p.AddInteger(1, "ObjectDate", o.ObjectDate);
  }
  return link.Call(p);
}

TApiResult<std::vector<TStoreMailFolder>> BrowerShowMCObjectFolder(const TApiLink& link,
                                                                  const std::string& userCode,
                                                                  const std::string& kindName) {
  TQorPack p = NewFrame("TBrower.ShowMCObject_Folder");
  p.AddString(1, "UCode", userCode);
  p.AddString(1, "MCKindName", kindName);
  return CallForRows<TStoreMailFolder>(link, p, [](TQorPack& r, int n) {
    return TStoreMailFolder{Text(r, n, "ObjectName"), Text(r, n, "ObjectFolder")};
  });
}

TApiResult<std::vector<TStoreMailMessage>> BrowerShowMCObjectMessage(
    const TApiLink& link, const std::string& userCode, const std::string& kindName,
    std::int64_t folderId, std::optional<std::int64_t> parentId) {
  TQorPack p = NewFrame("TBrower.ShowMCObject_Message");
  p.AddString(1, "UCode", userCode);
  p.AddString(1, "MCKindName", kindName);
  p.AddInteger(1, "MCFolder", folderId);
  if (parentId) p.AddInteger(1, "MCFolderParentID", *parentId);
  return CallForRows<TStoreMailMessage>(link, p, [](TQorPack& r, int n) {
    TStoreMailMessage m;
    m.Entry = ReadEntry(r, n);
    m.ObjectData = Integer(r, n, "ObjectData");
    m.ObjectCargo = Text(r, n, "ObjectCargo");
    m.ObjectCargo2 = Text(r, n, "ObjectCargo2");
    return m;
  });
}

TApiResult<std::vector<TTrashEntry>> BrowerShowTrashObject(const TApiLink& link,
                                                          const std::string& userCode,
                                                          std::int32_t taskKind) {
  TQorPack p = NewFrame("TBrower.ShowTrashObject");
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "TaskKind", taskKind);
  return CallForRows<TTrashEntry>(link, p, [](TQorPack& r, int n) {
    TTrashEntry e;
    e.ObjectName = Text(r, n, "ObjectName");
    e.ObjectKind = Integer(r, n, "ObjectKind");
    e.ObjectSize = Integer(r, n, "ObjectSize");
    e.ObjectDate = Integer(r, n, "ObjectDate");
    e.AbsoluteObjectName = Text(r, n, "AbsoluteObjectName");
    return e;
  });
}

TApiStatus BrowerRemoveTrashObject(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskKind,
                                   const TTrashEntry& entry) {
  return TrashCall("TBrower.RemoveTrashObject", link, from, userCode, taskKind, entry);
}

TApiStatus BrowerRevertTrashObject(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskKind,
                                   const TTrashEntry& entry) {
  return TrashCall("TBrower.RevertTrashObject", link, from, userCode, taskKind, entry);
}

}  // namespace solvane::api
