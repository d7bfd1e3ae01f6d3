// The run reports of every task, named or one-off: TTask.Start opens the run
// (TaskID, SessionID) of the signed-in user, TTask.Stop stores its counters,
// TTask.ErrorReport adds its failed objects. Reports are idempotent: a
// report repeated after a lost reply changes nothing more.

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "handlers/TaskAccess.h"
#include "handlers/TaskFields.h"
#include "handlers/TaskHandlers.h"
#include "handlers/TaskRequest.h"
#include "storage/RunStore.h"
#include "protocol/Dispatcher.h"
#include "storage/Database.h"

namespace solvane::server {

namespace {

constexpr std::int64_t kMaxCounter = std::int64_t{1} << 53;

bool IsTaskKind(std::int64_t kind) {
  constexpr std::int64_t kKinds[] = {100, 151, 171, 200, 300, 400, 500, 600};
  return std::find(std::begin(kKinds), std::end(kKinds), kind) != std::end(kKinds);
}

struct TRunRef {
  std::string user;
  std::int64_t taskId = 0;
  std::int64_t sessionId = 0;
  TRunHead head;
};

// The run and task a report record names. ErrorReport carries no direction.
bool ReadRunRef(TRequestContext& ctx, int n, bool withDirection, TRunRef& run) {
  if (!ReadTaskId(ctx, run.taskId, n) || !ReadSessionId(ctx, "SessionID", run.sessionId, n))
    return false;
  std::int64_t kind = 0;
  if (!ctx.RequireInt("TaskKind", kind, n)) return false;
  if (!IsTaskKind(kind)) return ctx.Fail(kErrBadRequest, "TaskKind is no task kind");
  run.head.taskKind = static_cast<int>(kind);
  if (withDirection) {
    std::int64_t direction = 0;
    if (!ReadIntInRange(ctx, "TaskDirection", 0, 1, direction, n)) return false;
    run.head.taskDirection = static_cast<int>(direction);
  }
  run.head.taskName = ctx.Str("TaskName", n);
  if (!IsCleanText(run.head.taskName, kMaxTaskNameBytes))
    return ctx.Fail(kErrBadRequest, "TaskName is too long or holds control characters");
  run.head.isTemporary = ctx.Bool("IsTemporary", n);
  return true;
}

bool ReadRunOfRequest(TRequestContext& ctx, bool withDirection, TRunRef& run) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  if (!user) return false;
  run.user = *user;
  return ReadRunRef(ctx, 1, withDirection, run);
}

// A restore only reads: when its run cannot be written (a full disk) it goes
// on unlogged rather than not at all. An upload run needs the disk anyway.
void WriteRun(TRequestContext& ctx, const TRunRef& run, const TStoreResult<void>& written) {
  if (written.Ok()) return;
  if (run.head.taskDirection != 1) return (void)ctx.FailStorage(written.Error());
  std::cerr << "run of task " << run.taskId << " not logged: " << written.Error() << std::endl;
}

void Start(TRequestContext& ctx) {
  TRunRef run;
  if (!ReadRunOfRequest(ctx, true, run)) return;
  WriteRun(ctx, run, StartRun(ctx.Db(), run.user, run.taskId, run.sessionId, run.head));
}

void Stop(TRequestContext& ctx) {
  TRunRef run;
  if (!ReadRunOfRequest(ctx, true, run)) return;
  const std::string comment = ctx.Str("Comment");
  if (!IsCleanText(comment, kMaxCommentBytes, true))
    return (void)ctx.Fail(kErrBadRequest, "Comment is too long or holds control characters");
  TRunCounters c;
  const std::pair<const char*, std::int64_t*> counters[] = {
      {"FolderTotalCount", &c.folderTotalCount},
      {"FolderCount", &c.folderCount},
      {"TotalFileCount", &c.totalFileCount},
      {"TotalDoneFileSize", &c.totalDoneFileSize},
      {"FileWaitedCount", &c.fileWaitedCount},
      {"FileCheckedCount", &c.fileCheckedCount},
      {"FileCheckedAndNoChangeCount", &c.fileCheckedAndNoChangeCount},
      {"FileCheckedAndNeedUpCount", &c.fileCheckedAndNeedUpCount},
      {"FileDispatchedCount", &c.fileDispatchedCount},
      {"FileDoneCount", &c.fileDoneCount},
      {"FileErrorCount", &c.fileErrorCount}};
  for (auto [name, value] : counters)
    if (!ReadIntInRange(ctx, name, 0, kMaxCounter, *value)) return;
  WriteRun(ctx, run,
           StopRun(ctx.Db(), run.user, run.taskId, run.sessionId, run.head, comment, c));
}

// A failed object's reason, as the client states it.
constexpr std::size_t kMaxErrorCommentBytes = 1024;

void ErrorReport(TRequestContext& ctx) {
  TRunRef run;
  if (ctx.RecordSets() < 1)
    return (void)ctx.Fail(kErrBadRequest, "the request holds no error object");
  if (!ReadRunOfRequest(ctx, false, run)) return;
  std::vector<TRunError> errors;
  for (int n = 1; n <= ctx.RecordSets(); ++n) {
    TRunRef same;
    if (!ReadRunRef(ctx, n, false, same)) return;
    if (same.taskId != run.taskId || same.sessionId != run.sessionId)
      return (void)ctx.Fail(kErrBadRequest, "the records name different runs");
    const std::string named = ctx.Str("UCode", n);
    if (!named.empty() && named != run.user)
      return (void)ctx.Fail(kErrForbidden, "a record names another user");
    // The client's reason is kept when it is clean text; without one the
    // comment stays empty.
    std::string comment = ctx.Str("ObjectComment", n);
    if (!IsCleanText(comment, kMaxErrorCommentBytes)) comment.clear();
    TRunError e{ctx.Str("ObjectName", n), ctx.Str("ObjectFolder", n), std::move(comment)};
    if (e.objectName.empty() || !IsCleanText(e.objectName, kMaxObjectNameBytes) ||
        !IsCleanText(e.objectFolder, kMaxPathBytes))
      return (void)ctx.Fail(kErrBadRequest, "ObjectName or ObjectFolder is empty or unclean");
    errors.push_back(std::move(e));
  }
  auto added = AddRunErrors(ctx.Db(), run.user, run.taskId, run.sessionId, run.head, errors);
  if (!added.Ok()) ctx.FailStorage(added.Error());
}

}  // namespace

void RegisterTaskRunOperations(TDispatcher& d) {
  d.Register("TTask.Start", Start);
  d.Register("TTask.Stop", Stop);
  d.Register("TTask.ErrorReport", ErrorReport);
}

}  // namespace solvane::server
