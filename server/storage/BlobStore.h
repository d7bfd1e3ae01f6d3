#pragma once
// File contents addressed by their SHA-256, stored once however many versions
// and users refer to them. The metadata (which version uses which blob) lives
// in the database; this store only keeps bytes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace solvane::server {

class IBlobStore {
 public:
  virtual ~IBlobStore() = default;
  // Moves a finished file into the store under its hash (hex). When the blob
  // already exists the file is removed instead. False on I/O failure.
  virtual bool Adopt(const std::filesystem::path& file, const std::string& sha256Hex) = 0;
  virtual bool Has(const std::string& sha256Hex) const = 0;
  // Reads up to size bytes at offset into out; false when the blob is missing
  // or unreadable. Fewer bytes only at the end of the blob.
  virtual bool Read(const std::string& sha256Hex, std::uint64_t offset, std::size_t size,
                    std::string& out) const = 0;
  virtual std::optional<std::uint64_t> Size(const std::string& sha256Hex) const = 0;
  virtual bool Remove(const std::string& sha256Hex) = 0;
};

// Blobs as files under DIR/ab/abcdef... (first two hex digits as a folder).
class TFileBlobStore : public IBlobStore {
 public:
  explicit TFileBlobStore(std::filesystem::path root);
  bool Adopt(const std::filesystem::path& file, const std::string& sha256Hex) override;
  bool Has(const std::string& sha256Hex) const override;
  bool Read(const std::string& sha256Hex, std::uint64_t offset, std::size_t size,
            std::string& out) const override;
  std::optional<std::uint64_t> Size(const std::string& sha256Hex) const override;
  bool Remove(const std::string& sha256Hex) override;

  std::filesystem::path PathOf(const std::string& sha256Hex) const;

 private:
  std::filesystem::path m_root;
};

// SHA-256 of a file's contents as lower-case hex; nullopt on read error.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);
std::string Sha256Hex(std::string_view bytes);

}  // namespace solvane::server
