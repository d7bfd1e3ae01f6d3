#pragma once
// The file stores of the users: objects (files and folders), their versions,
// uploads in progress and the recycle bin. Handlers validate and normalise
// the client's text first; everything here takes normalised store paths
// ("C:/docs", "/home/ann", the roots "C:" and "/").
//
// Uploads: a segment is written into the staging file of (store, object,
// size, date); when the staged length reaches the size, the file is hashed
// and joins a batch of completed uploads (storage/VersionCommit) that renames
// its files into the blob store, makes them durable with one sync and only
// then commits their version rows, all in one transaction. A crash in between
// leaves at most a blob without a version, which is never trusted.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/BlobStore.h"
#include "storage/CommitQueue.h"
#include "storage/Database.h"
#include "storage/StagingArea.h"
#include "storage/StoreResult.h"
#include "wire/QorWithProtocol.h"

namespace solvane::server {

struct TPendingVersion;

// kSegmentSize and the store kinds (kBackupStore, ...) are the protocol's.

struct TStoreRef {
  std::string user;
  int kind = 0;
};

// "C:/a" + "b" -> "C:/a/b"; "" + "C:" -> "C:"; "/" + "b" -> "/b".
std::string JoinPath(std::string_view folder, std::string_view name);
// The inverse: "C:/a/b" -> {"C:/a", "b"}; "/b" -> {"/", "b"}; "C:" -> {"", "C:"}.
std::pair<std::string, std::string> SplitPath(std::string_view path);

struct TVersion {
  std::int64_t id = 0;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
  std::string sha256;
};

// A live file's newest version and what its upload said of it: what a check
// of the file compares with.
struct TNewestFile {
  TVersion version;
  std::string cargo2;
};

struct TListedObject {
  std::string name;
  bool isFolder = false;
  std::int64_t size = -1;        // newest version; -1 for folders
  std::int64_t objectDate = -1;  // newest version; -1 for folders
  std::int64_t version = -1;     // number of the newest version (1, 2, ...); -1 for folders
};

struct TUploadSegment {
  TStoreRef store;
  std::string folder;
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
  std::int64_t offset = 0;
  std::string_view data;
  // Kept with the object (mail uploads describe their message with them).
  std::int64_t objectData = -1;
  std::string cargo;
  std::string cargo2;
  // Called when the upload completes and is stored, inside the transaction
  // that stores it (on whichever thread commits the batch), so that what it
  // writes becomes durable with the version. A DatabaseError it raises is
  // undone alone: the version is stored all the same.
  std::function<void()> onStored;

  // The whole file in this one segment: it is never staged, and its space
  // is checked only when its version is stored.
  bool IsWhole() const {
    return offset == 0 && size >= 0 && data.size() == static_cast<std::uint64_t>(size);
  }
};

enum class UploadOutcome {
  kStaged,         // written; more bytes to come
  kStored,         // complete: the newest version now holds these bytes
  kBeyondStaged,   // offset past what is staged
  kBeyondSize,     // data would run past the object's size
  kQuotaExceeded,  // the version would push the user beyond his space
  kIoError,
  kTwiceInOneRequest,  // UploadMany: a second segment of one staging file
};

struct TSeekQuery {
  std::string namePattern;                  // "*"/"?" wildcards, else a substring; case-insensitive
  std::int64_t minSize = -1, maxSize = -1;  // bytes, inclusive; -1 = no bound
  // Packed DOS date-times of the moment a version was stored, inclusive;
  // -1 = no bound.
  std::int64_t minStored = -1, maxStored = -1;
  bool onlyNewest = true;
  int limit = 1000;
};

struct TFoundVersion {
  int kind = 0;
  std::string folder;
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
  std::int64_t version = 0;
};

struct TTrashEntry {
  std::int64_t id = 0;
  bool isFolder = false;
  std::string folder;
  std::string name;
  std::int64_t size = -1;
  std::int64_t objectDate = -1;
};

// Names a deletion in the recycle bin: its path and kind; when several
// deletions share them, the one whose size and date match, else the latest.
struct TTrashSelector {
  std::string folder;
  std::string name;
  bool isFolder = false;
  std::int64_t size = -1;
  std::int64_t objectDate = -1;
};

struct TListingEntry {
  std::string name;
  bool isFolder = false;
};

// A file or folder of a store, by its folder and name.
struct TObjectRef {
  std::string folder;
  std::string name;
  bool isFolder = false;
};

// Bytes held by the versions of every store of the user, recycle bin
// included: the running total the database keeps (schema version 2).
std::int64_t UsedBytes(Database& db, const std::string& user);

// The plan SQLite chooses for NewestFile's lookup, one line per step
// (EXPLAIN QUERY PLAN), for the tests that keep it an index search.
std::vector<std::string> NewestFileQueryPlan(Database& db);

// Every call that reads or writes the database returns its value or the
// failed statement's message (TStoreResult); uploads report such a failure
// as UploadOutcome::kIoError.
class TFileStore {
 public:
  TFileStore(Database& db, IBlobStore& blobs, TStagingArea& staging);

