#pragma once
// File contents addressed by their SHA-256, stored once however many versions
// and users refer to them. The metadata (which version uses which blob) lives
// in the database; this store only keeps bytes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "storage/FileSystemSync.h"

namespace solvane::server {

// Blobs placed since the last sync: what must reach the disk before a
// version may refer to them (for files, the folders whose entries changed;
// none: nothing to sync).
struct TBlobSync {
  std::set<std::filesystem::path> folders;
};

enum class BlobPlacement {
  kMoved,    // the file (or the bytes given) is the blob now
  kPresent,  // the blob is recorded and in place; the file was left where it is
  kFailed,   // I/O failure; the file was left where it is
};

class IBlobStore {
 public:
  virtual ~IBlobStore() = default;
  // Moves a finished file into the store under its hash (hex), and notes in
  // `sync` what makes the move and the file's bytes durable. Many placements
  // share one Sync. `recorded`: the database knows the blob, so a blob in
  // place has its bytes on disk and the file is left where it is; a blob
  // in place that the database does not know may be the remains of a crash
  // before its sync and is replaced.
  virtual BlobPlacement Place(const std::filesystem::path& file, const std::string& sha256Hex,
                              bool recorded, TBlobSync& sync) = 0;
  // Writes bytes that arrived whole as the blob, under the same rules as
  // Place; kMoved when they were written.
  virtual BlobPlacement PlaceBytes(std::string_view bytes, const std::string& sha256Hex,
                                   bool recorded, TBlobSync& sync) = 0;
  // Undoes a placement that moved the file (no version came to use the
  // blob): the blob becomes `file` again. False on I/O failure.
  virtual bool Unplace(const std::string& sha256Hex, const std::filesystem::path& file) = 0;
  // Makes the placements noted in `sync` durable. False on I/O failure.
  virtual bool Sync(const TBlobSync& sync) = 0;
  virtual bool Has(const std::string& sha256Hex) const = 0;
  // Reads up to size bytes at offset into out; false when the blob is missing
  // or unreadable. Fewer bytes only at the end of the blob.
  virtual bool Read(const std::string& sha256Hex, std::uint64_t offset, std::size_t size,
                    std::string& out) const = 0;
  virtual std::optional<std::uint64_t> Size(const std::string& sha256Hex) const = 0;
  virtual bool Remove(const std::string& sha256Hex) = 0;
};

// Blobs as files under DIR/ab/abcdef... (first two hex digits as a folder).
// A Sync makes the whole file system durable at once: one wait for the disk
// for every file a batch moved in (a move succeeds only within one file
// system) and every folder it touched.
class TFileBlobStore : public IBlobStore {
 public:
  explicit TFileBlobStore(std::filesystem::path root);
  BlobPlacement Place(const std::filesystem::path& file, const std::string& sha256Hex,
                      bool recorded, TBlobSync& sync) override;
  BlobPlacement PlaceBytes(std::string_view bytes, const std::string& sha256Hex, bool recorded,
                           TBlobSync& sync) override;
  bool Unplace(const std::string& sha256Hex, const std::filesystem::path& file) override;
  bool Sync(const TBlobSync& sync) override;
  bool Has(const std::string& sha256Hex) const override;
  bool Read(const std::string& sha256Hex, std::uint64_t offset, std::size_t size,
            std::string& out) const override;
  std::optional<std::uint64_t> Size(const std::string& sha256Hex) const override;
  bool Remove(const std::string& sha256Hex) override;

  std::filesystem::path PathOf(const std::string& sha256Hex) const;

 private:
  bool EnsureFolder(const std::filesystem::path& folder, TBlobSync& sync);
  // Where blob h goes, its folder made; or how its placement ended already
  // (kPresent: recorded and in place; kFailed).
  std::optional<BlobPlacement> Prepare(const std::string& h, bool recorded, TBlobSync& sync,
                                       std::filesystem::path& target);

  std::filesystem::path m_root;
  TFileSystemSync m_disk;
};

// SHA-256 of a file's contents as lower-case hex; nullopt on read error.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);
std::string Sha256Hex(std::string_view bytes);

}  // namespace solvane::server
