#include "api/MailApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

void AddFolder(TQorPack& p, const TMailFolderRef& folder) {
  p.AddString(1, "UCode", folder.UCode);
  p.AddString(1, "MCKindName", folder.MCKindName);
  p.AddInteger(1, "MCFolder", folder.MCFolder);
}

// The optional parent goes last, after the operation's own fields.
void AddParent(TQorPack& p, const TMailFolderRef& folder) {
  if (folder.MCFolderParentID) p.AddInteger(1, "MCFolderParentID", *folder.MCFolderParentID);
}

}  // namespace

TApiStatus BrowerRemoveMCFolder(const TApiLink& link, const TMailFolderRef& folder) {
  TQorPack p = NewFrame("TBrower.RemoveMC_Folder");
  AddFolder(p, folder);
  AddParent(p, folder);
  return link.Call(p);
}

TApiStatus BrowerRemoveMCMessage(const TApiLink& link, const TMailFolderRef& folder,
                                 const std::string& objectName, std::int64_t objectSize,
                                 std::int64_t objectDate) {
  TQorPack p = NewFrame("TBrower.RemoveMC_Message");
  AddFolder(p, folder);
  p.AddString(1, "ObjectName", objectName);
  p.AddInteger(1, "ObjectSize", objectSize);
  p.AddInteger(1, "ObjectDate", objectDate);
  AddParent(p, folder);
  return link.Call(p);
}

}  // namespace solvane::api
