#include "handlers/StorePath.h"

#include <algorithm>
#include <cctype>

#include "storage/PermissionStore.h"
#include "storage/UserStore.h"

namespace solvane::server {

namespace {

// Control characters, and the one text a frame value cannot hold.
bool HasForbiddenText(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return true;
  std::string lower(s);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("</recordset>") != std::string::npos;
}

bool IsDrive(std::string_view c) {
  return c.size() == 2 && std::isalpha(static_cast<unsigned char>(c[0])) && c[1] == ':';
}

bool BadPath(TRequestContext& ctx, std::string_view field) {
  return ctx.Fail(kErrBadRequest, std::string(field) + " is not a valid path inside the store");
}

}  // namespace

bool IsValidObjectName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameBytes && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos && !HasForbiddenText(name);
}

std::optional<std::string> NormaliseFolder(std::string_view text) {
  if (text.empty() || text.size() > kMaxPathBytes || HasForbiddenText(text)) return std::nullopt;
  std::string p(text);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.size() > 1 && p.back() == '/') p.pop_back();

  std::string out;
  std::string_view rest;
  if (p.front() == '/') {
    out = "/";
    rest = std::string_view(p).substr(1);
    if (rest.empty()) return out;
  } else {
    const auto slash = p.find('/');
    std::string drive = p.substr(0, slash);
    if (!IsDrive(drive)) return std::nullopt;
    drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    out = drive;
    if (slash == std::string::npos) return out;
    rest = std::string_view(p).substr(slash + 1);
  }
  for (;;) {
    const auto slash = rest.find('/');
    std::string_view component = rest.substr(0, slash);
    if (!IsValidObjectName(component)) return std::nullopt;
    out = JoinPath(out, component);
    if (slash == std::string_view::npos) break;
    rest = rest.substr(slash + 1);
  }
  return out;
}

bool NormaliseDosDateTime(std::int64_t& value) {
  if (value < INT32_MIN || value > UINT32_MAX) return false;
  if (value < 0) value += std::int64_t{1} << 32;
  return true;
}

bool IsPackedDateTime(std::int64_t value) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const auto date = static_cast<std::uint32_t>(value) >> 16;
  const auto time = static_cast<std::uint32_t>(value) & 0xFFFF;
  const int year = 1980 + static_cast<int>(date >> 9);
  const int month = static_cast<int>(date >> 5 & 0x0F), day = static_cast<int>(date & 0x1F);
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  if (month == 2 && day == 29 && !leap) return false;
  return (time >> 11) <= 23 && (time >> 5 & 0x3F) <= 59 && (time & 0x1F) <= 29;
}

std::optional<std::string> ResolveStoreOwner(TRequestContext& ctx, StoreAccess access) {
  std::string owner = ctx.Str("UCode");
  if (owner.empty()) owner = ctx.UserCode();
  // Another user's stores: read with his permission, written never.
  if (owner == ctx.UserCode()) return owner;
  if (access == StoreAccess::kRead) {
    auto may = MayViewStoresOf(ctx.Db(), ctx.UserCode(), owner);
    if (!may.Ok()) {
      ctx.FailStorage(may.Error());
      return std::nullopt;
    }
    if (*may) return owner;
  }
  ctx.Fail(kErrForbidden, access == StoreAccess::kRead
                              ? "the request names a store the user has no permission to view"
                              : "the stores of another user are not the user's to change");
  return std::nullopt;
}

std::optional<TStoreRef> ResolveStore(TRequestContext& ctx, StoreAccess access) {
  auto owner = ResolveStoreOwner(ctx, access);
  if (!owner) return std::nullopt;
  std::int64_t kind = 0;
  if (!ctx.RequireInt("TaskKind", kind)) return std::nullopt;
  if (kind != kBackupStore && kind != kSyncStore && kind != kMailStore) {
    ctx.Fail(kErrBadRequest, "no store of kind " + std::to_string(kind));
    return std::nullopt;
  }
  return TStoreRef{*owner, static_cast<int>(kind)};
}

bool RequireDeleteRight(TRequestContext& ctx) {
  auto user = TUserStore(ctx.Db()).Find(ctx.UserCode());
  if (!user.Ok()) return ctx.FailStorage(user.Error());
  if (*user && (*user)->canDelete) return true;
  return ctx.Fail(kErrForbidden, "the user may not delete stored data");
}

bool ReadFilePath(TRequestContext& ctx, std::string_view folderField, std::string_view nameField,
                  std::string& folder, std::string& name) {
  return ReadObjectPath(ctx, folderField, nameField, false, folder, name);
}

bool ReadObjectPath(TRequestContext& ctx, std::string_view folderField, std::string_view nameField,
                    bool isFolder, std::string& folder, std::string& name) {
  const std::string folderText = ctx.Str(folderField);
  name = ctx.Str(nameField);
  if (folderText.empty() && isFolder) {
    // A root of the store: "C:" or "/".
    auto root = NormaliseFolder(name);
    if (root && SplitPath(*root).first.empty()) {
      folder.clear();
      name = *root;
      return true;
    }
  }
  auto normal = folderText.empty() ? std::optional<std::string>("/") : NormaliseFolder(folderText);
  if (!normal) return BadPath(ctx, folderField);
  if (!IsValidObjectName(name)) return BadPath(ctx, nameField);
  folder = *normal;
  return true;
}

bool ReadFullPath(TRequestContext& ctx, std::string_view field, std::string& folder,
                  std::string& name) {
  auto path = NormaliseFolder(ctx.Str(field));
  if (!path) return BadPath(ctx, field);
  std::tie(folder, name) = SplitPath(*path);
  return true;
}

TFileStore FileStoreOf(TRequestContext& ctx) {
  return TFileStore(ctx.Db(), ctx.Services().blobs, ctx.Services().staging);
}

bool FoundInStore(TRequestContext& ctx, const TStoreResult<bool>& found, std::string_view notFound) {
  if (!found.Ok()) return ctx.FailStorage(found.Error());
  if (!*found) return ctx.Fail(kErrNotFound, notFound);
  return true;
}

}  // namespace solvane::server
