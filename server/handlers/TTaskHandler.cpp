// Task definitions: TTask.Insert, TTask.Update, TTask.Remove,
// TTask.SelectByUser and each task's objects, filter patterns and extended
// filter (TTask.SetFileObject*, TTask.GetFileObject*). The run reports and
// the policy operations register from their own files.

#include <chrono>
#include <string>
#include <vector>

#include "handlers/Operations.h"
#include "handlers/TaskAccess.h"
#include "handlers/TaskFields.h"
#include "handlers/TaskHandlers.h"
#include "handlers/TaskRequest.h"
#include "storage/TaskStore.h"
#include "protocol/Dispatcher.h"
#include "storage/Database.h"

namespace solvane::server {

namespace {

bool IsClientTaskId(std::int64_t id) { return id < 0 || id >= kFirstClientTaskId; }

// --- reading a task definition ----------------------------------------------

// The fields below keep their value when the request does not carry them.

bool ReadBox(TRequestContext& ctx, std::string_view name, std::int64_t& out) {
  if (!HasField(ctx, name)) return true;
  auto v = ParseBoxNumber(ctx.Str(name));
  if (!v) return ctx.Fail(kErrBadRequest, std::string(name) + " is out of range");
  out = *v;
  return true;
}

void ReadFlag(TRequestContext& ctx, std::string_view name, bool& out) {
  if (HasField(ctx, name)) out = ctx.Bool(name);
}

bool ReadChoice(TRequestContext& ctx, std::string_view name, int max, int& out) {
  if (!HasField(ctx, name)) return true;
  std::int64_t v = 0;
  if (!ReadIntInRange(ctx, name, 0, max, v)) return false;
  out = static_cast<int>(v);
  return true;
}

bool ReadText(TRequestContext& ctx, std::string_view name, std::size_t maxBytes,
              bool allowLineBreaks, std::string& out) {
  if (!HasField(ctx, name)) return true;
  std::string text = ctx.Str(name);
  if (!IsCleanText(text, maxBytes, allowLineBreaks))
    return ctx.Fail(kErrBadRequest, std::string(name) + " is too long or holds control characters");
  out = std::move(text);
  return true;
}

bool ReadSchedule(TRequestContext& ctx, TTaskSchedule& s) {
  ReadFlag(ctx, "IsEnableSchedule", s.isEnabled);
  if (HasField(ctx, "Schedule_StartTime")) {
    std::string start = ctx.Str("Schedule_StartTime");
    if (!IsDateTimeText(start))
      return ctx.Fail(kErrBadRequest, "Schedule_StartTime is not yyyy-mm-dd hh:nn:ss");
    s.startTime = start;
  }
  // Insert and Update send "DelayExecuteMinute"; the spelling the task list
  // reads back is taken as well.
  const char* delay =
      HasField(ctx, "DelayExecuteMinute") ? "DelayExecuteMinute" : "DelayExcuteMinute";
  if (!ReadBox(ctx, delay, s.delayExecuteMinute)) return false;
  if (!ReadChoice(ctx, "Schedule_Kind", 3, s.kind)) return false;
  if (!ReadBox(ctx, "Periodical_Days", s.periodicalDays) ||
      !ReadBox(ctx, "Periodical_Hours", s.periodicalHours) ||
      !ReadBox(ctx, "Periodical_Minites", s.periodicalMinutes) ||
      !ReadBox(ctx, "Daily_Days", s.dailyDays) || !ReadBox(ctx, "Weekly_Weeks", s.weeklyWeeks) ||
      !ReadBox(ctx, "Monthly_Months", s.monthlyMonths))
    return false;
  for (int day = 1; day <= 7; ++day) {
    const std::string name = "IsWeekly_Day" + std::to_string(day);
    if (!HasField(ctx, name)) continue;
    const int bit = 1 << (day - 1);
    s.weeklyDays = ctx.Bool(name) ? (s.weeklyDays | bit) : (s.weeklyDays & ~bit);
  }
  return ReadChoice(ctx, "Monthly_Prefix", 4, s.monthlyPrefix) &&
         ReadChoice(ctx, "Monthly_Day", 6, s.monthlyDay);
}

// Applies the definition fields the request carries to `task`.
bool ReadTaskDefinition(TRequestContext& ctx, TTaskRecord& task) {
  if (HasField(ctx, "Kind")) {
    std::int64_t kind = 0;
    if (!ctx.RequireInt("Kind", kind)) return false;
    if (!IsNamedTaskKind(kind))
      return ctx.Fail(kErrBadRequest, "a named task is of kind 100, 200 or 500");
    if (task.rowId != 0 && kind != task.kind)
      return ctx.Fail(kErrConflict, "a task keeps the kind it was created with");
    task.kind = static_cast<int>(kind);
  }
  if (HasField(ctx, "Name") && ctx.Str("Name").empty())
    return ctx.Fail(kErrBadRequest, "Name is empty");
  if (!ReadText(ctx, "Name", kMaxTaskNameBytes, false, task.name) ||
      !ReadText(ctx, "Comment", kMaxCommentBytes, true, task.comment))
    return false;
  ReadFlag(ctx, "IsDownTask", task.isDownTask);
  ReadFlag(ctx, "BackupMode", task.backupMode);
  return ReadSchedule(ctx, task.schedule);
}

// --- replies ----------------------------------------------------------------

void AddTaskRecord(TQorPack& r, int n, const TTaskRecord& t) {
  const TTaskSchedule& s = t.schedule;
  r.AddInteger(n, "ID", t.taskId);
  r.AddInteger(n, "Kind", t.kind);
  r.AddString(n, "Name", t.name);
  r.AddString(n, "UCode", t.owner);
  r.AddBoolean(n, "IsDownTask", t.isDownTask);
  r.AddBoolean(n, "IsTemporary", false);
  r.AddBoolean(n, "BackupMode", t.backupMode);
  r.AddString(n, "Comment", t.comment);
  r.AddString(n, "CreateDate", t.created);
  r.AddBoolean(n, "IsEnableSchedule", s.isEnabled);
  r.AddString(n, "Schedule_StartTime", s.startTime);
  r.AddInteger(n, "Schedule_Kind", s.kind);
  r.AddInteger(n, "Periodical_Days", s.periodicalDays);
  r.AddInteger(n, "Periodical_Hours", s.periodicalHours);
  r.AddInteger(n, "Periodical_Minites", s.periodicalMinutes);
  r.AddInteger(n, "Daily_Days", s.dailyDays);
  r.AddInteger(n, "Weekly_Weeks", s.weeklyWeeks);
  for (int day = 1; day <= 7; ++day)
    r.AddBoolean(n, "IsWeekly_Day" + std::to_string(day), (s.weeklyDays >> (day - 1)) & 1);
  r.AddInteger(n, "Monthly_Prefix", s.monthlyPrefix);
  r.AddInteger(n, "Monthly_Day", s.monthlyDay);
  r.AddInteger(n, "Monthly_Months", s.monthlyMonths);
  r.AddInteger(n, "DelayExcuteMinute", s.delayExecuteMinute);
}

// --- finding the task a request names -----------------------------------------

// A task the user reads: his own or a default task assigned to him.
std::optional<TTaskRecord> ReadableTask(TRequestContext& ctx, const std::string& user,
                                        std::int64_t taskId) {
  auto task = FindTaskOfUser(ctx.Db(), user, taskId);
  if (!task.Ok()) {
    ctx.FailStorage(task.Error());
    return std::nullopt;
  }
  if (!*task) ctx.Fail(kErrNotFound, "no task with this TaskID");
  return *task;
}

// A task the user changes: his own only.
std::optional<TTaskRecord> ChangeableTask(TRequestContext& ctx, const std::string& user,
                                          std::int64_t taskId) {
  auto task = ReadableTask(ctx, user, taskId);
  if (task && task->IsDefault()) {
    ctx.Fail(kErrForbidden, "a default task is changed by the administrator only");
    return std::nullopt;
  }
  return task;
}

// --- operations -----------------------------------------------------------------

// Commits the change when its last step succeeded; else sets the storage
// failure and leaves the transaction to roll back.
void CommitAfter(TRequestContext& ctx, Transaction& tx, const TStoreResult<void>& step) {
  if (!step.Ok()) return (void)ctx.FailStorage(step.Error());
  tx.Commit();
}

void Insert(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  if (!user) return;
  TTaskRecord task;
  task.owner = *user;
  if (!ReadTaskId(ctx, task.taskId)) return;
  if (!IsClientTaskId(task.taskId))
    return (void)ctx.Fail(kErrBadRequest, "task IDs below 65536 belong to default tasks");
  for (const char* required : {"Kind", "Name"})
    if (!HasField(ctx, required))
      return (void)ctx.Fail(kErrBadRequest, std::string(required) + " is missing");
  if (ctx.Bool("IsTemporary"))
    return (void)ctx.Fail(kErrBadRequest, "one-off tasks are not stored, only their runs");
  task.created = FormatDateTime(std::chrono::system_clock::now());
  task.schedule.startTime = task.created;
  if (!ReadTaskDefinition(ctx, task)) return;
  Transaction tx(ctx.Db());
  auto inserted = InsertTask(ctx.Db(), task);
  if (!inserted.Ok()) return (void)ctx.FailStorage(inserted.Error());
  if (!*inserted) return (void)ctx.Fail(kErrConflict, "a task with this TaskID exists already");
  tx.Commit();
}

void Update(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  Transaction tx(ctx.Db());
  auto task = ChangeableTask(ctx, *user, taskId);
  if (!task || !ReadTaskDefinition(ctx, *task)) return;
  CommitAfter(ctx, tx, UpdateTask(ctx.Db(), *task));
}

void Remove(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  Transaction tx(ctx.Db());
  auto task = ChangeableTask(ctx, *user, taskId);
  if (!task) return;
  CommitAfter(ctx, tx, RemoveTask(ctx.Db(), task->rowId));
}

void SelectByUser(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  if (!user) return;
  const bool includeDefaults = !HasField(ctx, "IsIncludePolicy") || ctx.Bool("IsIncludePolicy");
  auto tasks = ListTasksOfUser(ctx.Db(), *user, includeDefaults);
  if (!tasks.Ok()) return (void)ctx.FailStorage(tasks.Error());
  int n = 0;
  for (const TTaskRecord& t : *tasks) AddTaskRecord(ctx.Reply(), ++n, t);
}

void SetFileObject(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadSetCallTask(ctx, *user, taskId)) return;
  const bool hasKind = HasField(ctx, "ObjectKind");
  std::vector<TTaskFileObjectRecord> objects;
  for (int n = 1; n <= ctx.RecordSets(); ++n) {
    TTaskFileObjectRecord o;
    auto name = NormaliseTaskPath(ctx.Str("ObjectName", n));
    if (!name) return (void)ctx.Fail(kErrBadRequest, "ObjectName is empty, too long or unclean");
    o.name = *name;
    std::int64_t kind = 0;
    if (hasKind) {
      if (!ReadIntInRange(ctx, "ObjectKind", 0, 1, kind, n)) return;
      o.kind = static_cast<int>(kind);
    }
    for (auto [field, value] :
         {std::pair{"ObjectSize", &o.size}, {"ObjectDate", &o.date}, {"ObjectVersion", &o.version}})
      if (HasField(ctx, field) && !ctx.RequireInt(field, *value, n)) return;
    objects.push_back(std::move(o));
  }
  Transaction tx(ctx.Db());
  auto task = ChangeableTask(ctx, *user, taskId);
  if (!task) return;
  CommitAfter(ctx, tx, ReplaceTaskObjects(ctx.Db(), task->rowId, objects));
}

void GetFileObject(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  auto task = ReadableTask(ctx, *user, taskId);
  if (!task) return;
  // An object stored without a kind is the folder of a folder sync task.
  const int kindless = task->kind == 200 ? 1 : 0;
  auto objects = TaskObjects(ctx.Db(), task->rowId);
  if (!objects.Ok()) return (void)ctx.FailStorage(objects.Error());
  int n = 0;
  for (const auto& o : *objects) {
    ++n;
    ctx.Reply().AddString(n, "ObjectName", o.name);
    ctx.Reply().AddInteger(n, "ObjectKind", o.kind.value_or(kindless));
    ctx.Reply().AddInteger(n, "ObjectSize", o.size);
    ctx.Reply().AddInteger(n, "ObjectDate", o.date);
    ctx.Reply().AddInteger(n, "ObjectVersion", o.version);
  }
}

void SetFileObjectFilter(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadSetCallTask(ctx, *user, taskId)) return;
  std::vector<TFilterPattern> patterns;
  for (int n = 1; n <= ctx.RecordSets(); ++n) {
    const std::string text = ctx.Str("FilterStr", n);
    const std::string kind = ctx.Str("FilterKind", n);
    // "-1"/"-1" stands for "no patterns" when both boxes were empty.
    if (text == "-1" && kind == "-1") continue;
    if (kind != "0" && kind != "1")
      return (void)ctx.Fail(kErrBadRequest, "FilterKind must be 1 (include) or 0 (exclude)");
    auto pattern = NormalisePattern(text);
    if (!pattern) return (void)ctx.Fail(kErrBadRequest, "FilterStr is too long or unclean");
    // A blank pattern would match every path: dropped.
    if (!pattern->empty()) patterns.push_back({*pattern, kind == "1"});
  }
  Transaction tx(ctx.Db());
  auto task = ChangeableTask(ctx, *user, taskId);
  if (!task) return;
  CommitAfter(ctx, tx, ReplaceTaskFilters(ctx.Db(), task->rowId, patterns));
}

