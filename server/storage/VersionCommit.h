#pragma once
// Completed uploads become versions in batches (group commit). Each upload
// hashes its staged file (or the bytes of a file that came whole in one
// request, which are never staged) on its own worker thread, then joins the database's
// commit queue; the batch's leader moves every staged file into the blob
// store and makes the files and the moves durable with one sync (before it
// locks the database for the versions), then stores every version row in
// one transaction. A reply sent after that says the file is on disk.
//
// One upload's failure (its quota, its blob, its rows) is undone alone and
// does not fail the others; a failed sync or commit fails the whole batch,
// and then no upload of it is stored and each keeps its staged bytes (one
// that was never staged is sent again).

#include <filesystem>
#include <string>
#include <vector>

#include "storage/BlobStore.h"
#include "storage/CommitQueue.h"
#include "storage/Database.h"
#include "storage/FileStore.h"
#include "storage/StagingArea.h"

namespace solvane::server {

// A completed upload waiting for its batch: a staged file, or bytes that
// arrived whole in one request and were never staged.
struct TPendingVersion : TCommitQueue::TJob {
  TPendingVersion(const TUploadSegment& upload, TStagingKey stagingKey,
                  std::filesystem::path stagedFile, std::string sha, IBlobStore& blobStore,
                  TStagingArea& stagingArea)
      : segment(upload), key(std::move(stagingKey)), staged(std::move(stagedFile)),
        sha256(std::move(sha)), blobs(blobStore), staging(stagingArea) {}

  const TUploadSegment& segment;
  TStagingKey key;
  std::filesystem::path staged;  // complete; the batch syncs it. Empty: InMemory()
  std::string sha256;
  IBlobStore& blobs;
  TStagingArea& staging;

  // The bytes are segment.data, which outlives the batch.
  bool InMemory() const { return staged.empty(); }

  UploadOutcome outcome = UploadOutcome::kIoError;
  bool placed = false;        // the blob store holds its bytes
  bool movedToBlobs = false;  // this upload's file or bytes became the blob
};

// The batch work of Database::Commits() for TPendingVersion jobs: stores
// each version, or sets why not in its outcome.
void CommitVersions(Database& db, const std::vector<TCommitQueue::TJob*>& batch);

}  // namespace solvane::server
