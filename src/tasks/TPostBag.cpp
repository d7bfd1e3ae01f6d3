#include "tasks/TPostBag.h"

#include <algorithm>

#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"

namespace solvane {

std::shared_ptr<TPostBagItem> TPostBagItem::CopyForErrorBag() const {
  auto c = std::make_shared<TPostBagItem>();
  c->ObjectID = ObjectID;
  c->SourcePath = SourcePath;
  c->ObjectFolder = ObjectFolder;
  c->ObjectData = ObjectData;
  c->ObjectCargo = ObjectCargo;
  c->ObjectCargo2 = ObjectCargo2;
  c->ObjectSize = ObjectSize;
  c->ObjectDate = ObjectDate;
  c->ObjectVersion = ObjectVersion;
  c->Action = Action;
  c->FailReason = FailReason;
  return c;
}

void TPostBagCounters::Clear() {
  for (auto* c : {&TotalFileCount, &TotalDoneFileSize, &FileWaitedCount, &FileCheckedCount,
                  &FileCheckedAndNoChangeCount, &FileCheckedAndNeedUpCount, &FileDispatchedCount,
                  &FileDoneCount, &FileErrorCount, &BytesMoved})
    c->store(0);
}

std::vector<std::pair<const char*, std::int64_t>> TPostBagCounters::InOrder() const {
  return {{"TotalFileCount", TotalFileCount.load()},
          {"TotalDoneFileSize", TotalDoneFileSize.load()},
          {"FileWaitedCount", FileWaitedCount.load()},
          {"FileCheckedCount", FileCheckedCount.load()},
          {"FileCheckedAndNoChangeCount", FileCheckedAndNoChangeCount.load()},
          {"FileCheckedAndNeedUpCount", FileCheckedAndNeedUpCount.load()},
          {"FileDispatchedCount", FileDispatchedCount.load()},
          {"FileDoneCount", FileDoneCount.load()},
          {"FileErrorCount", FileErrorCount.load()}};
}

TPostBagItemPtr TPostBag::NewItem() {
  auto item = std::make_shared<TPostBagItem>();
  item->ObjectID = static_cast<std::int32_t>(m_items.size() + 1);
  m_items.push_back(item);
  ++m_counters.TotalFileCount;
  return item;
}

namespace {
std::string ParentWithoutSeparator(const std::string& path) {
  auto p = path.find_last_of("/\\");
  if (p == std::string::npos) return {};
  return path.substr(0, p == 0 ? 1 : p);
}
}  // namespace

TPostBagItemPtr TPostBag::AddLocalFile(const std::string& path) {
  // Facts first, outside the lock: they touch the file system.
  std::int64_t size = FileSizeOf(path);
  std::int64_t date = FileDateStamp(path, false);
  std::lock_guard g(m_mutex);
  auto item = NewItem();
  item->SourcePath = path;
  item->ObjectFolder = ParentWithoutSeparator(path);
  item->ObjectSize = size;
  item->ObjectDate = date;
  ++m_counters.FileWaitedCount;
  return item;
}

TPostBagItemPtr TPostBag::AddShareFile(const std::string& path, std::int32_t shareFolderId) {
  auto item = AddLocalFile(path);
  std::lock_guard g(m_mutex);
  item->ObjectData = shareFolderId;
  return item;
}

TPostBagItemPtr TPostBag::AddMailMessage(const std::string& filePath, const std::string& folder,
                                         std::int32_t mailFolderId, int mailClientKind,
                                         const std::string& description) {
  std::int64_t size = FileSizeOf(filePath);
  std::lock_guard g(m_mutex);
  auto item = NewItem();
  item->SourcePath = filePath;
  item->ObjectFolder = folder;
  item->ObjectData = mailFolderId;
  item->ObjectCargo = std::to_string(mailClientKind);
  item->ObjectCargo2 = description;
  item->ObjectSize = size;
  item->ObjectDate = EncodeDosDateTime(TLocalDateTime{2000, 1, 1, 1, 1, 1, 0});
  ++m_counters.FileWaitedCount;
  return item;
}

std::string PartialDownloadPath(const std::string& target, std::int64_t size, std::int64_t date) {
  return target + "." + std::to_string(size) + "-" + std::to_string(date) + ".part";
}

bool IsPartialDownloadOf(const std::string& name, const std::string& target) {
  if (name.size() <= target.size() + 1 || name.compare(0, target.size(), target) != 0 ||
      name[target.size()] != '.' || !name.ends_with(".part"))
    return false;
  const std::string_view middle = std::string_view(name).substr(
      target.size() + 1, name.size() - target.size() - 1 - 5);
  const auto dash = middle.find('-', 1);
  auto allDigits = [](std::string_view t, bool signOk) {
    if (signOk && !t.empty() && t[0] == '-') t.remove_prefix(1);
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return dash != std::string_view::npos && allDigits(middle.substr(0, dash), false) &&
         allDigits(middle.substr(dash + 1), true);
}

TPostBagItemPtr TPostBag::AddDownload(const std::string& serverPath, const std::string& localPath,
                                      std::int32_t objectData, std::int64_t version,
                                      std::int64_t date, std::int64_t size) {
  std::int64_t resumeAt = 0;
  if (FileSizeOf(localPath) < 0) {
    std::int64_t partial = FileSizeOf(PartialDownloadPath(localPath, size, date));
    if (partial > 0) resumeAt = partial - partial % kSegmentSize;
  }
  std::lock_guard g(m_mutex);
  auto item = NewItem();
  item->SourcePath = serverPath;
  item->ObjectCargo = localPath;
  item->ObjectData = objectData;
  item->ObjectVersion = version;
  item->ObjectDate = date;
  item->ObjectSize = size;
  item->Action = 1;
  item->refPosition = resumeAt;
  item->ItemState = kItemChecked;
  ++m_counters.FileCheckedCount;
  ++m_counters.FileCheckedAndNeedUpCount;
  return item;
}

TPostBagItemPtr TPostBag::FirstInState(std::uint8_t state) const {
  std::lock_guard g(m_mutex);
  for (const auto& i : m_items)
    if (i->ItemState.load() == state) return i;
  return nullptr;
}

void TPostBag::SetState(const TPostBagItemPtr& item, std::uint8_t state) {
  std::lock_guard g(m_mutex);
  item->ItemState = state;
}

void TPostBag::MoveToErrorBag(const TPostBagItemPtr& item, TPostBag& errorBag) {
  std::lock_guard g(m_mutex);
  errorBag.Append(item->CopyForErrorBag());
  Remove(item);
}

void TPostBag::Remove(const TPostBagItemPtr& item) {
  std::lock_guard g(m_mutex);
  m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end());
}

TPostBagItemPtr TPostBag::TakeFirst() {
  std::lock_guard g(m_mutex);
  if (m_items.empty()) return nullptr;
  auto item = m_items.front();
  m_items.erase(m_items.begin());
  return item;
}

void TPostBag::Append(TPostBagItemPtr item) {
  std::lock_guard g(m_mutex);
  m_items.push_back(std::move(item));
}

std::size_t TPostBag::Count() const {
  std::lock_guard g(m_mutex);
  return m_items.size();
}

std::vector<TPostBagItemPtr> TPostBag::Snapshot() const {
  std::lock_guard g(m_mutex);
  return m_items;
}

bool TPostBag::Contains(const TPostBagItemPtr& item) const {
  std::lock_guard g(m_mutex);
  return std::find(m_items.begin(), m_items.end(), item) != m_items.end();
}

std::vector<TPostBagItemPtr> TPostBag::InState(std::uint8_t state, std::size_t limit) const {
  std::lock_guard g(m_mutex);
  std::vector<TPostBagItemPtr> found;
  for (const auto& i : m_items) {
    if (found.size() >= limit) break;
    if (i->ItemState.load() == state) found.push_back(i);
  }
  return found;
}

void TPostBag::ClearBag() {
  std::lock_guard g(m_mutex);
  m_items.clear();
  m_counters.Clear();
}

TFolderObjectPtr TFolderObjectList::FindFolder(const std::string& path) const {
  std::lock_guard g(m_mutex);
  for (const auto& e : m_entries)
    if (e->FolderPath == path) return e;
  return nullptr;
}

TFolderObjectPtr TFolderObjectList::AddFolder(const std::string& path, bool whole) {
  std::lock_guard g(m_mutex);
  if (auto found = FindFolder(path)) {
    if (whole) found->IsWholeFolder = true;
    return found;
  }
  auto e = std::make_shared<TFolderObject>();
  e->FolderPath = path;
  e->IsWholeFolder = whole;
  m_entries.push_back(e);
  ++m_totalCount;
  return e;
}

TFolderObjectPtr TFolderObjectList::AddMailFolder(const std::string& path,
                                                  std::shared_ptr<TQorMCFolderObject> folder,
                                                  bool isSelected) {
  std::lock_guard g(m_mutex);
  if (auto found = FindFolder(path)) return found;
  auto e = std::make_shared<TFolderObject>();
  e->FolderPath = path;
  e->IsWholeFolder = isSelected;
  e->MCFolder = std::move(folder);
  m_entries.push_back(e);
  ++m_totalCount;
  return e;
}

TFolderObjectPtr TFolderObjectList::First() const {
  std::lock_guard g(m_mutex);
  return m_entries.empty() ? nullptr : m_entries.front();
}

void TFolderObjectList::Remove(const TFolderObjectPtr& entry) {
  std::lock_guard g(m_mutex);
  m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), entry), m_entries.end());
}

void TFolderObjectList::ClearFolders() {
  std::lock_guard g(m_mutex);
  m_entries.clear();
  m_totalCount = 0;
}

std::size_t TFolderObjectList::Count() const {
  std::lock_guard g(m_mutex);
  return m_entries.size();
}

std::int64_t TFolderObjectList::FolderTotalCount() const {
  std::lock_guard g(m_mutex);
  return m_totalCount;
}

std::string TaskKindName(int kind) {
  switch (kind) {
    case 100: return "备份文件";
    case 151: return "归档文件";
    case 171: return "共享区文件处理";
    case 200: return "同步文件";
    case 300: return "备份数据库操作";
    case 400: return "备份邮件服务器";
    case 500: return "备份邮件客户端";
    case 600: return "系统灾难恢复";
    default: return "未知";
  }
}

std::string TaskStateName(int state) {
  switch (state & 0x7f) {
    case 0: return "等待";
    case 1: return "等待启动";
    case 2: return "运行中";
    case 3: return "暂停中";
    case 4: return "已终止";
    default: return "未知";
  }
}

}  // namespace solvane