void AddPatterns(TQorPack& r, const std::vector<TFilterPattern>& patterns) {
  int n = 0;
  for (const auto& p : patterns) {
    ++n;
    r.AddString(n, "FilterStr", p.pattern);
    r.AddBoolean(n, "FilterKind", p.isInclude);
  }
}

void GetFileObjectFilter(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  auto task = ReadableTask(ctx, *user, taskId);
  if (!task) return;
  auto patterns = TaskFilters(ctx.Db(), task->rowId);
  if (!patterns.Ok()) return (void)ctx.FailStorage(patterns.Error());
  AddPatterns(ctx.Reply(), *patterns);
}

bool ReadFilterDate(TRequestContext& ctx, std::string_view name, std::string& out) {
  if (!HasField(ctx, name)) return true;
  std::string text = ctx.Str(name);
  if (!text.empty() && !IsDateTimeText(text))
    return ctx.Fail(kErrBadRequest, std::string(name) + " is not yyyy-mm-dd hh:nn:ss");
  out = std::move(text);
  return true;
}

void SetFileObjectFilterEx(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadSetCallTask(ctx, *user, taskId)) return;
  TTaskFilterEx f;
  ReadFlag(ctx, "FilterSize", f.filterSize);
  ReadFlag(ctx, "FilterCreateDate", f.filterCreateDate);
  ReadFlag(ctx, "FilterUpdateDate", f.filterUpdateDate);
  ReadFlag(ctx, "FilterAttribute", f.filterAttribute);
  ReadFlag(ctx, "IsFilterReadOnly", f.isFilterReadOnly);
  ReadFlag(ctx, "IsFilterHidden", f.isFilterHidden);
  if (!ReadBox(ctx, "MinFileSize", f.minFileSize) || !ReadBox(ctx, "MaxFileSize", f.maxFileSize) ||
      !ReadFilterDate(ctx, "MinFileCreateDate", f.minFileCreateDate) ||
      !ReadFilterDate(ctx, "MaxFileCreateDate", f.maxFileCreateDate) ||
      !ReadFilterDate(ctx, "MinFileModifiedDate", f.minFileModifiedDate) ||
      !ReadFilterDate(ctx, "MaxFileModifiedDate", f.maxFileModifiedDate))
    return;
  Transaction tx(ctx.Db());
  auto task = ChangeableTask(ctx, *user, taskId);
  if (!task) return;
  CommitAfter(ctx, tx, ReplaceTaskFilterEx(ctx.Db(), task->rowId, f));
}