  // The newest version of a live file, if any.
  TStoreResult<std::optional<TVersion>> NewestVersion(const TStoreRef& store,
                                                      const std::string& folder,
                                                      const std::string& name);
  // The same with the file's description, in one indexed lookup: a check of
  // an unchanged file costs no more.
  TStoreResult<std::optional<TNewestFile>> NewestFile(const TStoreRef& store,
                                                      const std::string& folder,
                                                      const std::string& name);
  // Where an upload of (size, date) resumes: the staged length rounded down
  // to a whole segment, and always below the size, so that the last segment
  // is sent again and completes the upload.
  std::int64_t ResumePosition(const TStoreRef& store, const std::string& folder,
                              const std::string& name, std::int64_t size, std::int64_t objectDate);
  // True when adding a version of `bytes` would exceed the user's space
  // (users.space_mb megabytes, counted over every version the user holds,
  // recycle bin included).
  TStoreResult<bool> WouldExceedQuota(const std::string& user, std::int64_t bytes);

  // Writes one segment; completes the version when the last byte arrives,
  // and then returns once the version is durable (or refused). Two uploads of
  // the same staging file are serialised.
  UploadOutcome Upload(const TUploadSegment& segment);
  // Several segments at once, as many uploads would, except that the files
  // they complete join one commit batch together. One outcome per segment.
  std::vector<UploadOutcome> UploadMany(const std::vector<TUploadSegment>& segments);

  // The newest version of a live file whose size and date match, else its
  // newest version.
  TStoreResult<std::optional<TVersion>> VersionForDownload(const TStoreRef& store,
                                                           const std::string& folder,
                                                           const std::string& name,
                                                           std::int64_t size,
                                                           std::int64_t objectDate);
  // Segment `order` (from 1) of the version; empty past the end. False when
  // the blob cannot be read.
  bool ReadSegment(const TVersion& version, std::int64_t order, std::string& out);

  // A live folder at this path ("" is the top level and always exists).
  TStoreResult<bool> FolderExists(const TStoreRef& store, const std::string& path);
  // The live children of a folder: folders first, then files, each by name.
  TStoreResult<std::vector<TListedObject>> List(const TStoreRef& store, const std::string& folder);
  // Files of the user's backup, sync and mail stores.
  TStoreResult<std::vector<TFoundVersion>> Seek(const std::string& user, const TSeekQuery& query);

  // Moves a file (every version) or a folder with its subtree into the
  // recycle bin as one deletion. False when there is no such live object.
  TStoreResult<bool> MoveToTrash(const TStoreRef& store, const std::string& folder,
                                 const std::string& name, bool isFolder);
  // Moves every object, one deletion each, or none when one of them is no
  // live object.
  TStoreResult<bool> MoveToTrash(const TStoreRef& store, const std::vector<TObjectRef>& objects);
  // The folder becomes exactly the listing: it and the listed subfolders
  // exist; live children not listed go to the recycle bin, one deletion each.
  TStoreResult<void> MirrorFolder(const TStoreRef& store, const std::string& folder,
                                  const std::vector<TListingEntry>& listing);

  // Deletions of the store, the latest first.
  TStoreResult<std::vector<TTrashEntry>> ListTrash(const TStoreRef& store);
  // Deletes a deletion's objects and versions for good, and the blobs that
  // no version uses any more. False when there is no such deletion.
  TStoreResult<bool> PurgeTrash(const TStoreRef& store, const TTrashSelector& selector);
  // Puts a deletion back in place (its folders recreated as needed). An
  // object that meanwhile exists again at the same path keeps its versions
  // and takes the reverted ones into its history as older versions.
  TStoreResult<bool> RevertTrash(const TStoreRef& store, const TTrashSelector& selector);

 private:
  void CommitBatch(const std::vector<TCommitQueue::TJob*>& jobs);
  static TStagingKey StagingKeyOf(const TUploadSegment& segment);
  UploadOutcome Accept(const TUploadSegment& segment, const TStagingKey& key,
                       std::unique_ptr<TPendingVersion>& version);
  UploadOutcome Stage(const TUploadSegment& segment, const TStagingKey& key);
  std::unique_ptr<TPendingVersion> Complete(const TUploadSegment& segment, const TStagingKey& key);
  void FreeUnusedBlobs(const std::vector<std::string>& sha256s);

  Database& m_db;
  IBlobStore& m_blobs;
  TStagingArea& m_staging;
};

}  // namespace solvane::server
