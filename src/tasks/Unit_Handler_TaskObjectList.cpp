#include "tasks/Unit_Handler_TaskObjectList.h"

#include <map>

#include <algorithm>
#include <chrono>
#include <limits>

#include "tasks/EngineContext.h"
#include "tasks/ErrorNotes.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TaskLocalPaths.h"
#include "api/PolicyApi.h"
#include "api/TaskApi.h"

namespace solvane {

namespace {

constexpr std::int64_t kMiB = 1048576;

// Every field, also while the schedule is off: the property dialogs show
// and send back what is stored, so switching the schedule off loses nothing.
void CopySchedule(const api::TTaskSchedule& from, TTaskScheduleInfo& s) {
  s.IsEnableSchedule = from.IsEnableSchedule;
  s.Schedule_StartTime = from.Schedule_StartTime;
  s.Schedule_Kind = from.Schedule_Kind;
  s.Periodical_Days = from.Periodical_Days;
  s.Periodical_Hours = from.Periodical_Hours;
  s.Periodical_Minites = from.Periodical_Minites;
  s.Daily_Days = from.Daily_Days;
  s.Weekly_Weeks = from.Weekly_Weeks;
  std::copy(std::begin(from.IsWeekly_Day), std::end(from.IsWeekly_Day), s.IsWeekly_Day);
  s.Monthly_Prefix = from.Monthly_Prefix;
  s.Monthly_Day = from.Monthly_Day;
  s.Monthly_Months = from.Monthly_Months;
  s.DelayExcuteMinute = from.DelayMinute;
}

bool IsLoadableKind(std::int64_t kind) {
  return kind == kKindFileBackup || kind == kKindFileSync || kind == kKindMailClient;
}

// The task of one "TTask.SelectByUser" record; null for a kind the list
// does not load, or one without a class in this build.
TTaskObjectPtr TaskFromRecord(const api::TTaskRecord& r, const std::string& userCode) {
  if (!IsLoadableKind(r.Kind)) return nullptr;
  TTaskObjectPtr task = CreateTaskObject(static_cast<int>(r.Kind), 0, userCode);
  if (!task) return nullptr;
  auto lock = task->Lock();
  task->TaskID = r.ID;
  task->TaskName = r.Name;
  task->BackupMode = r.BackupMode;
  task->Comment = r.Comment;
  task->CreateDate = r.CreateDate;
  task->IsTemporary = false;
  task->IsSystemDefault = r.UCode.empty();
  CopySchedule(r.Schedule, task->ScheduleInfo);
  return task;
}

}  // namespace

// ---------------------------------------------------------------- the list

void TTaskObjectList::ClearTasks() {
  std::vector<TTaskObjectPtr> freed;
  {
    std::lock_guard g(m_mutex);
    freed.swap(m_tasks);
    m_policy = std::make_shared<TDefaultPolicy>();
  }
  // From the last to the first, outside the list's lock.
  while (!freed.empty()) freed.pop_back();
}

void TTaskObjectList::Add(TTaskObjectPtr task) {
  if (!task) return;
  std::lock_guard g(m_mutex);
  m_tasks.push_back(std::move(task));
}

bool TTaskObjectList::Remove(const TTaskObject* task) {
  TTaskObjectPtr removed;
  std::lock_guard g(m_mutex);
  auto it = std::find_if(m_tasks.begin(), m_tasks.end(),
                         [&](const TTaskObjectPtr& t) { return t.get() == task; });
  if (it == m_tasks.end()) return false;
  removed = *it;
  m_tasks.erase(it);
  return true;
}

TTaskObjectPtr TTaskObjectList::FindTask(std::int32_t taskId) const {
  std::lock_guard g(m_mutex);
  for (const auto& t : m_tasks)
    if (t->TaskID == taskId) return t;
  return nullptr;
}

TTaskObjectPtr TTaskObjectList::FindByState(std::uint8_t state) const {
  std::lock_guard g(m_mutex);
  for (const auto& t : m_tasks)
    if (t->State() == state) return t;
  return nullptr;
}

std::vector<TTaskObjectPtr> TTaskObjectList::Snapshot() const {
  std::lock_guard g(m_mutex);
  return m_tasks;
}

std::size_t TTaskObjectList::Count() const {
  std::lock_guard g(m_mutex);
  return m_tasks.size();
}

bool TTaskObjectList::RequestStart(std::int32_t taskId, bool scheduled, DateTime now) {
  auto task = FindTask(taskId);
  return task && task->RequestStart(scheduled, now, &m_stamps);
}

bool TTaskObjectList::RequestStop(std::int32_t taskId, bool scheduled) {
  auto task = FindTask(taskId);
  return task && task->RequestStop(scheduled);
}

bool TTaskObjectList::Pause(std::int32_t taskId, bool scheduled) {
  auto task = FindTask(taskId);
  return task && task->Pause(scheduled);
}

bool TTaskObjectList::Resume(std::int32_t taskId, bool scheduled, bool isCurrentTask) {
  auto task = FindTask(taskId);
  return task && task->Resume(scheduled, isCurrentTask);
}

std::int32_t TTaskObjectList::NewTaskID(DateTime now) const {
  std::lock_guard g(m_mutex);
  auto isUsed = [&](std::uint32_t id) {
    return std::any_of(m_tasks.begin(), m_tasks.end(), [&](const TTaskObjectPtr& t) {
      return static_cast<std::uint32_t>(t->TaskID) == id;
    });
  };
  const std::uint32_t id = m_stamps.Next(TStampSeries::TaskID, now, isUsed);
  return id == 0 ? -1 : static_cast<std::int32_t>(id);
}

// ------------------------------------------------------------ server calls

bool TTaskObjectList::RemoveTask(IEngineContext& ctx, std::int32_t taskId) {
  TTaskObjectPtr task = FindTask(taskId);
  if (!task) return false;
  const api::TCaller from{ctx.UserCode(), ctx.LocalIPAddress(), ctx.LocalMacAddress()};
  if (!api::TaskRemove(ctx.Pool(), from, taskId)) return false;
  Remove(task.get());
  return true;
}

bool TTaskObjectList::ReloadWhenIdle(IEngineContext& ctx) {
  std::map<std::int32_t, std::int32_t> lastStarts;
  for (const auto& task : Snapshot()) {
    const std::uint8_t state = task->State();
    if (state == kStateWaiting || state == kStateRunning || state == kStatePaused) return false;
    auto lock = task->Lock();
    lastStarts[task->TaskID] = task->SessionID;
  }
  if (ctx.CurrentTask()) return false;
  const bool loaded = LoadFromServer(ctx);
  for (const auto& task : Snapshot()) {
    auto lock = task->Lock();
    if (auto it = lastStarts.find(task->TaskID); it != lastStarts.end()) task->SessionID = it->second;
  }
  return loaded;
}

bool TTaskObjectList::LoadFromServer(IEngineContext& ctx) {
  ClearTasks();
  const std::string userCode = ctx.UserCode();
  // Each task's LoadObjects leases a connection of its own.
  const auto listed = api::TaskSelectByUser(ctx.Pool(), userCode, true);
  bool result = false;
  if (listed && !listed.value.empty()) {
    result = true;
    for (const api::TTaskRecord& record : listed.value) {
      if (TTaskObjectPtr task = TaskFromRecord(record, userCode)) {
        Add(task);
        try {
          task->LoadObjects(ctx);
        } catch (const std::exception& e) {
          // The task stays in the list as loaded so far.
          NoteError(ctx, "任务的对象未能全部读取 " + task->TaskName, e.what());
        } catch (...) {
          NoteError(ctx, "任务的对象未能全部读取 " + task->TaskName, kUnknownErrorText);
        }
      }
      ctx.Pace(1);
    }
  }
  LoadPolicy(ctx);
  return result;
}

void TTaskObjectList::LoadPolicy(IEngineContext& ctx) {
  auto policy = std::make_shared<TDefaultPolicy>();
  const api::TApiLink link(ctx.Pool());
  const auto found = api::PolicySelectByUser(link, ctx.UserCode());
  if (found && found.value) {
    policy->MaxFileSize = found.value->MaxFileSize;
    policy->PolicyID = found.value->PolicyID;
    const auto patterns = api::PolicyGetFileObjectFilter(link, policy->PolicyID);
    for (const api::TFilterPattern& p : patterns.value) {
      if (p.FilterStr.empty()) continue;  // would match every path
      policy->AddPattern(ToLocalSeparators(p.FilterStr), p.IsInclude);
    }
  }
  SetPolicy(std::move(*policy));
}

// ------------------------------------------------------------------ policy

TDefaultPolicy TTaskObjectList::Policy() const {
  std::lock_guard g(m_mutex);
  return *m_policy;
}

void TTaskObjectList::SetPolicy(TDefaultPolicy policy) {
  auto fresh = std::make_shared<const TDefaultPolicy>(std::move(policy));
  std::lock_guard g(m_mutex);
  m_policy = std::move(fresh);
}

bool TTaskObjectList::PassesPolicy(IEngineContext& ctx, const std::string& path,
                                   bool isFolder) const {
  std::shared_ptr<const TDefaultPolicy> policy;
  {
    std::lock_guard g(m_mutex);
    policy = m_policy;
  }
  if (!isFolder && policy->MaxFileSize >= 0) {
    const std::int64_t limit = std::int64_t{policy->MaxFileSize} * kMiB;
    if (FileSizeOf(path) > limit) return false;
  }
  return PassesPatternLists(policy->IncludeList, policy->ExcludeList, path, isFolder,
                            [&ctx] { ctx.Pace(1); });
}

}  // namespace solvane
