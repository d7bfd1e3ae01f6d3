#include "client/FileTaskSaving.h"

#include <algorithm>

#include "api/TaskApi.h"
#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TaskLocalPaths.h"

namespace solvane {

namespace {

api::TCaller CallerOf(TPublicInfo& info) {
  return {info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()};
}

api::TTaskSchedule ScheduleOf(const TTaskScheduleInfo& s) {
  api::TTaskSchedule w;
  w.IsEnableSchedule = s.IsEnableSchedule;
  w.Schedule_StartTime = s.Schedule_StartTime;
  w.Schedule_Kind = s.Schedule_Kind;
  w.Periodical_Days = s.Periodical_Days;
  w.Periodical_Hours = s.Periodical_Hours;
  w.Periodical_Minites = s.Periodical_Minites;
  w.Daily_Days = s.Daily_Days;
  w.Weekly_Weeks = s.Weekly_Weeks;
  std::copy(std::begin(s.IsWeekly_Day), std::end(s.IsWeekly_Day), w.IsWeekly_Day);
  w.Monthly_Prefix = s.Monthly_Prefix;
  w.Monthly_Day = s.Monthly_Day;
  w.Monthly_Months = s.Monthly_Months;
  w.DelayMinute = s.DelayExcuteMinute;
  return w;
}

api::TTaskDefinition DefinitionOf(TPublicInfo& info, const TTaskObject& task) {
  api::TTaskDefinition d;
  d.UCode = info.UserCode();
  auto lock = task.Lock();
  d.TaskID = task.TaskID;
  d.Kind = task.TaskKind;
  d.Name = task.TaskName;
  d.Comment = task.Comment;
  d.BackupMode = task.BackupMode;
  d.Schedule = ScheduleOf(task.ScheduleInfo);
  return d;
}

api::TTaskFilterEx FilterExOf(const TTaskFilterInfo& f) {
  api::TTaskFilterEx w;
  w.FilterSize = f.FilterSize;
  w.MinFileSize = f.MinFileSize;
  w.MaxFileSize = f.MaxFileSize;
  w.FilterCreateDate = f.FilterCreateDate;
  w.MinFileCreateDate = f.MinFileCreateDate;
  w.MaxFileCreateDate = f.MaxFileCreateDate;
  w.FilterUpdateDate = f.FilterUpdateDate;
  w.MinFileModifiedDate = f.MinFileModifiedDate;
  w.MaxFileModifiedDate = f.MaxFileModifiedDate;
  w.FilterAttribute = f.FilterAttribute;
  w.IsFilterReadOnly = f.IsFilterReadOnly;
  w.IsFilterHidden = f.IsFilterHidden;
  return w;
}

// Include lines first, then exclude lines, in the order typed.
std::vector<api::TFilterPattern> PatternsOf(const TTaskFilterInfo& f) {
  std::vector<api::TFilterPattern> patterns;
  for (const std::string& line : f.IncludeList) patterns.push_back({ToSlashes(line), true});
  for (const std::string& line : f.ExcludeList) patterns.push_back({ToSlashes(line), false});
  return patterns;
}

}  // namespace

api::TApiStatus InsertTaskOnServer(TPublicInfo& info, const TTaskObject& task) {
  const api::TTaskDefinition d = DefinitionOf(info, task);
  return api::TaskInsert(info.Pool(), CallerOf(info), d);
}

api::TApiStatus UpdateTaskOnServer(TPublicInfo& info, const TTaskObject& task) {
  const api::TTaskDefinition d = DefinitionOf(info, task);
  return api::TaskUpdate(info.Pool(), CallerOf(info), d);
}

api::TApiStatus SendFileTaskContent(TPublicInfo& info, const TTaskObject& task,
                                    TFileTaskStep* failedStep) {
  std::int32_t taskId = -1;
  bool isSync = false;
  std::vector<api::TTaskFileObjectRecord> objects;
  std::vector<api::TFilterPattern> patterns;
  api::TTaskFilterEx filterEx;
  {
    auto lock = task.Lock();
    taskId = task.TaskID;
    isSync = task.TaskKind == kKindFileSync;
    for (const TTaskFileObject& o : task.FileObjects.Items) {
      objects.push_back({ToServerSeparators(o.ObjectName), o.ObjectKind == 1});
      if (isSync) break;  // a sync task mirrors one folder
    }
    patterns = PatternsOf(task.FilterInfo);
    filterEx = FilterExOf(task.FilterInfo);
  }
  const api::TCaller from = CallerOf(info);
  const std::string user = info.UserCode();
  auto failed = [&](TFileTaskStep step, api::TApiStatus s) {
    if (failedStep) *failedStep = step;
    return s;
  };
  if (auto s = api::TaskSetFileObject(info.Pool(), from, user, taskId, objects, isSync); !s)
    return failed(TFileTaskStep::Objects, std::move(s));
  if (auto s = api::TaskSetFileObjectFilter(info.Pool(), from, user, taskId, patterns); !s)
    return failed(TFileTaskStep::Filter, std::move(s));
  if (auto s = api::TaskSetFileObjectFilterEx(info.Pool(), from, user, taskId, filterEx); !s)
    return failed(TFileTaskStep::FilterEx, std::move(s));
  return api::TApiStatus::Success();
}

}  // namespace solvane
