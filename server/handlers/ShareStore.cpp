#include "handlers/ShareStore.h"

#include "handlers/ClientText.h"
#include "handlers/StorePath.h"

namespace solvane::server {

void PurgeShareFiles(TFileStore& files, const TShareFolder& f) {
  const TStoreRef store = ShareStoreOf(f);
  const std::string name = std::to_string(f.id);
  if (files.MoveToTrash(store, "/", name, true))
    files.PurgeTrash(store, TTrashSelector{"/", name, true, -1, -1});
}

bool RemoveShareFile(TFileStore& files, const TShareFolder& f, const std::string& name) {
  const TStoreRef store = ShareStoreOf(f);
  const std::string folder = ShareStoreFolder(f.id);
  // The share area keeps no recycle bin: the deletion is purged at once.
  if (!files.MoveToTrash(store, folder, name, false)) return false;
  files.PurgeTrash(store, TTrashSelector{folder, name, false, -1, -1});
  return true;
}

bool IsValidShareName(std::string_view name) { return IsValidObjectName(name); }

bool IsValidShareComment(std::string_view comment) {
  return IsFrameSafeText(comment, kMaxShareCommentBytes);
}

bool IsValidSharePassword(std::string_view password) {
  return IsFrameSafeText(password, kMaxSharePasswordBytes);
}

}  // namespace solvane::server
