#pragma once
// Checks a data directory against its own records: every version's blob is
// present with the recorded size, blob contents still match their names
// (all of them or a random share), no blob file lies unused, and SQLite finds
// its database file sound. Repair only ever moves unused blob files into a
// quarantine folder; a blob some version uses is never touched.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "storage/BlobStore.h"
#include "storage/Database.h"

namespace solvane::server {

struct TVerifyOptions {
  // Share of the used blobs whose contents are hashed again (0..100); the
  // presence and size of every used blob are checked whatever the share.
  double samplePercent = 100;
  // Move unused blob files into "quarantine" beside the blob folder.
  bool repair = false;
  // Blob files younger than this are not called unused: an upload may be
  // between placing its blob and recording its version.
  std::chrono::seconds orphanGrace{600};
  // Called now and then while hashing: blobs and bytes done of the total.
  std::function<void(std::uint64_t blobsDone, std::uint64_t blobsTotal, std::uint64_t bytesDone,
                     std::uint64_t bytesTotal)>
      progress;
  // Polled between blobs; true ends the run early (the report says so).
  std::function<bool()> cancelled;
};

// One version that uses a damaged blob.
struct TVersionUse {
  std::int64_t versionId = 0;
  std::string user;
  std::int64_t kind = 0;  // 100 backup, 200 sync, 500 mail, 171 share
  std::string path;       // folder/name as the client sent it
  std::int64_t size = 0;  // recorded size of the version
  std::string storedAt;
  bool inRecycleBin = false;
};

enum class BlobDamage {
  kMissing,     // no file for a blob some version uses
  kWrongSize,   // the file's length differs from the recorded size (truncated, grown)
  kWrongHash,   // the bytes no longer match the blob's hash
  kUnreadable,  // the file cannot be read
  kUnrecorded,  // versions use the blob, but the blob table lacks it or its size differs
};

struct TBlobProblem {
  BlobDamage damage;
  std::string sha256;
  std::filesystem::path file;
  std::string detail;
  std::vector<TVersionUse> uses;
};

struct TOrphanBlob {
  std::filesystem::path file;
  std::uint64_t size = 0;
  std::filesystem::path movedTo;  // set when repair moved it
  std::string repairError;        // set when repair could not move it
};

struct TVerifyReport {
  std::uint64_t versions = 0;
  std::uint64_t blobsUsed = 0;
  std::uint64_t blobsHashed = 0;
  std::uint64_t bytesHashed = 0;
  std::uint64_t blobFiles = 0;
  std::vector<TBlobProblem> problems;
  std::vector<TOrphanBlob> orphans;
  std::vector<std::string> databaseProblems;  // integrity_check lines other than "ok"
  bool cancelled = false;

  // True when something needs the administrator: a damaged or missing blob,
  // a database fault, or an unused blob file still in place.
  bool Damaged() const;
};

// Runs the checks. blobs is the store whose files are checked; db its
// database. Takes the database lock only for short reads, so the server keeps
// serving while its store is checked. Throws DatabaseError when the database
// cannot be read at all.
TVerifyReport VerifyStore(Database& db, const TFileBlobStore& blobs, const TVerifyOptions& options);

// The report as the administrator reads it: one block per problem naming the
// user, path and version concerned, then a summary line.
void WriteVerifyReport(const TVerifyReport& report, std::ostream& os);
// The summary line alone (for the server's log).
std::string VerifySummary(const TVerifyReport& report);

}  // namespace solvane::server
