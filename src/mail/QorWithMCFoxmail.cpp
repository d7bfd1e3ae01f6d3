#include "mail/QorWithMCFoxmail.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "mail/QorWithMCFoxmailParser.h"
#include "mail/QorWithMCStoreFiles.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithText.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

namespace {

constexpr char kFoxmailKey[] = "\\Software\\Aerofox\\Foxmail\\V3.1";
constexpr char kFoxmailPathValue[] = "FoxMailPath";
constexpr char kAccountsFile[] = "accounts.cfg";
constexpr char kSeparator = '/';
constexpr std::size_t kYieldEveryRecords = 50;
constexpr std::int64_t kMailboxIDFactor = 1000;

struct TMailboxName {
  const char* Name;
  const char* Box;
  const char* Index;
};
// Every account's mailboxes, numbered 1..5 in this order.
constexpr TMailboxName kMailboxes[] = {
    {"收件箱", "in.box", "in.ind"},           {"发件箱", "out.box", "out.ind"},
    {"已发送邮件箱", "sent.box", "sent.ind"}, {"垃圾邮件箱", "spam.box", "spam.ind"},
    {"废件箱", "trash.box", "trash.ind"},
};

// Up to count bytes at offset; fewer when the file ends first.
std::string ReadAt(std::ifstream& in, std::uint64_t offset, std::size_t count) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(in ? count : static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::string DirectoryPartOf(const std::string& fileName) {
  const auto slash = fileName.find_last_of(kSeparator);
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string StorePath(const std::string& folderPath, const std::string& fileName) {
  std::string path = folderPath;
  if (!path.empty() && path.back() != kSeparator) path += kSeparator;
  return path + fileName;
}

// 2006-01-01 00:00 local time, or now when that cannot be represented.
DateTime DefaultDate() {
  TLocalDateTime t;
  t.year = 2006;
  t.month = 1;
  t.day = 1;
  return FromLocalDateTime(t).value_or(
      std::chrono::time_point_cast<DateTime::duration>(std::chrono::system_clock::now()));
}

}  // namespace

TQorFoxMail::TQorFoxMail(IRegistry& registry, TEnvLookup env)
    : TQorCustomMC(kMCKindFoxmail), m_registry(registry), m_env(std::move(env)) {
  FindDirectory();
}

void TQorFoxMail::FindDirectory() {
  m_directory.clear();
  Installed = false;
  const auto root = TRegistryRoot::CurrentUser;
  if (!m_registry.OpenKey(root, kFoxmailKey, false)) return;
  const auto value = m_registry.ReadString(root, kFoxmailKey, kFoxmailPathValue);
  if (!value) return;
  m_directory = DirectoryPartOf(ExpandEnvironmentReferences(*value, m_env));
  Installed = !m_directory.empty();
}

void TQorFoxMail::Init() {
  if (!Installed || Loaded) return;
  ReadAccounts();
}

void TQorFoxMail::OpenStore(const std::string& dir) {
  Folders.Clear();
  Loaded = false;
  m_directory = StorePath(dir, {});
  Installed = !m_directory.empty();
  Init();
}

void TQorFoxMail::ReadAccounts() {
  m_lastReadError.clear();
  const std::string path = m_directory + kAccountsFile;
  if (!IsStoreFile(path)) return;
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    m_lastReadError = "cannot read " + path;
    return;
  }
  // A damaged accounts.cfg keeps the accounts read before the damage.
  const TFoxmailAccountList list = ParseFoxmailAccounts(*bytes);
  if (list.Error != TFoxmailError::None) m_lastReadError = FoxmailErrorText(list.Error);
  std::int64_t k = list.Count;
  for (const TFoxmailAccount& account : list.Accounts) {
    TQorMCFolderObject folder;
    folder.FolderID = k;
    folder.ParentID = -1;
    folder.Name = Gb18030ToUtf8(account.Name);
    folder.Cargo = Gb18030ToUtf8(account.Path);
    Folders.Add(folder);
    std::int64_t number = 1;
    for (const TMailboxName& mailbox : kMailboxes) {
      TQorMCFolderObject box;
      box.FolderID = k * kMailboxIDFactor + number++;
      box.ParentID = k;
      box.Name = mailbox.Name;
      box.FileName1 = mailbox.Box;
      box.FileName2 = mailbox.Index;
      box.Cargo = folder.Cargo;
      Folders.Add(std::move(box));
    }
    --k;
  }
  Loaded = true;
}

void TQorFoxMail::ReadMessage(TQorMCFolderObject& folder, bool force) {
  m_lastReadError.clear();
  if (!Installed || (folder.IsLoaded && !force)) return;
  const std::string indexPath = StorePath(folder.Cargo, folder.FileName2);
  if (folder.FileName2.empty() || !IsStoreFile(indexPath)) return;
  const auto index = ReadWholeFile(indexPath);
  if (!index) {
    m_lastReadError = "cannot read " + indexPath;
    return;
  }
  folder.Messages.Clear();
  const std::size_t count = Loaded ? FoxmailIndexCount(index->size()) : 0;
  const std::string boxPath = StorePath(folder.Cargo, folder.FileName1);
  std::ifstream box;
  const DateTime defaultDate = DefaultDate();
  for (std::size_t n = 1; n <= count; ++n) {
    if (n % kYieldEveryRecords == 0) PumpUi();
    const auto record = ParseFoxmailIndexRecord(*index, n);
    if (!record || record->Deleted) continue;
    if (!box.is_open()) {
      if (!IsStoreFile(boxPath)) break;
      box.open(boxPath, std::ios::binary);
      if (!box) {
        m_lastReadError = "cannot read " + boxPath;
        break;
      }
    }
    TQorMCMessage m;
    m.MessageID = static_cast<std::int64_t>(n);
    m.Offset = record->Offset;
    m.Size = record->Size;
    m.FolderID = folder.FolderID;
    m.Sender = Gb18030ToUtf8(record->Sender);
    m.Subject = Gb18030ToUtf8(record->Subject);
    m.SendDate = defaultDate;
    m.ReceiveDate = defaultDate;
    if (record->Offset >= 0) {
      const std::string head =
          ReadAt(box, static_cast<std::uint64_t>(record->Offset), kFoxmailDateProbeBytes);
      if (const auto sent = ParseFoxmailSendDate(head))
        m.SendDate = FromLocalDateTime(*sent).value_or(defaultDate);
    }
    folder.Messages.Add(std::move(m));
  }
  folder.IsLoaded = true;
}

TQorMCExportResult TQorFoxMail::ExportMessage(const TQorMCFolderObject& folder,
                                              const TQorMCMessage& message,
                                              const std::string& fileName) {
  if (!Installed || !Loaded) return {false, "Foxmail is not installed"};
  if (message.MessageID <= 0) return {false, "message has no index record"};
  const std::string path = StorePath(folder.Cargo, folder.FileName1);
  if (folder.FileName1.empty() || !IsStoreFile(path)) return {false, "store file missing: " + path};
  std::error_code ec;
  const auto boxSize = std::filesystem::file_size(path, ec);
  if (ec) return {false, "cannot read " + path};
  const TFoxmailError check = CheckFoxmailMessage(message.Offset, message.Size, boxSize);
  if (check != TFoxmailError::None) return {false, FoxmailErrorText(check)};
  std::ifstream box(path, std::ios::binary);
  const auto size = static_cast<std::size_t>(message.Size);
  const std::string bytes =
      box ? ReadAt(box, static_cast<std::uint64_t>(message.Offset), size) : std::string();
  if (bytes.size() != size) return {false, "cannot read " + path};
  EnsureFolder(DirectoryPartOf(fileName));
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return {false, "cannot write " + fileName};
  return {true, {}};
}

}  // namespace solvane
