#include "mail/QorWithMCOutlookExpress.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mail/QorWithMCDbxParser.h"
#include "mail/QorWithMCStoreFiles.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithText.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

namespace {

constexpr char kOeKey[] = "\\Software\\Microsoft\\Outlook Express";
constexpr char kIdentitiesKey[] = "\\Identities";
constexpr char kStoreRootValue[] = "Store Root";
constexpr char kDefaultUserValue[] = "Default User ID";
constexpr char kFoldersFile[] = "folders.dbx";
constexpr std::size_t kExpandBufferChars = 1024;  // as the store root expansion allows
constexpr std::size_t kYieldEveryRecords = 50;

std::string DirectoryPartOf(const std::string& fileName) {
  const auto slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

DateTime LocalOrZero(const std::optional<std::uint64_t>& fileTime) {
  if (!fileTime) return DateTime{};
  return FileTimeToLocal(*fileTime).value_or(DateTime{});
}

}  // namespace

TEnvLookup ProcessEnvironment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const char* v = std::getenv(std::string(name).c_str());
    if (v == nullptr) return std::nullopt;
    return std::string(v);
  };
}

std::string ExpandEnvironmentReferences(std::string_view text, const TEnvLookup& env) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto open = text.find('%', pos);
    const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const auto value = name.empty() ? std::nullopt : env(name);
    out.append(text.substr(pos, open - pos));
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      // Unknown names stay as written; the closing % may open the next one.
      out += '%';
      out.append(name);
      pos = close;
    }
  }
  out.append(text.substr(pos));
  return out;
}

TQorOutlookExpress::TQorOutlookExpress(IRegistry& registry, TEnvLookup env)
    : TQorCustomMC(kMCKindOutlookExpress), m_registry(registry), m_env(std::move(env)) {}

void TQorOutlookExpress::Init() {
  if (Loaded) return;
  FindStore();
  ReadFolders();
  Loaded = true;
}

void TQorOutlookExpress::OpenStore(const std::string& dir) {
  Folders.Clear();
  m_storeDirectory = dir;
  Installed = true;
  ReadFolders();
  Loaded = true;
}

void TQorOutlookExpress::FindStore() {
  m_storeDirectory.clear();
  Installed = false;
  const auto root = TRegistryRoot::CurrentUser;
  std::optional<std::string> storeRoot = m_registry.ReadString(root, kOeKey, kStoreRootValue);
  if (!storeRoot || storeRoot->empty()) {
    const auto identity = m_registry.ReadString(root, kIdentitiesKey, kDefaultUserValue);
    if (identity && !identity->empty()) {
      const std::string key = std::string(kIdentitiesKey) + "\\" + *identity + kOeKey + "\\5.0";
      storeRoot = m_registry.ReadString(root, key, kStoreRootValue);
    }
  }
  if (!storeRoot || storeRoot->empty()) return;
  const std::string expanded = ExpandEnvironmentReferences(*storeRoot, m_env);
  m_storeDirectory = expanded.size() < kExpandBufferChars ? expanded : *storeRoot;
  Installed = true;
}

std::string TQorOutlookExpress::StorePath(const std::string& fileName) const {
  std::string path = m_storeDirectory;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + fileName;
}

void TQorOutlookExpress::ReadFolders() {
  if (!Installed) return;
  const std::string path = StorePath(kFoldersFile);
  if (!IsStoreFile(path)) return;
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return;
  // A damaged folders.dbx keeps the folders read before the damage.
  const TDbxTreeWalk walk = WalkDbxTree(*bytes);
  for (std::uint32_t offset : walk.RecordOffsets) {
    const TDbxRecordRead read = ReadDbxRecord(*bytes, offset);
    if (read.Error != TDbxError::None) break;
    if (!read.Record) continue;
    const auto parsed = ParseDbxFolder(*read.Record);
    if (!parsed) continue;
    TQorMCFolderObject folder;
    folder.FolderID = parsed->FolderID;
    folder.ParentID = parsed->ParentID;
    folder.Name = Gb18030ToUtf8(parsed->Name);
    folder.FileName1 = Gb18030ToUtf8(parsed->FileName);
    Folders.Add(std::move(folder));
    PumpUi();
  }
}

void TQorOutlookExpress::ReadMessage(TQorMCFolderObject& folder, bool force) {
  m_lastReadError.clear();
  if (!Installed || (folder.IsLoaded && !force)) return;
  const std::string path = StorePath(folder.FileName1);
  if (!IsStoreFile(path)) return;
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    m_lastReadError = "cannot read " + path;
    return;
  }
  folder.Messages.Clear();
  const TDbxTreeWalk walk = WalkDbxTree(*bytes);
  std::size_t visited = 0;
  for (std::uint32_t offset : walk.RecordOffsets) {
    if (visited++ % kYieldEveryRecords == 0) PumpUi();
    const TDbxRecordRead read = ReadDbxRecord(*bytes, offset);
    if (read.Error != TDbxError::None) {
      m_lastReadError = DbxErrorText(read.Error);
      return;
    }
    if (!read.Record) continue;
    const TDbxMessage parsed = ParseDbxMessage(*read.Record);
    TQorMCMessage& m = folder.Messages.Add({});
    m.FolderID = folder.FolderID;
    m.MessageID = parsed.MessageID;
    m.Subject = Gb18030ToUtf8(parsed.Subject);
    m.Sender = Gb18030ToUtf8(parsed.Sender);
    m.SendDate = LocalOrZero(parsed.SendFileTime);
    m.ReceiveDate = LocalOrZero(parsed.ReceiveFileTime);
    m.Size = parsed.Size;
    m.Offset = parsed.Offset;
  }
  if (walk.Error != TDbxError::None) {
    m_lastReadError = DbxErrorText(walk.Error);
    return;
  }
  folder.IsLoaded = true;
}

TQorMCExportResult TQorOutlookExpress::ExportMessage(const TQorMCFolderObject& folder,
                                                     const TQorMCMessage& message,
                                                     const std::string& fileName) {
  if (!Installed) return {false, "Outlook Express is not installed"};
  if (message.MessageID < 0) return {false, "message has a negative id"};
  if (message.Offset <= 0 || message.Offset > 0xFFFFFFFF)
    return {false, "message has no data block"};
  const std::string path = StorePath(folder.FileName1);
  if (!IsStoreFile(path)) return {false, "store file missing: " + path};
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return {false, "cannot read " + path};
  const TDbxMessageText text =
      ReadDbxMessageText(*bytes, static_cast<std::uint32_t>(message.Offset));
  if (text.Error != TDbxError::None) return {false, DbxErrorText(text.Error)};
  EnsureFolder(DirectoryPartOf(fileName));
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(text.Text.data(), static_cast<std::streamsize>(text.Text.size()));
  out.close();
  if (!out) return {false, "cannot write " + fileName};
  return {true, {}};
}

}  // namespace solvane
