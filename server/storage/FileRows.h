#pragma once
// The rows of the file store that both the store (server/storage/FileStore)
// and the batches of completed uploads (server/storage/VersionCommit) write.
// Every caller holds the database lock.

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/FileStore.h"

namespace solvane::server {

// The id of a live (not deleted) object at folder/name.
std::optional<std::int64_t> LiveObjectId(Database& db, const TStoreRef& s,
                                         const std::string& folder, const std::string& name,
                                         bool isFolder);
// The live object, created when missing.
std::int64_t InsertObject(Database& db, const TStoreRef& s, const std::string& folder,
                          const std::string& name, bool isFolder);
// The folder and every folder above it exist as live objects.
void EnsureFolder(Database& db, const TStoreRef& s, const std::string& path);
std::optional<TVersion> NewestVersionOf(Database& db, std::int64_t objectId);
// True when `bytes` more would push the user beyond his space.
bool ExceedsQuota(Database& db, const std::string& user, std::int64_t bytes);
// What an upload says of its object (a mail message's description).
void KeepCargo(Database& db, std::int64_t objectId, const TUploadSegment& u);
// The hashes among `sha256s` that have a blob row. A row is written only
// in the transaction of a version whose blob was on disk before it.
std::set<std::string> RecordedBlobs(Database& db, const std::vector<std::string>& sha256s);
// The current local time as a packed DOS date-time.
std::int64_t NowAsDosDateTime();

// Held from placing a blob until its version row commits, and while a blob
// is checked for users and removed: a blob is never removed under a version
// that is about to refer to it.
std::mutex& BlobStripe(const std::string& sha256);
// The stripes of every hash, each locked once and all in one order, so that
// batches and single removals never wait for each other in a circle.
std::vector<std::unique_lock<std::mutex>> LockBlobStripes(const std::vector<std::string>& sha256s);

}  // namespace solvane::server
