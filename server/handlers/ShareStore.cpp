#include "handlers/ShareStore.h"

#include "handlers/ClientText.h"
#include "handlers/StorePath.h"

namespace solvane::server {

// Moves the object into the recycle bin and purges it there at once: the
// share area keeps no recycle bin. False when there is no such object.
TStoreResult<bool> DeleteForGood(TFileStore& files, const TStoreRef& store,
                                 const std::string& folder, const std::string& name,
                                 bool isFolder) {
  auto moved = files.MoveToTrash(store, folder, name, isFolder);
  if (!moved.Ok() || !*moved) return moved;
  auto purged = files.PurgeTrash(store, TTrashSelector{folder, name, isFolder, -1, -1});
  if (!purged.Ok()) return purged;
  return true;
}

TStoreResult<void> PurgeShareFiles(TFileStore& files, const TShareFolder& f) {
  auto deleted = DeleteForGood(files, ShareStoreOf(f), "/", std::to_string(f.id), true);
  if (!deleted.Ok()) return TStoreError{deleted.Error()};
  return {};
}

TStoreResult<bool> RemoveShareFile(TFileStore& files, const TShareFolder& f,
                                   const std::string& name) {
  return DeleteForGood(files, ShareStoreOf(f), ShareStoreFolder(f.id), name, false);
}

bool IsValidShareName(std::string_view name) { return IsValidObjectName(name); }

bool IsValidShareComment(std::string_view comment) {
  return IsFrameSafeText(comment, kMaxShareCommentBytes);
}

bool IsValidSharePassword(std::string_view password) {
  return IsFrameSafeText(password, kMaxSharePasswordBytes);
}

}  // namespace solvane::server