void GetFileObjectFilterEx(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  auto task = ReadableTask(ctx, *user, taskId);
  if (!task) return;
  auto saved = TaskFilterEx(ctx.Db(), task->rowId);
  if (!saved.Ok()) return (void)ctx.FailStorage(saved.Error());
  const auto& f = *saved;
  if (!f) return;  // nothing saved: no record
  TQorPack& r = ctx.Reply();
  r.AddBoolean(1, "FilterSize", f->filterSize);
  r.AddInteger(1, "MinFileSize", f->minFileSize);
  r.AddInteger(1, "MaxFileSize", f->maxFileSize);
  r.AddBoolean(1, "FilterCreateDate", f->filterCreateDate);
  r.AddString(1, "MinFileCreateDate", f->minFileCreateDate);
  r.AddString(1, "MaxFileCreateDate", f->maxFileCreateDate);
  r.AddBoolean(1, "FilterUpdateDate", f->filterUpdateDate);
  r.AddString(1, "MinFileModifiedDate", f->minFileModifiedDate);
  r.AddString(1, "MaxFileModifiedDate", f->maxFileModifiedDate);
  r.AddBoolean(1, "FilterAttribute", f->filterAttribute);
  r.AddBoolean(1, "IsFilterReadOnly", f->isFilterReadOnly);
  r.AddBoolean(1, "IsFilterHidden", f->isFilterHidden);
}

}  // namespace

void RegisterTaskOperations(TDispatcher& d) {
  d.Register("TTask.Insert", Insert);
  d.Register("TTask.Update", Update);
  d.Register("TTask.Remove", Remove);
  d.Register("TTask.SelectByUser", SelectByUser);
  d.Register("TTask.SetFileObject", SetFileObject);
  d.Register("TTask.GetFileObject", GetFileObject);
  d.Register("TTask.SetFileObject_Filter", SetFileObjectFilter);
  d.Register("TTask.GetFileObject_Filter", GetFileObjectFilter);
  d.Register("TTask.SetFileObject_FilterEx", SetFileObjectFilterEx);
  d.Register("TTask.GetFileObject_FilterEx", GetFileObjectFilterEx);
  RegisterTaskRunOperations(d);
  RegisterPolicyOperations(d);
  RegisterTaskMailOperations(d);
}

}  // namespace solvane::server
