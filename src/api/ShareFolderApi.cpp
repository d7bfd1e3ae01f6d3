#include "api/ShareFolderApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

TApiResult<std::vector<TShareFolderEntry>> ShareFolderSelectFolder(const TApiLink& link) {
  TQorPack p = NewFrame("TShareFolder.SelectFolder");
  TApiStatus status = link.Call(p);
  if (!status) return status;
  std::vector<TShareFolderEntry> folders;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n) {
    TShareFolderEntry f;
    f.ID = p.FieldByName(n, "ID").AsInteger();
    f.ParentID = p.FieldByName(n, "ParentID").AsInteger();
    f.Name = p.FieldByName(n, "Name").AsString();
    f.Owner = p.FieldByName(n, "Ownner").AsString();
    f.Comment = p.FieldByName(n, "Comment").AsString();
    f.IsReadOnly = p.FieldByName(n, "IsReadOnly").AsBoolean();
    f.HasPassword = !p.FieldByName(n, "AccessPwd").AsString().empty();
    folders.push_back(std::move(f));
  }
  return {status, std::move(folders)};
}

TApiResult<std::vector<TShareFileEntry>> ShareFolderSelect(const TApiLink& link,
                                                          std::int64_t folderId,
                                                          const std::string& password) {
  TQorPack p = NewFrame("TShareFolder.Select");
  p.AddInteger(1, "FolderID", folderId);
  p.AddString(1, "AccessPwd", password);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  std::vector<TShareFileEntry> files;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n)
    files.push_back({p.FieldByName(n, "ObjectName").AsString(),
                     p.FieldByName(n, "ObjectSize").AsInteger(),
                     p.FieldByName(n, "ObjectDate").AsInteger()});
  return {status, std::move(files)};
}

namespace {

// "Name" to "Owner", the fields Insert and Update share in this order.
void AddFolderFields(TQorPack& p, const TShareFolderFields& f) {
  p.AddString(1, "Name", f.Name);
  p.AddString(1, "Comment", f.Comment);
  p.AddBoolean(1, "IsReadOnly", f.IsReadOnly);
  p.AddString(1, "Owner", f.Owner);
}

}  // namespace

TApiResult<std::int64_t> ShareFolderInsert(const TApiLink& link, const TCaller& caller,
                                           const TShareFolderFields& folder) {
  TQorPack p = NewFrame("TShareFolder.Insert");
  AddAddress(p, 1, caller);
  p.AddInteger(1, "ParentFolderID", folder.ParentFolderID);
  AddFolderFields(p, folder);
  p.AddString(1, "AccessPwd", folder.Password);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  if (p.RecordSetCount() < 1)
    return TApiStatus::Failed(TApiFailure::BadReply, "TShareFolder.Insert gave no folder ID");
  return {status, p.FieldByName(1, "FolderID").AsInteger()};
}

TApiStatus ShareFolderUpdate(const TApiLink& link, const TCaller& caller, std::int64_t folderId,
                             const TShareFolderFields& folder) {
  TQorPack p = NewFrame("TShareFolder.Update");
  AddAddress(p, 1, caller);
  p.AddInteger(1, "FolderID", folderId);
  p.AddInteger(1, "ParentFolderID", folder.ParentFolderID);
  AddFolderFields(p, folder);
  p.AddString(1, "Pwd", folder.Password);
  return link.Call(p);
}

TApiStatus ShareFolderRemoveFolder(const TApiLink& link, const TCaller& caller,
                                   std::int64_t folderId) {
  TQorPack p = NewFrame("TShareFolder.RemoveFolder");
  AddAddress(p, 1, caller);
  p.AddInteger(1, "FolderID", folderId);
  return link.Call(p);
}

TApiStatus ShareFolderRemove(const TApiLink& link, const TCaller& caller, std::int64_t folderId,
                             const TShareFileEntry& file) {
  TQorPack p = NewFrame("TShareFolder.Remove");
  AddAddress(p, 1, caller);
  p.AddString(1, "UCode", caller.UserCode);
  p.AddInteger(1, "FolderID", folderId);
  p.AddString(1, "ObjectName", file.ObjectName);
  p.AddInteger(1, "ObjectKind", 0);
  p.AddInteger(1, "ObjectSize", file.ObjectSize);
  p.AddInteger(1, "ObjectDate", file.ObjectDate);
  return link.Call(p);
}

}  // namespace solvane::api
