#include "tasks/TaskReports.h"

#include <functional>

#include "tasks/EngineContext.h"
#include "tasks/TaskLocalPaths.h"
#include "tasks/TaskServerCall.h"

namespace solvane {

namespace {

constexpr int kReportAttempts = 4;
constexpr int kErrorBatch = 10;

// What the reports send of a task, read once under its lock.
struct TReportHead {
  std::int32_t TaskID = -1;
  std::string TaskName;
  std::int16_t TaskKind = -1;
  std::uint8_t TaskDirection = 0;
  std::int32_t SessionID = -1;
  std::string Comment;
  bool IsTemporary = false;
};

TReportHead HeadOf(const TTaskObject& task) {
  auto lock = task.Lock();
  return {task.TaskID,    task.TaskName, task.TaskKind,   task.TaskDirection,
          task.SessionID, task.Comment,  task.IsTemporary};
}

bool SendWithAttempts(IEngineContext& ctx, const std::function<void(TQorPack&)>& build) {
  TQorPack pack;
  for (int attempt = 0; attempt < kReportAttempts; ++attempt) {
    pack.Reset();
    build(pack);
    if (CallServer(ctx, pack)) return true;
  }
  return false;
}

// The name and folder of a failed item as the error report names them.
void FailedObjectPlace(const TPostBagItem& item, bool isDownload, std::string& name,
                       std::string& folder) {
  const std::string& path = item.SourcePath;
  if (isDownload) {
    const auto slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    return;
  }
  const auto separator = path.rfind(kLocalSeparator);
  name = separator == std::string::npos ? path : path.substr(separator + 1);
  folder = item.ObjectFolder;
}

}  // namespace

bool ReportStart(IEngineContext& ctx, TTaskObject& task) {
  const TReportHead head = HeadOf(task);
  const std::string userCode = task.RunUser(ctx);
  return SendWithAttempts(ctx, [&](TQorPack& p) {
    p.SetFunNo("TTask.Start");
    p.AddString(1, "UCode", userCode);
    p.AddString(1, "TaskID", std::to_string(head.TaskID));
    p.AddString(1, "TaskName", head.TaskName);
    p.AddInteger(1, "TaskKind", head.TaskKind);
    p.AddInteger(1, "TaskDirection", head.TaskDirection);
    p.AddString(1, "SessionID", std::to_string(head.SessionID));
    p.AddBoolean(1, "IsTemporary", head.IsTemporary);
  });
}

bool ReportStop(IEngineContext& ctx, TTaskObject& task) {
  const TReportHead head = HeadOf(task);
  const std::string userCode = task.RunUser(ctx);
  const bool sent = SendWithAttempts(ctx, [&](TQorPack& p) {
    p.SetFunNo("TTask.Stop");
    p.AddString(1, "UCode", userCode);
    p.AddString(1, "TaskID", std::to_string(head.TaskID));
    p.AddString(1, "TaskName", head.TaskName);
    p.AddInteger(1, "TaskKind", head.TaskKind);
    p.AddInteger(1, "TaskDirection", head.TaskDirection);
    p.AddString(1, "SessionID", std::to_string(head.SessionID));
    p.AddString(1, "Comment", LineBreaksToWire(head.Comment));
    p.AddBoolean(1, "IsTemporary", head.IsTemporary);
    p.AddString(1, "FolderTotalCount", std::to_string(task.FolderList.FolderTotalCount()));
    p.AddString(1, "FolderCount", std::to_string(task.FolderList.Count()));
    for (const auto& [name, value] : task.PostBag.Counters().InOrder())
      p.AddString(1, name, std::to_string(value));
  });
  if (sent && task.PostBag.Counters().FileErrorCount.load() > 0 && task.ErrorBag.Count() > 0)
    ReportErrors(ctx, task);
  return sent;
}

bool ReportErrors(IEngineContext& ctx, TTaskObject& task) {
  const TReportHead head = HeadOf(task);
  const std::string userCode = task.RunUser(ctx);
  const bool isDownload = head.TaskDirection == 1;
  bool result = true;
  TQorPack frame;
  frame.SetFunNo("TTask.ErrorReport");
  int r = 1;
  while (TPostBagItemPtr item = task.ErrorBag.TakeFirst()) {
    std::string name, folder;
    FailedObjectPlace(*item, isDownload, name, folder);
    frame.AddString(r, "UCode", userCode);
    frame.AddString(r, "TaskID", std::to_string(head.TaskID));
    frame.AddString(r, "TaskName", head.TaskName);
    frame.AddInteger(r, "TaskKind", head.TaskKind);
    frame.AddString(r, "SessionID", std::to_string(head.SessionID));
    frame.AddString(r, "ObjectName", name);
    frame.AddString(r, "ObjectFolder", folder);
    ++r;
    if (r > kErrorBatch || task.ErrorBag.Count() == 0) {
      // After the first batch that could not be sent the rest is drained
      // unsent.
      if (result && !CallServer(ctx, frame)) result = false;
      frame.Reset();
      frame.SetFunNo("TTask.ErrorReport");
      r = 1;
    }
  }
  return result;
}

}  // namespace solvane
