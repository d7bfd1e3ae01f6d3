#include "handlers/MailStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <deque>
#include <map>
#include <set>

#include "wire/QorWithText.h"

namespace solvane::server {

namespace {

constexpr std::array<const char*, 3> kClientNames = {"Foxmail", "Outlook", "OutlookExpress"};
constexpr std::size_t kMaxDescriptionBytes = 65536;
constexpr std::int64_t kMaxFolderId = 0x7FFFFFFF;  // the low 32 bits the client sends

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A decimal number written the one way the client writes it ("-1", "3001").
std::optional<std::int64_t> ParseCanonical(std::string_view text) {
  std::int64_t v = 0;
  if (!ParseInt64(text, v) || std::to_string(v) != text) return std::nullopt;
  return v;
}

std::optional<std::int64_t> ParseFolderId(std::string_view text) {
  auto id = ParseCanonical(text);
  if (!id || *id < 0 || *id > kMaxFolderId) return std::nullopt;
  return id;
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty() || path.front() != '/') return parts;
  for (std::size_t start = 1; start <= path.size();) {
    const auto slash = std::min(path.find('/', start), path.size());
    parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string FolderPath(int client, std::int64_t parentId, std::int64_t folderId) {
  return "/" + MailClientName(client) + "/" + std::to_string(parentId) + "/" +
         std::to_string(folderId);
}

// Texts the description may hold: line breaks as the character 2, tabs;
// no other control characters.
bool IsCleanDescription(std::string_view text) {
  if (text.size() > kMaxDescriptionBytes) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != 0x02 && u != '\t') || u == 0x7F;
  });
}

bool BadFolder(TRequestContext& ctx, std::string_view why) {
  return ctx.Fail(kErrBadRequest, "ObjectFolder does not name a mail folder: " + std::string(why));
}

// "ObjectCargo" of a message upload: the kind of the client its folder names.
bool CheckUploadCargo(TRequestContext& ctx, int client) {
  if (ctx.Str("ObjectCargo") != std::to_string(client))
    return ctx.Fail(kErrBadRequest, "ObjectCargo must be the kind of the mail client " +
                                        MailClientName(client) + " (" + std::to_string(client) +
                                        ")");
  if (!IsCleanDescription(ctx.Str("ObjectCargo2")))
    return ctx.Fail(kErrBadRequest, "ObjectCargo2 is too long or holds control characters");
  return true;
}

// Parents first: a breadth-first walk from the folders whose parent is not
// listed; folders on a cycle of parents follow at the end.
std::vector<TMailFolderRef> ParentsFirst(std::vector<TMailFolderRef> folders) {
  std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
    return std::pair(a.parentId, a.folderId) < std::pair(b.parentId, b.folderId);
  });
  std::set<std::int64_t> ids;
  std::multimap<std::int64_t, std::size_t> children;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    ids.insert(folders[i].folderId);
    children.emplace(folders[i].parentId, i);
  }
  std::vector<TMailFolderRef> out;
  std::vector<bool> taken(folders.size(), false);
  std::deque<std::size_t> queue;
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (!ids.count(folders[i].parentId)) queue.push_back(i);
  while (!queue.empty()) {
    const std::size_t i = queue.front();
    queue.pop_front();
    if (taken[i]) continue;
    taken[i] = true;
    out.push_back(folders[i]);
    auto [first, last] = children.equal_range(folders[i].folderId);
    for (auto it = first; it != last; ++it) queue.push_back(it->second);
  }
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (!taken[i]) out.push_back(folders[i]);
  return out;
}

}  // namespace

std::optional<int> MailClientKindOf(std::string_view name) {
  for (std::size_t i = 0; i < kClientNames.size(); ++i)
    if (EqualsNoCase(name, kClientNames[i])) return static_cast<int>(i);
  return std::nullopt;
}

std::string MailClientName(int kind) {
  if (kind < 0 || kind >= static_cast<int>(kClientNames.size())) return {};
  return kClientNames[static_cast<std::size_t>(kind)];
}

bool ReadMailStoreFolder(TRequestContext& ctx, MailPathUse use, std::string& folder) {
  const auto parts = Components(folder);
  const std::size_t depth = use == MailPathUse::kDownload ? 3 : 2;
  if (parts.size() != 2 && parts.size() != depth)
    return BadFolder(ctx, "expected \\<client>\\<ParentID>\\");
  auto client = MailClientKindOf(parts[0]);
  if (!client) return BadFolder(ctx, "unknown mail client " + std::string(parts[0]));
  auto parentId = ParseCanonical(parts[1]);
  if (!parentId) return BadFolder(ctx, "the parent folder ID is not a number");

  std::optional<std::int64_t> folderId;
  if (parts.size() == 3) {
    folderId = ParseFolderId(parts[2]);
    if (!folderId) return BadFolder(ctx, "the folder ID is not a number");
  } else {
    std::int64_t data = 0;
    if (!ctx.RequireInt("ObjectData", data)) return false;
    if (data < 0 || data > kMaxFolderId)
      return ctx.Fail(kErrBadRequest, "ObjectData must hold the mail folder's ID");
    folderId = data;
  }
  if (use == MailPathUse::kUpload && !CheckUploadCargo(ctx, *client)) return false;
  folder = FolderPath(*client, *parentId, *folderId);
  return true;
}

TStoreResult<std::vector<std::string>> TMailStore::Clients() {
  auto top = MailTopFolders(m_db, m_store);
  if (!top.Ok()) return TStoreError{top.Error()};
  std::vector<std::string> out;
  for (auto& name : *top)
    if (MailClientKindOf(name)) out.push_back(std::move(name));
  return out;
}

TStoreResult<std::vector<TMailFolderRef>> TMailStore::Folders(int client) {
  const std::string prefix = "/" + MailClientName(client) + "/";
  auto rows = MailFoldersUnder(m_db, m_store, prefix);
  if (!rows.Ok()) return TStoreError{rows.Error()};
  std::vector<TMailFolderRef> folders;
  for (const auto& row : *rows) {
    auto parentId = ParseCanonical(row.folder.substr(prefix.size()));
    auto folderId = ParseFolderId(row.name);
    if (parentId && folderId)
      folders.push_back({*parentId, *folderId, FolderPath(client, *parentId, *folderId)});
  }
  return ParentsFirst(std::move(folders));
}

TStoreResult<std::vector<TMailFolderRef>> TMailStore::FindFolders(
    int client, std::int64_t folderId, std::optional<std::int64_t> parentId) {
  auto all = Folders(client);
  if (!all.Ok()) return all;
  std::vector<TMailFolderRef> found;
  for (auto& f : *all)
    if (f.folderId == folderId && (!parentId || f.parentId == *parentId))
      found.push_back(std::move(f));
  return found;
}

TStoreResult<std::vector<TMailMessageEntry>> TMailStore::Messages(const std::string& folderPath) {
  return MailMessagesIn(m_db, m_store, folderPath);
}

}  // namespace solvane::server
