#include "storage/BlobStore.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace solvane::server {

namespace fs = std::filesystem;

namespace {
bool IsHex64(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string ToHex(const unsigned char* d, unsigned n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (unsigned i = 0; i < n; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

const fs::path& CreatedFolder(const fs::path& folder) {
  fs::create_directories(folder);
  return folder;
}
}  // namespace

TFileBlobStore::TFileBlobStore(fs::path root)
    : m_root(std::move(root)), m_disk(CreatedFolder(m_root)) {}

fs::path TFileBlobStore::PathOf(const std::string& h) const { return m_root / h.substr(0, 2) / h; }

bool TFileBlobStore::EnsureFolder(const fs::path& folder, TBlobSync& sync) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  fs::create_directory(folder, ec);
  if (ec) return false;
  sync.folders.insert(m_root);  // the new folder's own entry
  return true;
}

std::optional<BlobPlacement> TFileBlobStore::Prepare(const std::string& h, bool recorded,
                                                     TBlobSync& sync, fs::path& target) {
  if (!IsHex64(h)) return BlobPlacement::kFailed;
  std::error_code ec;
  target = PathOf(h);
  if (recorded && fs::exists(target, ec)) return BlobPlacement::kPresent;
  if (!EnsureFolder(target.parent_path(), sync)) return BlobPlacement::kFailed;
  return std::nullopt;
}

BlobPlacement TFileBlobStore::Place(const fs::path& file, const std::string& h, bool recorded,
                                    TBlobSync& sync) {
  fs::path target;
  if (auto ended = Prepare(h, recorded, sync, target)) return *ended;
  std::error_code ec;
  fs::rename(file, target, ec);
  if (ec) return BlobPlacement::kFailed;
  sync.folders.insert(target.parent_path());
  return BlobPlacement::kMoved;
}

// Written in place, without a temporary name: a blob file the database does
// not know is never read, and a torn one (a crash before the sync) is
// replaced by the next upload of its bytes.
BlobPlacement TFileBlobStore::PlaceBytes(std::string_view bytes, const std::string& h,
                                         bool recorded, TBlobSync& sync) {
  fs::path target;
  if (auto ended = Prepare(h, recorded, sync, target)) return *ended;
  int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return BlobPlacement::kFailed;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  if (done < bytes.size() || !closed) {
    std::error_code ec;
    fs::remove(target, ec);
    return BlobPlacement::kFailed;
  }
  sync.folders.insert(target.parent_path());
  return BlobPlacement::kMoved;
}

bool TFileBlobStore::Unplace(const std::string& h, const fs::path& file) {
  std::error_code ec;
  if (!IsHex64(h)) return false;
  fs::rename(PathOf(h), file, ec);
  return !ec;
}

bool TFileBlobStore::Sync(const TBlobSync& sync) {
  return sync.folders.empty() || m_disk.Sync();
}

bool TFileBlobStore::Has(const std::string& h) const {
  std::error_code ec;
  return IsHex64(h) && fs::exists(PathOf(h), ec);
}

bool TFileBlobStore::Read(const std::string& h, std::uint64_t offset, std::size_t size,
                          std::string& out) const {
  out.clear();
  if (!IsHex64(h)) return false;
  int fd = ::open(PathOf(h).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out.resize(size);
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(got);
  return true;
}

std::optional<std::uint64_t> TFileBlobStore::Size(const std::string& h) const {
  std::error_code ec;
  if (!IsHex64(h)) return std::nullopt;
  auto s = fs::file_size(PathOf(h), ec);
  if (ec) return std::nullopt;
  return s;
}

bool TFileBlobStore::Remove(const std::string& h) {
  std::error_code ec;
  return IsHex64(h) && fs::remove(PathOf(h), ec);
}

std::optional<std::string> Sha256OfFile(const fs::path& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
  std::unique_ptr<char[]> buf(new char[1 << 20]);
  for (;;) {
    ssize_t n = ::read(fd, buf.get(), 1 << 20);
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    EVP_DigestUpdate(ctx.get(), buf.get(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  EVP_DigestFinal_ex(ctx.get(), d, &len);
  return ToHex(d, len);
}

std::string Sha256Hex(std::string_view bytes) {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  EVP_Digest(bytes.data(), bytes.size(), d, &len, EVP_sha256(), nullptr);
  return ToHex(d, len);
}

}  // namespace solvane::server
