#pragma once
// Task classes and records: what a task moves, in which direction, with
// which filter and schedule, and the run-time state of its last run.
//
// Thread safety: one recursive mutex per task (Mutex()) guards its state,
// lists and records; the queue, error bag and folder list lock it
// themselves. The state operations check and set under that lock.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "session/RunStamps.h"
#include "tasks/TPostBag.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"

namespace solvane {

class IEngineContext;

enum TTaskKind : std::int16_t {
  kKindFileBackup = kBackupStore,
  kKindArchive = 151,
  kKindShareFile = kShareStore,
  kKindFileSync = kSyncStore,
  kKindDatabase = 300,
  kKindMailServer = 400,
  kKindMailClient = kMailStore,
  kKindDisasterRecovery = 600,
};

enum TTaskState : std::uint8_t {
  kStateIdle = 0,
  kStateWaiting = 1,
  kStateRunning = 2,
  kStatePaused = 3,
  kStateTerminated = 4,
};

struct TTaskFileObject {
  std::string ObjectName;  // local path (uploads) or server path with "/" (downloads)
  std::uint8_t ObjectKind = 0;  // 1 folder, 0 file
  std::int64_t ObjectSize = 0;
  std::int64_t ObjectDate = 0;
  std::int64_t ObjectVersion = 0;
};

struct TTaskFileObjectList {
  std::vector<TTaskFileObject> Items;
  void Clear() { Items.clear(); }
  // Appends an entry whose three numbers are 0.
  void Add(const std::string& name, std::uint8_t kind) { Items.push_back({name, kind, 0, 0, 0}); }
};

struct TTaskFilterInfo {
  std::vector<std::string> IncludeList;
  std::vector<std::string> ExcludeList;
  bool FilterCreateDate = false;
  DateTime MinFileCreateDate{};
  DateTime MaxFileCreateDate{};
  bool FilterUpdateDate = false;
  DateTime MinFileModifiedDate{};
  DateTime MaxFileModifiedDate{};
  bool FilterSize = false;
  std::int32_t MinFileSize = 0;  // MiB
  std::int32_t MaxFileSize = 0;  // MiB
  bool FilterAttribute = false;
  bool IsFilterReadOnly = false;
  bool IsFilterHidden = false;

  void AddPattern(const std::string& text, bool isInclude) {
    (isInclude ? IncludeList : ExcludeList).push_back(text);
  }
};

struct TTaskScheduleInfo {
  bool IsEnableSchedule = false;
  DateTime Schedule_StartTime{};
  std::int32_t Schedule_Kind = 0;  // 0 periodical, 1 days, 2 weeks, 3 months
  std::int32_t Periodical_Days = 0;
  std::int32_t Periodical_Hours = 0;
  std::int32_t Periodical_Minites = 0;
  std::int32_t Daily_Days = 0;
  std::int32_t Weekly_Weeks = 0;
  bool IsWeekly_Day[7] = {};  // [0] Monday ("IsWeekly_Day1") .. [6] Sunday ("IsWeekly_Day7")
  std::int32_t Monthly_Months = 0;
  std::int32_t Monthly_Prefix = 0;
  std::int32_t Monthly_Day = 0;  // 0 Sunday .. 6 Saturday
  std::int32_t DelayExcuteMinute = 0;
};

struct TTaskRestoreInfo {
  bool Overwrite = false;
  std::int32_t IsDefine = 0;  // 0 original path, 1 below CacheFolder with full path, 2 flat
  std::string CacheFolder;
  std::string ParentFolder;
};

struct TQorMCFolderObject;
struct TTaskMCInfo {
  std::uint8_t MCKind = 0;
  std::vector<std::shared_ptr<TQorMCFolderObject>> MCFolders;
};

struct TTaskScreenContext {
  std::string CurrentObject;
  std::int32_t Percent = 0;
  std::int32_t SpeedKBps = 0;
  void Clear() {
    CurrentObject.clear();
    Percent = 0;
    SpeedKBps = 0;
  }
};

class TTaskObject {
 public:
  static constexpr int kScreenContexts = 6;

