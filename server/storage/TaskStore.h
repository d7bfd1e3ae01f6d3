#pragma once
// Task definitions in the database: named tasks of users, default tasks of
// the administrator and their assignments, the tasks' objects, filter
// patterns and extended filter.
//
// Task IDs: a user's named task keeps the ID its client made (the packed DOS
// date-time of its creation, never below 65 536) and is keyed by (owner,
// ID), so two users may use the same ID. A default task has the owner '' and
// an ID the server gives, 1 .. 65 535, which no client-made ID can equal.
//
// Writing functions REQUIRE a transaction of the caller (Transaction tx(db))
// so that a check and the change it allows happen together; reading
// functions take the database lock themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

inline constexpr std::int64_t kFirstClientTaskId = 65536;

struct TTaskSchedule {
  bool isEnabled = false;
  std::string startTime;  // "yyyy-mm-dd hh:nn:ss"
  int kind = 0;           // 0 periodical, 1 days, 2 weeks, 3 months
  std::int64_t periodicalDays = 0;
  std::int64_t periodicalHours = 0;
  std::int64_t periodicalMinutes = 0;
  std::int64_t dailyDays = 0;
  std::int64_t weeklyWeeks = 0;
  int weeklyDays = 0;  // bit 0 Monday .. bit 6 Sunday
  std::int64_t monthlyMonths = 0;
  int monthlyPrefix = 0;  // 0 first .. 3 last, 4 second to last
  int monthlyDay = 0;     // 0 Sunday .. 6 Saturday
  std::int64_t delayExecuteMinute = 0;
};

struct TTaskRecord {
  std::int64_t rowId = 0;  // internal key
  std::string owner;       // '' for a default task
  std::int64_t taskId = 0;
  int kind = 0;
  std::string name;
  std::string comment;  // line breaks as the character 2
  bool isDownTask = false;
  bool backupMode = false;
  std::string created;  // "yyyy-mm-dd hh:nn:ss"
  TTaskSchedule schedule;

  bool IsDefault() const { return owner.empty(); }
};

struct TTaskFileObjectRecord {
  std::string name;         // "/" separators
  std::optional<int> kind;  // 1 folder, 0 file; none when sent without one
  std::int64_t size = -1;
  std::int64_t date = -1;
  std::int64_t version = -1;
};

struct TFilterPattern {
  std::string pattern;  // "/" separators
  bool isInclude = false;
};

struct TTaskFilterEx {
  bool filterSize = false;
  std::int64_t minFileSize = 0;
  std::int64_t maxFileSize = 0;
  bool filterCreateDate = false;
  std::string minFileCreateDate, maxFileCreateDate;
  bool filterUpdateDate = false;
  std::string minFileModifiedDate, maxFileModifiedDate;
  bool filterAttribute = false;
  bool isFilterReadOnly = false;
  bool isFilterHidden = false;
};

// Every call returns the failed statement's message as an error value;
// writing calls leave the caller's Transaction to roll back then.

// The user's own task with that ID, else the default task with that ID when
// it is assigned to the user.
TStoreResult<std::optional<TTaskRecord>> FindTaskOfUser(Database& db, const std::string& userCode,
                                                        std::int64_t taskId);
TStoreResult<std::optional<TTaskRecord>> FindDefaultTask(Database& db, std::int64_t taskId);
// The user's own tasks, then (includeDefaults) the default tasks assigned
// to him, each by ID.
TStoreResult<std::vector<TTaskRecord>> ListTasksOfUser(Database& db, const std::string& userCode,
                                                       bool includeDefaults);
TStoreResult<std::vector<TTaskRecord>> ListDefaultTasks(Database& db);
TStoreResult<std::vector<std::string>> AssignedUsers(Database& db, std::int64_t rowId);

// False when the owner has a task with that ID already. Sets rowId.
TStoreResult<bool> InsertTask(Database& db, TTaskRecord& task);
TStoreResult<void> UpdateTask(Database& db, const TTaskRecord& task);
// The task with its objects, filters and assignments; its runs stay.
TStoreResult<void> RemoveTask(Database& db, std::int64_t rowId);
// The lowest free ID above every default task's (1 .. 65 535); nullopt when
// all are taken.
TStoreResult<std::optional<std::int64_t>> NextDefaultTaskId(Database& db);
// False when it was assigned already / was not assigned.
TStoreResult<bool> AssignDefaultTask(Database& db, std::int64_t rowId, const std::string& userCode);
TStoreResult<bool> UnassignDefaultTask(Database& db, std::int64_t rowId,
                                       const std::string& userCode);

TStoreResult<void> ReplaceTaskObjects(Database& db, std::int64_t rowId,
                                      const std::vector<TTaskFileObjectRecord>& objects);
TStoreResult<std::vector<TTaskFileObjectRecord>> TaskObjects(Database& db, std::int64_t rowId);
TStoreResult<void> ReplaceTaskFilters(Database& db, std::int64_t rowId,
                                      const std::vector<TFilterPattern>& patterns);
// Include patterns first, each group in stored order.
TStoreResult<std::vector<TFilterPattern>> TaskFilters(Database& db, std::int64_t rowId);
TStoreResult<void> ReplaceTaskFilterEx(Database& db, std::int64_t rowId,
                                       const TTaskFilterEx& filter);
TStoreResult<std::optional<TTaskFilterEx>> TaskFilterEx(Database& db, std::int64_t rowId);

// The two tables of ordered include/exclude patterns: a task's filter and an
// administrator's policy. Each row belongs to one owner (a task's or a
// policy's row id) and keeps its position in the list it was sent in.
enum class PatternTable { kTaskFilters, kPolicyPatterns };
// Include patterns first, each group in stored order.
TStoreResult<std::vector<TFilterPattern>> ReadPatternRows(Database& db, PatternTable table,
                                                          std::int64_t owner);
// REQUIRES: the caller holds a Transaction.
TStoreResult<void> ReplacePatternRows(Database& db, PatternTable table, std::int64_t owner,
                                      const std::vector<TFilterPattern>& patterns);

}  // namespace solvane::server
