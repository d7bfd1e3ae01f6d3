#pragma once
// What a file request addresses: the store (whose, which kind, and whether
// this session may use it that way) and the normalised path inside it.
// Client text is untrusted: anything that is not a clean path inside a store
// is refused before the store is touched.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/RequestContext.h"
#include "storage/FileStore.h"

namespace solvane::server {

inline constexpr std::size_t kMaxPathBytes = 4096;
inline constexpr std::size_t kMaxNameBytes = 255;

// A client folder as a store path: "\" becomes "/", one trailing "/" is
// dropped (not from the POSIX root "/"), the first component is a drive
// ("c:" becomes "C:") or the root "/". nullopt for an empty text, a
// relative path, ".", "..", empty components, control characters, text the
// frame cannot carry, or more than kMaxPathBytes.
std::optional<std::string> NormaliseFolder(std::string_view text);

// One component: not empty, no "/" or "\", not "." or "..", no control
// characters, at most kMaxNameBytes.
bool IsValidObjectName(std::string_view name);

// Packed DOS date-times ("ObjectDate") are unsigned 32-bit; a client may send
// one that went through a signed 32-bit integer. False when out of range.
bool NormaliseDosDateTime(std::int64_t& value);
// Whether a normalised value names a real date and time (1980-01-01 to
// 2107-12-31, seconds in 2 s steps).
bool IsPackedDateTime(std::int64_t value);

enum class StoreAccess {
  kRead,   // list, search, download
  kWrite,  // upload, delete, recycle bin
};

// The owner of the stores named by the request's "UCode" (empty: the
// caller). This is the one place that decides which user's stores a session
// may reach: its own, and for reading those MayViewStoresOf allows. Sets a
// failure reply and returns nullopt otherwise.
std::optional<std::string> ResolveStoreOwner(TRequestContext& ctx, StoreAccess access);
// ResolveStoreOwner and the store kind of "TaskKind" (100, 200 or 500).
std::optional<TStoreRef> ResolveStore(TRequestContext& ctx, StoreAccess access);

// The caller holds the right to delete stored data; a failure reply otherwise.
bool RequireDeleteRight(TRequestContext& ctx);

// A file named by folder and name fields. An empty folder is the POSIX root
// (a client strips the "/" of "/" like any trailing separator).
bool ReadFilePath(TRequestContext& ctx, std::string_view folderField, std::string_view nameField,
                  std::string& folder, std::string& name);

// A file or folder named by folder and name fields; an empty folder with a
// root name ("C:", "/") names a root folder.
bool ReadObjectPath(TRequestContext& ctx, std::string_view folderField, std::string_view nameField,
                    bool isFolder, std::string& folder, std::string& name);

// A field that must hold a full store path ("C:/docs/a.txt", "/", "C:").
bool ReadFullPath(TRequestContext& ctx, std::string_view field, std::string& folder,
                  std::string& name);

// The file store of the server this request runs on.
TFileStore FileStoreOf(TRequestContext& ctx);
// The outcome of a store call that says whether it found what it names:
// false, with the failure set, when the call failed (storage error) or found
// nothing (kErrNotFound with notFound).
bool FoundInStore(TRequestContext& ctx, const TStoreResult<bool>& found, std::string_view notFound);

}  // namespace solvane::server
