#include "storage/VersionCommit.h"

#include <iostream>
#include <map>
#include <set>

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

// The version's rows, in a savepoint of the batch's transaction; its blob is
// in place already. Sets the outcome; a failure undoes this upload's rows
// only.
void StoreVersion(Database& db, TPendingVersion& v) {
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
      v.outcome = UploadOutcome::kStored;
      return;
    }
    // Counts the versions stored earlier in this batch: the running total
    // moves with every version row inserted.
    if (ExceedsQuota(db, u.store.user, u.size)) {
      v.outcome = UploadOutcome::kQuotaExceeded;
      return;
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
    v.outcome = UploadOutcome::kIoError;
  }
}

// Every file of the batch into the blob store, then one sync per store for
// the files' bytes and the moves together, before the database is locked
// for the versions: checks and other requests wait only for the
// transaction. A blob the database does not know yet is (re)placed from
// the upload, so one left by a crash before its sync is never trusted. False
// when a sync failed (the moves are undone then).
bool PlaceBlobs(Database& db, const std::vector<TPendingVersion*>& batch) {
  std::vector<std::string> shas;
  for (TPendingVersion* v : batch) shas.push_back(v->sha256);
  std::set<std::string> recorded;
  {
    auto lock = db.Lock();
    recorded = RecordedBlobs(db, shas);
  }
  std::map<IBlobStore*, TBlobSync> syncs;
  for (TPendingVersion* v : batch) {
    v->outcome = UploadOutcome::kIoError;
    v->placed = v->movedToBlobs = false;
    const bool known = recorded.count(v->sha256) > 0;
    TBlobSync& sync = syncs[&v->blobs];
    const BlobPlacement placement =
        v->InMemory() ? v->blobs.PlaceBytes(v->segment.data, v->sha256, known, sync)
                      : v->blobs.Place(v->staged, v->sha256, known, sync);
    switch (placement) {
      case BlobPlacement::kFailed:
        break;
      case BlobPlacement::kPresent:
        v->placed = true;
        break;
      case BlobPlacement::kMoved:
        v->placed = v->movedToBlobs = true;
        // The same bytes later in this batch use this file.
        recorded.insert(v->sha256);
        break;
    }
  }
  bool synced = true;
  for (auto& [blobs, sync] : syncs) synced = blobs->Sync(sync) && synced;
  if (!synced) std::cerr << "the blob folders of a batch could not be synced" << std::endl;
  return synced;
}

// True when the batch's transaction committed.
bool StoreAndCommit(Database& db, const std::vector<TPendingVersion*>& batch) {
  try {
    Transaction tx(db);
    for (TPendingVersion* v : batch) {
      if (!v->placed) continue;
      StoreVersion(db, *v);
      // SQLite ends a transaction by itself on some failures (a full disk):
      // what the batch wrote before is gone, so nothing of it may be
      // acknowledged.
      if (!db.InTransaction()) throw DatabaseError("the batch's transaction was rolled back");
    }
    tx.Commit();
    return true;
  } catch (const std::exception& e) {
    std::cerr << "a batch of " << batch.size() << " uploads was not stored: " << e.what()
              << std::endl;
    return false;
  }
}

// After the commit: a stored upload's staged file is gone (moved, or not
// needed since the blob existed); an upload that was not stored gets its
// moved file back (a blob written from its bytes is removed), unless a
// stored upload of the same bytes uses the blob.
void Settle(const std::vector<TPendingVersion*>& batch, bool committed) {
  std::set<std::string> used;
  for (TPendingVersion* v : batch) {
    if (!committed && v->outcome == UploadOutcome::kStored) v->outcome = UploadOutcome::kIoError;
    if (v->outcome == UploadOutcome::kStored) used.insert(v->sha256);
  }
  for (TPendingVersion* v : batch) {
    if (v->outcome == UploadOutcome::kStored) {
      if (!v->movedToBlobs && !v->InMemory()) v->staging.Discard(v->key);
    } else if (v->movedToBlobs && !used.count(v->sha256)) {
      if (v->InMemory())
        v->blobs.Remove(v->sha256);
      else
        v->blobs.Unplace(v->sha256, v->staged);
    }
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
  // Held until the batch settled: no blob of it is removed meanwhile.
  auto stripes = LockBlobStripes(shas);
  const bool committed = PlaceBlobs(db, batch) && StoreAndCommit(db, batch);
  Settle(batch, committed);
}

}  // namespace solvane::server
