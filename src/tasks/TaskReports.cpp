#include "tasks/TaskReports.h"

#include <functional>

#include "tasks/EngineContext.h"
#include "tasks/TaskLocalPaths.h"
#include "api/TaskApi.h"

namespace solvane {

namespace {

constexpr int kReportAttempts = 4;
constexpr std::size_t kErrorBatch = 10;

// What the reports send of a task, read once under its lock.
struct TReportHead {
  api::TRunHead Run;
  std::string Comment;
};

TReportHead HeadOf(IEngineContext& ctx, const TTaskObject& task) {
  const std::string userCode = task.RunUser(ctx);
  auto lock = task.Lock();
  return {{userCode, task.TaskID, task.TaskName, task.TaskKind, task.TaskDirection,
           task.SessionID, task.IsTemporary},
          task.Comment};
}

bool SendWithAttempts(const std::function<api::TApiStatus()>& send) {
  for (int attempt = 0; attempt < kReportAttempts; ++attempt)
    if (send()) return true;
  return false;
}

api::TRunCounters CountersOf(TTaskObject& task) {
  const TPostBagCounters& c = task.PostBag.Counters();
  api::TRunCounters r;
  r.FolderTotalCount = task.FolderList.FolderTotalCount();
  r.FolderCount = static_cast<std::int64_t>(task.FolderList.Count());
  r.TotalFileCount = c.TotalFileCount.load();
  r.TotalDoneFileSize = c.TotalDoneFileSize.load();
  r.FileWaitedCount = c.FileWaitedCount.load();
  r.FileCheckedCount = c.FileCheckedCount.load();
  r.FileCheckedAndNoChangeCount = c.FileCheckedAndNoChangeCount.load();
  r.FileCheckedAndNeedUpCount = c.FileCheckedAndNeedUpCount.load();
  r.FileDispatchedCount = c.FileDispatchedCount.load();
  r.FileDoneCount = c.FileDoneCount.load();
  r.FileErrorCount = c.FileErrorCount.load();
  return r;
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
  const TReportHead head = HeadOf(ctx, task);
  const api::TApiLink link(ctx.Pool());
  return SendWithAttempts([&] { return api::TaskStart(link, head.Run); });
}

bool ReportStop(IEngineContext& ctx, TTaskObject& task) {
  const TReportHead head = HeadOf(ctx, task);
  const api::TApiLink link(ctx.Pool());
  const bool sent = SendWithAttempts(
      [&] { return api::TaskStop(link, head.Run, head.Comment, CountersOf(task)); });
  if (sent && task.PostBag.Counters().FileErrorCount.load() > 0 && task.ErrorBag.Count() > 0)
    ReportErrors(ctx, task);
  return sent;
}

bool ReportErrors(IEngineContext& ctx, TTaskObject& task) {
  const TReportHead head = HeadOf(ctx, task);
  const bool isDownload = head.Run.TaskDirection == 1;
  const api::TApiLink link(ctx.Pool());
  bool result = true;
  std::vector<api::TRunErrorObject> batch;
  while (TPostBagItemPtr item = task.ErrorBag.TakeFirst()) {
    api::TRunErrorObject failed;
    FailedObjectPlace(*item, isDownload, failed.ObjectName, failed.ObjectFolder);
    failed.ObjectComment = item->FailReason;
    batch.push_back(std::move(failed));
    if (batch.size() >= kErrorBatch || task.ErrorBag.Count() == 0) {
      // After the first batch that could not be sent the rest is drained
      // unsent.
      if (result && !api::TaskErrorReport(link, head.Run, batch)) result = false;
      batch.clear();
    }
  }
  return result;
}

}  // namespace solvane
