// The run log and the task report: TLog.TaskLog_Select,
// TLog.TaskLog_SelectFolder, TLog.TaskLog_SelectObject,
// TLog.TaskLog_SelectErrorObject and TTask.SelectReport (a span of runs, or
// one run when both bounds are its session).

#include <algorithm>
#include <string>

#include "handlers/Operations.h"
#include "handlers/TaskAccess.h"
#include "handlers/TaskRequest.h"
#include "storage/RunStore.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

struct TSessionSpan {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

// "StartSession" .. "EndSeesion" (spelled so on the wire), both inclusive.
bool ReadSpan(TRequestContext& ctx, TSessionSpan& span) {
  const char* end = HasField(ctx, "EndSeesion") ? "EndSeesion" : "EndSession";
  return ReadSessionBound(ctx, "StartSession", span.first) && ReadSessionBound(ctx, end, span.last);
}

// The user whose log is read and the run the request names.
struct TRunQuery {
  std::string user;
  std::int64_t taskId = 0;
  std::int64_t sessionId = 0;
};

bool ReadRunQuery(TRequestContext& ctx, TRunQuery& q) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  if (!user) return false;
  q.user = *user;
  return ReadTaskId(ctx, q.taskId) && ReadSessionId(ctx, "SessionID", q.sessionId);
}

void TaskLogSelect(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  TSessionSpan span;
  if (!user || !ReadSpan(ctx, span)) return;
  // Restoring by task brings back what a run sent: upload runs only.
  auto runs = SelectRuns(ctx.Db(), *user, span.first, span.last, true);
  if (!runs.Ok()) return (void)ctx.FailStorage(runs.Error());
  int n = 0;
  for (const TRunRecord& r : *runs) {
    ++n;
    ctx.Reply().AddInteger(n, "TaskKind", r.head.taskKind);
    ctx.Reply().AddInteger(n, "SessionID", r.sessionId);
    ctx.Reply().AddString(n, "TaskName", r.head.taskName);
    ctx.Reply().AddInteger(n, "TaskID", r.taskId);
  }
}

void TaskLogSelectFolder(TRequestContext& ctx) {
  TRunQuery q;
  if (!ReadRunQuery(ctx, q)) return;
  auto folders = SelectRunFolders(ctx.Db(), q.user, q.taskId, q.sessionId);
  if (!folders.Ok()) return (void)ctx.FailStorage(folders.Error());
  int n = 0;
  for (const std::string& folder : *folders)
    ctx.Reply().AddString(++n, "ObjectFolder", folder);
}

void TaskLogSelectObject(TRequestContext& ctx) {
  TRunQuery q;
  if (!ReadRunQuery(ctx, q)) return;
  // The folder comes back after the client showed it with "\".
  std::string folder = ctx.Str("ObjectFolder");
  std::replace(folder.begin(), folder.end(), '\\', '/');
  auto objects = SelectRunObjects(ctx.Db(), q.user, q.taskId, q.sessionId, folder);
  if (!objects.Ok()) return (void)ctx.FailStorage(objects.Error());
  int n = 0;
  for (const auto& o : *objects) {
    ++n;
    ctx.Reply().AddString(n, "ObjectName", o.name);
    ctx.Reply().AddInteger(n, "ObjectSize", o.size);
    ctx.Reply().AddInteger(n, "ObjectDate", o.objectDate);
  }
}

void TaskLogSelectErrorObject(TRequestContext& ctx) {
  TRunQuery q;
  if (!ReadRunQuery(ctx, q)) return;
  auto errors = SelectRunErrors(ctx.Db(), q.user, q.taskId, q.sessionId);
  if (!errors.Ok()) return (void)ctx.FailStorage(errors.Error());
  int n = 0;
  for (const TRunError& e : *errors) {
    ++n;
    ctx.Reply().AddString(n, "ObjectName", e.objectName);
    ctx.Reply().AddString(n, "ObjectFolder", e.objectFolder);
    ctx.Reply().AddString(n, "ObjectComment", e.comment);
  }
}

void AddReportRecord(TQorPack& r, int n, const TRunRecord& run) {
  const TRunCounters& c = run.counters;
  r.AddInteger(n, "TaskID", run.taskId);
  r.AddString(n, "TaskName", run.head.taskName);
  r.AddInteger(n, "TaskKind", run.head.taskKind);
  r.AddInteger(n, "TaskDirection", run.head.taskDirection);
  r.AddBoolean(n, "IsTemporary", run.head.isTemporary);
  r.AddInteger(n, "SeesionID", run.sessionId);
  r.AddInteger(n, "FolderTotalCount", c.folderTotalCount);
  r.AddInteger(n, "FolderCount", c.folderCount);
  r.AddInteger(n, "TotalFileCount", c.totalFileCount);
  r.AddInteger(n, "TotalDoneFileSize", c.totalDoneFileSize);
  r.AddInteger(n, "FileWaitedCount", c.fileWaitedCount);
  r.AddInteger(n, "FileCheckedCount", c.fileCheckedCount);
  r.AddInteger(n, "FileCheckedAndNoChangeCount", c.fileCheckedAndNoChangeCount);
  r.AddInteger(n, "FileCheckedAndNeedUpCount", c.fileCheckedAndNeedUpCount);
  r.AddInteger(n, "FileDispatchedCount", c.fileDispatchedCount);
  r.AddInteger(n, "FileDoneCount", c.fileDoneCount);
  r.AddInteger(n, "FileErrorCount", c.fileErrorCount);
}

// Every run of the span, both directions and one-off runs too.
void SelectReport(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  TSessionSpan span;
  if (!user || !ReadSpan(ctx, span)) return;
  auto runs = SelectRuns(ctx.Db(), *user, span.first, span.last, false);
  if (!runs.Ok()) return (void)ctx.FailStorage(runs.Error());
  int n = 0;
  for (const TRunRecord& r : *runs)
    AddReportRecord(ctx.Reply(), ++n, r);
}

}  // namespace

void RegisterLogOperations(TDispatcher& d) {
  d.Register("TLog.TaskLog_Select", TaskLogSelect);
  d.Register("TLog.TaskLog_SelectFolder", TaskLogSelectFolder);
  d.Register("TLog.TaskLog_SelectObject", TaskLogSelectObject);
  d.Register("TLog.TaskLog_SelectErrorObject", TaskLogSelectErrorObject);
  d.Register("TTask.SelectReport", SelectReport);
}

}  // namespace solvane::server
