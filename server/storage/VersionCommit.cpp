#include "storage/VersionCommit.h"

#include <iostream>
#include <map>

#include "storage/FileRows.h"

namespace solvane::server {

namespace {

// What the upload asks to record with its version (the run log) joins the
// version's transaction; when it fails, the version is stored without it.
void RunStoredHook(Database& db, const TUploadSegment& u) {
  if (!u.onStored) return;
  try {
    Transaction hook(db);
    u.onStored();
    hook.Commit();
  } catch (const std::exception& e) {
    std::cerr << "stored " << JoinPath(u.folder, u.name) << " without its log: " << e.what()
              << std::endl;
  }
}

// The version's rows, in a savepoint of the batch's transaction. Sets the
// outcome; a failure undoes this upload's rows and blob move only.
void StoreVersion(Database& db, TPendingVersion& v, TBlobSync& sync) {
  const TUploadSegment& u = v.segment;
  try {
    Transaction step(db);
    auto objectId = LiveObjectId(db, u.store, u.folder, u.name, false);
    auto newest = objectId ? NewestVersionOf(db, *objectId) : std::nullopt;
    if (newest && newest->sha256 == v.sha256 && newest->size == u.size &&
        newest->objectDate == u.objectDate) {
      // The same bytes again: no new version, but what the upload says of
      // them (a mail message's description) is kept.
      KeepCargo(db, *objectId, u);
      RunStoredHook(db, u);
      step.Commit();
      v.discardStaged = true;
      v.outcome = UploadOutcome::kStored;
      return;
    }
    // Counts the versions stored earlier in this batch: the running total
    // moves with every version row inserted.
    if (ExceedsQuota(db, u.store.user, u.size)) {
      v.outcome = UploadOutcome::kQuotaExceeded;
      return;
    }
    switch (v.blobs.Place(v.staged, v.sha256, sync)) {
      case BlobPlacement::kFailed:
        v.outcome = UploadOutcome::kIoError;
        return;
      case BlobPlacement::kPresent:
        v.discardStaged = true;
        break;
      case BlobPlacement::kMoved:
        v.movedToBlobs = true;
        break;
    }
    EnsureFolder(db, u.store, u.folder);
    const std::int64_t id = InsertObject(db, u.store, u.folder, u.name, false);
    Statement(db, "INSERT OR IGNORE INTO blobs(sha256, size) VALUES(?, ?)")
        .Bind(1, v.sha256)
        .Bind(2, u.size)
        .Run();
    Statement(db,
              "INSERT INTO versions(object_id, size, object_date, sha256, stored_dos) "
              "VALUES(?, ?, ?, ?, ?)")
        .Bind(1, id)
        .Bind(2, u.size)
        .Bind(3, u.objectDate)
        .Bind(4, v.sha256)
        .Bind(5, NowAsDosDateTime())
        .Run();
    KeepCargo(db, id, u);
    RunStoredHook(db, u);
    step.Commit();
    v.outcome = UploadOutcome::kStored;
  } catch (const std::exception& e) {
    std::cerr << "version of " << JoinPath(u.folder, u.name) << " not stored: " << e.what()
              << std::endl;
    if (v.movedToBlobs) v.blobs.Unplace(v.sha256, v.staged);
    v.movedToBlobs = false;
    v.discardStaged = false;
    v.outcome = UploadOutcome::kIoError;
  }
}

// Nothing of the batch was committed: its blobs go back to their staged
// files (so a later upload can resume from them) and no upload is stored.
void FailBatch(const std::vector<TPendingVersion*>& batch) {
  for (auto it = batch.rbegin(); it != batch.rend(); ++it) {
    TPendingVersion& v = **it;
    if (v.movedToBlobs) v.blobs.Unplace(v.sha256, v.staged);
    v.movedToBlobs = false;
    v.discardStaged = false;
    if (v.outcome == UploadOutcome::kStored) v.outcome = UploadOutcome::kIoError;
  }
}

// True when every version stored in the batch reached the disk.
bool StoreAndCommit(Database& db, const std::vector<TPendingVersion*>& batch) {
  try {
    std::map<IBlobStore*, TBlobSync> syncs;
    Transaction tx(db);
    for (TPendingVersion* v : batch) {
      StoreVersion(db, *v, syncs[&v->blobs]);
      // SQLite ends a transaction by itself on some failures (a full disk):
      // what the batch wrote before is gone, so nothing of it may be
      // acknowledged.
      if (!db.InTransaction()) throw DatabaseError("the batch's transaction was rolled back");
    }
    for (auto& [blobs, sync] : syncs)
      if (!blobs->Sync(sync)) throw DatabaseError("the blob folders could not be synced");
    tx.Commit();
    return true;
  } catch (const std::exception& e) {
    std::cerr << "a batch of " << batch.size() << " uploads was not stored: " << e.what()
              << std::endl;
    return false;
  }
}

}  // namespace

void CommitVersions(Database& db, const std::vector<TCommitQueue::TJob*>& jobs) {
  std::vector<TPendingVersion*> batch;
  std::vector<std::string> shas;
  for (TCommitQueue::TJob* j : jobs) {
    batch.push_back(static_cast<TPendingVersion*>(j));
    shas.push_back(batch.back()->sha256);
  }
  auto stripes = LockBlobStripes(shas);
  if (!StoreAndCommit(db, batch)) return FailBatch(batch);
  for (TPendingVersion* v : batch)
    if (v->outcome == UploadOutcome::kStored && v->discardStaged) v->staging.Discard(v->key);
}

}  // namespace solvane::server
