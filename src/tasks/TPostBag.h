#pragma once
// The transfer queue of a task run (TPostBag), its items, the nine run
// counters, and the folder list (TFolderObjectList) waiting for the calc
// stage; plus the display names of task kinds and states.
//
// Thread safety: every operation locks the mutex of the owning task (given at
// construction), so the stages, the engines and the screens may call them
// concurrently. Items are shared: a stage keeps its item alive while it works
// on it even if the queue drops it. An item's fields other than ItemState are
// written only by the stage whose state the item is in (check: 10,
// dispatcher: 11, engine: 12).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wire/QorWithProtocol.h"

namespace solvane {

enum TItemState : std::uint8_t {
  kItemNew = 10,
  kItemChecked = 11,
  kItemDispatched = 12,
  kItemFailed = 13,
  kItemDone = 14,
};

struct TQorMCFolderObject;  // mail folder descriptor (mail readers)

struct TPostBagItem {
  std::int32_t ObjectID = -1;
  std::string SourcePath;
  std::string ObjectFolder;
  std::int32_t ObjectData = -1;
  std::string ObjectCargo;
  std::string ObjectCargo2;
  std::int64_t ObjectSize = -1;
  std::int64_t ObjectDate = -1;
  std::int64_t ObjectVersion = -1;
  std::uint8_t Action = 0;
  std::int64_t refPosition = 0;
  std::int64_t refVerifyValue = 0;
  std::int64_t EngineIndex = 0;
  std::atomic<std::uint8_t> ItemState{kItemNew};
  // Why the item failed, for the run's error report; empty while it has not.
  std::string FailReason;

  TPostBagItem() = default;
  // The error-bag copy: identity and transfer fields; run fields initial.
  std::shared_ptr<TPostBagItem> CopyForErrorBag() const;
};

using TPostBagItemPtr = std::shared_ptr<TPostBagItem>;

// The nine run counters, in the order the end report sends them.
struct TPostBagCounters {
  std::atomic<std::int64_t> TotalFileCount{0};
  std::atomic<std::int64_t> TotalDoneFileSize{0};
  std::atomic<std::int64_t> FileWaitedCount{0};
  std::atomic<std::int64_t> FileCheckedCount{0};
  std::atomic<std::int64_t> FileCheckedAndNoChangeCount{0};
  std::atomic<std::int64_t> FileCheckedAndNeedUpCount{0};
  std::atomic<std::int64_t> FileDispatchedCount{0};
  std::atomic<std::int64_t> FileDoneCount{0};
  std::atomic<std::int64_t> FileErrorCount{0};
  // Not a run counter of the reports: the segment bytes this run actually
  // moved (a resumed file counts only what was left to move).
  std::atomic<std::int64_t> BytesMoved{0};

  void Clear();
  // Name/value pairs in wire order ("TotalFileCount", ...).
  std::vector<std::pair<const char*, std::int64_t>> InOrder() const;
};

// Where an unfinished download of one stored version is kept: the target's
// name followed by the version's size and date and ".part". Only a partial
// file of the same version is ever continued; the "<target>.tmp" copy an
// overwriting restore keeps is never taken for one.
std::string PartialDownloadPath(const std::string& target, std::int64_t size, std::int64_t date);
// Whether name is a partial download's name of a file named target.
bool IsPartialDownloadOf(const std::string& name, const std::string& target);

class TPostBag {
 public:
  explicit TPostBag(std::recursive_mutex& taskMutex) : m_mutex(taskMutex) {}

  // The four ways in. Each gives the item ObjectID = items in queue + 1,
  // appends it and counts it.
  TPostBagItemPtr AddLocalFile(const std::string& path);
  TPostBagItemPtr AddShareFile(const std::string& path, std::int32_t shareFolderId);
  TPostBagItemPtr AddMailMessage(const std::string& filePath, const std::string& folder,
                                 std::int32_t mailFolderId, int mailClientKind,
                                 const std::string& description);
  // Queued already checked (state 11, Action 1). When the local path does
  // not exist and a partial download of this very version does
  // (PartialDownloadPath), refPosition = that file's size rounded down to a
  // whole segment (the download resumes there).
  TPostBagItemPtr AddDownload(const std::string& serverPath, const std::string& localPath,
                              std::int32_t objectData, std::int64_t version, std::int64_t date,
                              std::int64_t size);

  TPostBagItemPtr FirstInState(std::uint8_t state) const;
  void SetState(const TPostBagItemPtr& item, std::uint8_t state);
  // Appends a copy of the item to errorBag and removes the item.
  void MoveToErrorBag(const TPostBagItemPtr& item, TPostBag& errorBag);
  void Remove(const TPostBagItemPtr& item);
  // Removes and returns the first item (error bag draining); null when empty.
  TPostBagItemPtr TakeFirst();
  void Append(TPostBagItemPtr item);

  std::size_t Count() const;
  std::vector<TPostBagItemPtr> Snapshot() const;
  // What the engines ask of a queue of many thousand files once per file or
  // batch, without copying the whole queue each time: whether the item is
  // still queued, and the first `limit` items in a state.
  bool Contains(const TPostBagItemPtr& item) const;
  std::vector<TPostBagItemPtr> InState(std::uint8_t state, std::size_t limit = SIZE_MAX) const;
  // Frees every item and zeroes the counters.
  void ClearBag();

  TPostBagCounters& Counters() { return m_counters; }
  const TPostBagCounters& Counters() const { return m_counters; }

 private:
  TPostBagItemPtr NewItem();  // REQUIRES: lock held

  std::recursive_mutex& m_mutex;
  std::vector<TPostBagItemPtr> m_items;
  TPostBagCounters m_counters;
};

struct TFolderObject {
  std::string FolderPath;
  bool IsWholeFolder = false;
  std::shared_ptr<TQorMCFolderObject> MCFolder;
};

using TFolderObjectPtr = std::shared_ptr<TFolderObject>;

class TFolderObjectList {
 public:
  explicit TFolderObjectList(std::recursive_mutex& taskMutex) : m_mutex(taskMutex) {}

  TFolderObjectPtr FindFolder(const std::string& path) const;  // exact, case counts
  // New entry, or the found one made whole when whole is true (never back).
  TFolderObjectPtr AddFolder(const std::string& path, bool whole);
  // New entry with IsWholeFolder = the descriptor's IsSelected; the found
  // entry unchanged.
  TFolderObjectPtr AddMailFolder(const std::string& path,
                                 std::shared_ptr<TQorMCFolderObject> folder, bool isSelected);
  TFolderObjectPtr First() const;
  void Remove(const TFolderObjectPtr& entry);
  void ClearFolders();

  std::size_t Count() const;
  std::int64_t FolderTotalCount() const;

 private:
  std::recursive_mutex& m_mutex;
  std::vector<TFolderObjectPtr> m_entries;
  std::int64_t m_totalCount = 0;
};

// Display names of task kinds and task states.
std::string TaskKindName(int kind);
std::string TaskStateName(int state);  // from the low 7 bits

}  // namespace solvane
