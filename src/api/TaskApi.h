#pragma once
// Typed calls of the class word TTask: the task list, a task's definition
// (objects, patterns, extended filter, mail selection), its creation and
// change, and the run reports.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/ApiTypes.h"
#include "wire/QorWithPack.h"

namespace solvane::api {

// A task's schedule as it travels. Creation and change send the box texts as
// decimal numbers; the list returns them as numbers.
struct TTaskSchedule {
  bool IsEnableSchedule = false;
  DateTime Schedule_StartTime{};
  std::int32_t Schedule_Kind = 0;  // 0 periodical, 1 days, 2 weeks, 3 months
  std::int32_t Periodical_Days = 0;
  std::int32_t Periodical_Hours = 0;
  std::int32_t Periodical_Minites = 0;
  std::int32_t Daily_Days = 0;
  std::int32_t Weekly_Weeks = 0;
  bool IsWeekly_Day[7] = {};  // Monday .. Sunday
  std::int32_t Monthly_Prefix = 0;
  std::int32_t Monthly_Day = 0;  // 0 Sunday .. 6 Saturday
  std::int32_t Monthly_Months = 0;
  std::int32_t DelayMinute = 0;  // sent "DelayExecuteMinute", read "DelayExcuteMinute"
};

// One task of the user's list.
struct TTaskRecord {
  std::int32_t ID = -1;
  std::int64_t Kind = 0;
  std::string Name;
  std::string UCode;  // empty: a default task assigned by an administrator
  bool BackupMode = false;
  std::string Comment;  // lines separated by CR LF
  DateTime CreateDate{};
  TTaskSchedule Schedule;  // every field, also while the schedule is off
};

// A named task as created or changed.
struct TTaskDefinition {
  std::string UCode;
  std::int32_t TaskID = -1;
  std::int32_t Kind = 0;
  std::string Name;
  std::string Comment;  // lines separated by CR LF
  bool BackupMode = false;  // sent with kind 100 only on change
  TTaskSchedule Schedule;
};

// One object of a file task's selection.
struct TTaskFileObjectRecord {
  std::string ObjectName;  // "/" form
  bool IsFolder = false;
};

// A task's extended filter. The four switches are optional in a reply (a
// server that does not keep them leaves them out).
struct TTaskFilterEx {
  std::int32_t MinFileSize = 0;  // MiB
  std::int32_t MaxFileSize = 0;
  DateTime MinFileCreateDate{};
  DateTime MaxFileCreateDate{};
  DateTime MinFileModifiedDate{};
  DateTime MaxFileModifiedDate{};
  bool IsFilterReadOnly = false;
  bool IsFilterHidden = false;
  std::optional<bool> FilterSize, FilterCreateDate, FilterUpdateDate, FilterAttribute;
};

// One mail folder of a mail task's selection.
struct TTaskMailFolder {
  std::int32_t MCKind = 0;  // 0 Foxmail, 1 Outlook, 2 Outlook Express
  std::int64_t MCFolderParentID = -1;
  std::int64_t MCFolderID = 0;
  std::int64_t MCData = 0;
  std::string MCCargo;
  std::string MCFileName1;
  std::string MCFileName2;
  bool IsSelected = false;  // the whole folder
};

// One message chosen singly.
struct TTaskMailMessage {
  std::int32_t MCKind = 0;
  std::int64_t MCFolderID = 0;
  std::int64_t MCMessageID = 0;
  std::string MCMessageSubject;
  std::string MCMessageSender;
  DateTime SentDate{};  // sent as text
  std::uint32_t SentDateDos = 0;  // returned packed; 0 outside 1980-2107
  std::int64_t MCMessageSize = 0;
  std::string MCMessageCago;
};

// What the run reports name of a run.
struct TRunHead {
  std::string UCode;
  std::int32_t TaskID = -1;
  std::string TaskName;
  std::int32_t TaskKind = -1;
  std::int32_t TaskDirection = 0;
  std::int32_t SessionID = -1;
  bool IsTemporary = false;
};

// The counters of an end report, in the order they travel.
struct TRunCounters {
  std::int64_t FolderTotalCount = 0;
  std::int64_t FolderCount = 0;
  std::int64_t TotalFileCount = 0;
  std::int64_t TotalDoneFileSize = 0;
  std::int64_t FileWaitedCount = 0;
  std::int64_t FileCheckedCount = 0;
  std::int64_t FileCheckedAndNoChangeCount = 0;
  std::int64_t FileCheckedAndNeedUpCount = 0;
  std::int64_t FileDispatchedCount = 0;
  std::int64_t FileDoneCount = 0;
  std::int64_t FileErrorCount = 0;
};

// A file that failed in a run.
struct TRunErrorObject {
  std::string ObjectName;
  std::string ObjectFolder;
  std::string ObjectComment;  // why it failed; sent only when known
};

// One run of the task report.
struct TRunReport {
  std::int32_t TaskID = -1;
  std::string TaskName;
  std::int64_t TaskKind = 0;
  bool IsDownload = false;  // "TaskDirection" exactly "1"
  std::uint32_t SessionID = 0;  // travels as "SeesionID"
  TRunCounters Counters;  // those the report returns; the others stay 0
};

// The user's named tasks, and the default tasks assigned to him when
// includePolicy.
TApiResult<std::vector<TTaskRecord>> TaskSelectByUser(const TApiLink& link,
                                                      const std::string& userCode,
                                                      bool includePolicy = true);
TApiStatus TaskRemove(const TApiLink& link, const TCaller& from, std::int32_t taskId);

// Creation and change of a named task; the objects follow in further calls.
TApiStatus TaskInsert(const TApiLink& link, const TCaller& from, const TTaskDefinition& task);
TApiStatus TaskUpdate(const TApiLink& link, const TCaller& from, const TTaskDefinition& task);

TApiResult<std::vector<TTaskFileObjectRecord>> TaskGetFileObject(const TApiLink& link,
                                                                 std::int32_t taskId);
TApiResult<std::vector<TFilterPattern>> TaskGetFileObjectFilter(const TApiLink& link,
                                                                std::int32_t taskId);
// nullopt when not exactly one record came back (nothing stored).
TApiResult<std::optional<TTaskFilterEx>> TaskGetFileObjectFilterEx(const TApiLink& link,
                                                                   std::int32_t taskId);

// Replaces the task's objects. The folder sync creation screen's shape
// (userCode sent, no "ObjectKind") when syncCreation.
TApiStatus TaskSetFileObject(const TApiLink& link, const TCaller& from,
                             const std::string& userCode, std::int32_t taskId,
                             const std::vector<TTaskFileObjectRecord>& objects,
                             bool syncCreation = false);
// Replaces the task's patterns; none is sent as the "-1"/"-1" record.
TApiStatus TaskSetFileObjectFilter(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskId,
                                   const std::vector<TFilterPattern>& patterns);
// Replaces the extended filter; the switches unset are sent as off.
TApiStatus TaskSetFileObjectFilterEx(const TApiLink& link, const TCaller& from,
                                     const std::string& userCode, std::int32_t taskId,
                                     const TTaskFilterEx& filter);

TApiResult<std::vector<TTaskMailFolder>> TaskGetMCObject(const TApiLink& link, std::int32_t taskId);
TApiResult<std::vector<TTaskMailMessage>> TaskGetMCObjectMessage(const TApiLink& link,
                                                                 std::int32_t taskId,
                                                                 std::int64_t folderId);
TApiStatus TaskSetMCObject(const TApiLink& link, const TCaller& from,
                           const std::string& userCode, std::int32_t taskId,
                           const std::vector<TTaskMailFolder>& folders);
TApiStatus TaskSetMCObjectMessage(const TApiLink& link, const TCaller& from,
                                  const std::string& userCode, std::int32_t taskId,
                                  const std::vector<TTaskMailMessage>& messages);

// The run reports: start, end (comment with CR LF), and up to ten failed
// files per call.
TApiStatus TaskStart(const TApiLink& link, const TRunHead& run);
TApiStatus TaskStop(const TApiLink& link, const TRunHead& run, const std::string& comment,
                    const TRunCounters& counters);
TApiStatus TaskErrorReport(const TApiLink& link, const TRunHead& run,
                           const std::vector<TRunErrorObject>& objects);

// The user's runs started within [startSession, endSession] (packed dates).
TApiResult<std::vector<TRunReport>> TaskSelectReport(const TApiLink& link,
                                                     const std::string& userCode,
                                                     std::uint32_t startSession,
                                                     std::uint32_t endSession);

}  // namespace solvane::api
