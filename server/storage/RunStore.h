#pragma once
// Runs of tasks in the database: opened by TTask.Start (or by the first
// object logged in them), closed with their counters by TTask.Stop, and read
// back by the task report and the run log. A run is (user, TaskID,
// SessionID); it keeps the task's name and kind, so it outlives the task.
// One key may name several runs (a task started twice within the two
// seconds of one packed date-time); calls by key address the newest.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

// Task IDs travel as 32-bit integers; a value sent unsigned (2^31..2^32-1)
// is the same ID as its signed form. Nullopt when the value fits neither.
std::optional<std::int64_t> NormaliseTaskId(std::int64_t raw);
// Session IDs are packed DOS date-times, kept unsigned so that their numeric
// order is the time order; a negative 32-bit form is taken as unsigned.
// Nullopt for 0 and values outside 32 bits.
std::optional<std::int64_t> NormaliseSessionId(std::int64_t raw);

struct TRunHead {
  std::string taskName;
  int taskKind = 0;
  int taskDirection = 0;
  bool isTemporary = false;
};

// The counters of TTask.Stop, in the order the request sends them.
struct TRunCounters {
  std::int64_t folderTotalCount = 0;
  std::int64_t folderCount = 0;
  std::int64_t totalFileCount = 0;
  std::int64_t totalDoneFileSize = 0;
  std::int64_t fileWaitedCount = 0;
  std::int64_t fileCheckedCount = 0;
  std::int64_t fileCheckedAndNoChangeCount = 0;
  std::int64_t fileCheckedAndNeedUpCount = 0;
  std::int64_t fileDispatchedCount = 0;
  std::int64_t fileDoneCount = 0;
  std::int64_t fileErrorCount = 0;
};

struct TRunRecord {
  std::int64_t taskId = 0;
  std::int64_t sessionId = 0;
  TRunHead head;
  TRunCounters counters;
};

struct TRunError {
  std::string objectName;
  std::string objectFolder;
  std::string comment;
};

struct TRunLoggedObject {
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
};

// For the run stores only, inside their Guarded calls: these two throw
// DatabaseError.
// REQUIRES: ids normalised; the caller holds the database lock (or a
// transaction). Returns the run's row, creating an empty run when missing.
std::int64_t EnsureRun(Database& db, const std::string& userCode, std::int64_t taskId,
                       std::int64_t sessionId);
// The run's row, or nullopt.
std::optional<std::int64_t> FindRun(Database& db, const std::string& userCode, std::int64_t taskId,
                                    std::int64_t sessionId);
// The newest session of the user's runs of the task (for objects logged by a
// call that carries no SessionID).
TStoreResult<std::optional<std::int64_t>> LatestRunSession(Database& db,
                                                           const std::string& userCode,
                                                           std::int64_t taskId);

// TTask.Start: opens the run or, when it exists and has not ended (a
// repeated report), renews its head; counters stay. A start for a run that
// ended opens a new run under the same key and leaves the ended one as it is.
TStoreResult<void> StartRun(Database& db, const std::string& userCode, std::int64_t taskId,
                            std::int64_t sessionId, const TRunHead& head);
// TTask.Stop: stores head, comment and counters (overwriting; a run without
// a start is created).
TStoreResult<void> StopRun(Database& db, const std::string& userCode, std::int64_t taskId,
                           std::int64_t sessionId, const TRunHead& head, const std::string& comment,
                           const TRunCounters& counters);
// TTask.ErrorReport: appends the error objects to the run, in one transaction;
// an object the run lists already is not added again.
TStoreResult<void> AddRunErrors(Database& db, const std::string& userCode, std::int64_t taskId,
                                std::int64_t sessionId, const TRunHead& head,
                                const std::vector<TRunError>& errors);

// Runs of the user whose session lies in [first, last], oldest first.
TStoreResult<std::vector<TRunRecord>> SelectRuns(Database& db, const std::string& userCode,
                                                 std::int64_t firstSession,
                                                 std::int64_t lastSession, bool uploadsOnly);
// The distinct folders of the objects logged in a run, sorted.
TStoreResult<std::vector<std::string>> SelectRunFolders(Database& db, const std::string& userCode,
                                                        std::int64_t taskId,
                                                        std::int64_t sessionId);
// The objects logged in a run in one folder, in logging order.
TStoreResult<std::vector<TRunLoggedObject>> SelectRunObjects(Database& db,
                                                             const std::string& userCode,
                                                             std::int64_t taskId,
                                                             std::int64_t sessionId,
                                                             const std::string& folder);
TStoreResult<std::vector<TRunError>> SelectRunErrors(Database& db, const std::string& userCode,
                                                     std::int64_t taskId, std::int64_t sessionId);

}  // namespace solvane::server