  explicit TTaskObject(std::string userCode);
  virtual ~TTaskObject() = default;
  TTaskObject(const TTaskObject&) = delete;
  TTaskObject& operator=(const TTaskObject&) = delete;

  std::recursive_mutex& Mutex() const { return m_mutex; }
  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(m_mutex); }

  // Empties queue (items and counters), folder list, screen contexts, error
  // bag.
  void ResetRuntime();

  // State machine. scheduled: the dispatcher asks (true) or the user (false).
  // now: the current time (the dispatcher's clock).
  // The new SessionID comes from stamps when given (never one used before
  // on this machine), else it is the packed time of now.
  bool RequestStart(bool scheduled, DateTime now, TRunStamps* stamps = nullptr);
  bool RequestStop(bool scheduled);
  bool Pause(bool scheduled);
  // A paused task that is the current task runs again; a paused task that
  // is not current goes back to waiting (the dispatcher starts only waiting
  // tasks).
  bool Resume(bool scheduled, bool isCurrentTask);
  // Dispatcher transitions: waiting -> running (after a successful start
  // report), running -> terminated.
  bool MarkRunning();

  std::uint8_t State() const { return m_state.load(); }
  bool IsRunning() const { return State() == kStateRunning; }

  // Per-kind operations (base: nothing / false).
  virtual void DetectFolders(IEngineContext& ctx);
  virtual void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder);
  virtual bool LoadObjects(IEngineContext& ctx);
  // What the task tells the server of a folder entry before the calc stage
  // queues its files; false when that failed and is worth another try
  // (base: nothing to tell, true).
  virtual bool ReportFolderListing(IEngineContext& ctx, const TFolderObjectPtr& folder);

  // Maps a server file to its local target (RestoreInfo) and queues it for
  // download; false when it is not queued (already there, or not to be
  // overwritten, or a target path that would leave the chosen folder).
  bool EnqueueDownload(IEngineContext& ctx, const std::string& serverPath, std::int64_t size,
                       std::int32_t objectData, std::int64_t version, std::int64_t date);

  // Progress records: engine i writes record i.
  TTaskScreenContext ScreenContext(int i) const;
  void SetScreenContext(int i, const TTaskScreenContext& c);
  std::int32_t TotalSpeed() const;
  void ClearScreenContexts();

  // Identity and definition (written by screens/loaders before the task
  // runs; read by the stages under Lock() when they may change).
  std::int32_t TaskID = -1;
  std::int32_t SessionID = -1;
  std::uint8_t TaskDirection = 0;
  std::int16_t TaskKind = -1;
  std::string TaskName;
  std::string Comment;  // lines separated by CR LF
  DateTime CreateDate{};
  bool IsSystemDefault = false;
  bool IsTemporary = false;
  bool BackupMode = false;
  TTaskFileObjectList FileObjects;
  TTaskMCInfo MCInfo;
  TTaskFilterInfo FilterInfo;
  TTaskScheduleInfo ScheduleInfo;
  TTaskRestoreInfo RestoreInfo;
  std::string UCode;  // owner of the server store the task reads
  // The signed-in user the current run is made as, set when it starts:
  // every request of the run names this user, whoever signs in meanwhile.
  std::string RunUserCode;
  // RunUserCode; the signed-in user before any run started. Takes the lock.
  std::string RunUser(IEngineContext& ctx) const;

 private:
  mutable std::recursive_mutex m_mutex;

 public:
  TPostBag PostBag{m_mutex};
  TFolderObjectList FolderList{m_mutex};
  TPostBag ErrorBag{m_mutex};

 private:
  std::atomic<std::uint8_t> m_state{kStateIdle};
  TTaskScreenContext m_screens[kScreenContexts];
};

using TTaskObjectPtr = std::shared_ptr<TTaskObject>;

// Minutes, with fraction, between the time a packed DOS date-time encodes
// and now; used by the start rules of scheduled tasks.
double MinutesSincePacked(std::int32_t packed, DateTime now);

}  // namespace solvane
