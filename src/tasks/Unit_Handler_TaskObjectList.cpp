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
#include "tasks/TaskServerCall.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

namespace {

constexpr std::int64_t kMiB = 1048576;

std::int32_t ToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Reads one field of record n at a time: the packet's field object is valid
// only until the next look-up.
class TRecordReader {
 public:
  TRecordReader(TQorPack& pack, int n) : m_pack(pack), m_n(n) {}
  std::string Text(const char* name) { return m_pack.FieldByName(m_n, name).AsString(); }
  std::int64_t Integer(const char* name) { return m_pack.FieldByName(m_n, name).AsInteger(); }
  std::int32_t Int32(const char* name) { return ToInt32(Integer(name)); }
  bool Boolean(const char* name) { return m_pack.FieldByName(m_n, name).AsBoolean(); }
  DateTime Date(const char* name) { return m_pack.FieldByName(m_n, name).AsDateTime(); }

 private:
  TQorPack& m_pack;
  int m_n;
};

void ReadSchedule(TRecordReader& r, TTaskScheduleInfo& s) {
  s.IsEnableSchedule = r.Boolean("IsEnableSchedule");
  if (s.IsEnableSchedule) {
    s.Schedule_StartTime = r.Date("Schedule_StartTime");
    s.Schedule_Kind = r.Int32("Schedule_Kind");
    s.Periodical_Days = r.Int32("Periodical_Days");
    s.Periodical_Hours = r.Int32("Periodical_Hours");
    s.Periodical_Minites = r.Int32("Periodical_Minites");
    s.Daily_Days = r.Int32("Daily_Days");
    s.Weekly_Weeks = r.Int32("Weekly_Weeks");
    for (int day = 0; day < 7; ++day)
      s.IsWeekly_Day[day] = r.Boolean(("IsWeekly_Day" + std::to_string(day + 1)).c_str());
    s.Monthly_Prefix = r.Int32("Monthly_Prefix");
    s.Monthly_Day = r.Int32("Monthly_Day");
    s.Monthly_Months = r.Int32("Monthly_Months");
  }
  s.DelayExcuteMinute = r.Int32("DelayExcuteMinute");
}

bool IsLoadableKind(std::int64_t kind) {
  return kind == kKindFileBackup || kind == kKindFileSync || kind == kKindMailClient;
}

// The task of record n of a "TTask.SelectByUser" reply; null for a kind the
// list does not load, or one without a class in this build.
TTaskObjectPtr TaskFromRecord(TQorPack& reply, int n, const std::string& userCode) {
  TRecordReader r(reply, n);
  const std::int64_t kind = r.Integer("Kind");
  if (!IsLoadableKind(kind)) return nullptr;
  TTaskObjectPtr task = CreateTaskObject(static_cast<int>(kind), 0, userCode);
  if (!task) return nullptr;
  auto lock = task->Lock();
  task->TaskID = r.Int32("ID");
  task->TaskName = r.Text("Name");
  task->BackupMode = r.Text("BackupMode") == "1";
  task->Comment = LineBreaksFromWire(r.Text("Comment"));
  task->CreateDate = r.Date("CreateDate");
  task->IsTemporary = false;
  task->IsSystemDefault = r.Text("UCode").empty();
  ReadSchedule(r, task->ScheduleInfo);
  return task;
}

bool IsPlaceholderPattern(const std::string& text, const std::string& kind) {
  return text == "-1" && kind == "-1";
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
  TQorPack pack;
  pack.SetFunNo("TTask.Remove");
  pack.AddString(1, "UAdmin", ctx.UserCode());
  pack.AddString(1, "UIPAddr", ctx.LocalIPAddress());
  pack.AddString(1, "UMAC", ctx.LocalMacAddress());
  pack.AddInteger(1, "TaskID", taskId);
  if (!CallServer(ctx, pack)) return false;
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
  TQorPack reply;
  bool listed = false;
  {
    TQorTCPClientLease lease = ctx.Pool().AcquireFree(-1);
    if (!lease.Ready()) return false;
    reply.SetFunNo("TTask.SelectByUser");
    reply.AddString(1, "UCode", userCode);
    reply.AddBoolean(1, "IsIncludePolicy", true);
    listed = lease->Call(reply) && reply.ErrNo() == 1;
  }  // each task's LoadObjects takes a connection of its own

  bool result = false;
  if (listed && reply.RecordSetCount() >= 1) {
    result = true;
    const int count = reply.RecordSetCount();
    for (int n = 1; n <= count; ++n) {
      if (TTaskObjectPtr task = TaskFromRecord(reply, n, userCode)) {
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
  TQorPack pack;
  pack.SetFunNo("TPolicy.SelectByUser");
  pack.AddString(1, "UCode", ctx.UserCode());
  if (CallServer(ctx, pack) && pack.RecordSetCount() == 1) {
    policy->MaxFileSize = ToInt32(pack.FieldByName(1, "MaxFileSize").AsInteger());
    policy->PolicyID = ToInt32(pack.FieldByName(1, "PolicyID").AsInteger());
    TQorPack filter;
    filter.SetFunNo("TPolicy.GetFileObject_Filter");
    filter.AddInteger(1, "PID", policy->PolicyID);
    if (CallServer(ctx, filter)) {
      const int count = filter.RecordSetCount();
      for (int n = 1; n <= count; ++n) {
        const std::string text = filter.FieldByName(n, "FilterStr").AsString();
        const std::string kind = filter.FieldByName(n, "FilterKind").AsString();
        if (text.empty() || IsPlaceholderPattern(text, kind)) continue;
        policy->AddPattern(ToLocalSeparators(text), kind.starts_with('1'));
      }
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
