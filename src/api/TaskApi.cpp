#include "api/TaskApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

TTaskSchedule ReadSchedule(TQorPack& p, int n) {
  TTaskSchedule s;
  // Every field, also while the schedule is off: a dialog that edits the
  // task sends them all back, and the user's settings must survive turning
  // the schedule off and on again.
  s.IsEnableSchedule = Boolean(p, n, "IsEnableSchedule");
  s.Schedule_StartTime = Date(p, n, "Schedule_StartTime");
  s.Schedule_Kind = Int32(p, n, "Schedule_Kind");
  s.Periodical_Days = Int32(p, n, "Periodical_Days");
  s.Periodical_Hours = Int32(p, n, "Periodical_Hours");
  s.Periodical_Minites = Int32(p, n, "Periodical_Minites");
  s.Daily_Days = Int32(p, n, "Daily_Days");
  s.Weekly_Weeks = Int32(p, n, "Weekly_Weeks");
  for (int day = 0; day < 7; ++day)
    s.IsWeekly_Day[day] = Boolean(p, n, "IsWeekly_Day" + std::to_string(day + 1));
  s.Monthly_Prefix = Int32(p, n, "Monthly_Prefix");
  s.Monthly_Day = Int32(p, n, "Monthly_Day");
  s.Monthly_Months = Int32(p, n, "Monthly_Months");
  s.DelayMinute = Int32(p, n, "DelayExcuteMinute");
  return s;
}

TTaskRecord ReadTask(TQorPack& p, int n) {
  TTaskRecord t;
  t.ID = Int32(p, n, "ID");
  t.Kind = Integer(p, n, "Kind");
  t.Name = Text(p, n, "Name");
  t.UCode = Text(p, n, "UCode");
  t.BackupMode = Text(p, n, "BackupMode") == "1";
  t.Comment = LineBreaksFromWire(Text(p, n, "Comment"));
  t.CreateDate = Date(p, n, "CreateDate");
  t.Schedule = ReadSchedule(p, n);
  return t;
}

// Insert and Update: the same fields in the same order, except that Update
// sends "BackupMode" for file backups only.
TQorPack TaskDefinitionFrame(const char* operation, const TCaller& from,
                             const TTaskDefinition& t, bool withBackupMode) {
  TQorPack p = NewFrame(operation);
  const TTaskSchedule& s = t.Schedule;
  AddAddress(p, 1, from);
  p.AddString(1, "UCode", t.UCode);
  p.AddInteger(1, "TaskID", t.TaskID);
  p.AddInteger(1, "Kind", t.Kind);
  p.AddString(1, "Name", t.Name);
  p.AddBoolean(1, "IsDownTask", false);
  p.AddBoolean(1, "IsTemporary", false);
  p.AddString(1, "Comment", LineBreaksToWire(t.Comment));
  if (withBackupMode) p.AddBoolean(1, "BackupMode", t.BackupMode);
  p.AddBoolean(1, "IsEnableSchedule", s.IsEnableSchedule);
  p.AddDateTime(1, "Schedule_StartTime", s.Schedule_StartTime);
  p.AddString(1, "DelayExecuteMinute", std::to_string(s.DelayMinute));
  p.AddInteger(1, "Schedule_Kind", s.Schedule_Kind);
  p.AddString(1, "Periodical_Days", std::to_string(s.Periodical_Days));
  p.AddString(1, "Periodical_Hours", std::to_string(s.Periodical_Hours));
  p.AddString(1, "Periodical_Minites", std::to_string(s.Periodical_Minites));
  p.AddString(1, "Daily_Days", std::to_string(s.Daily_Days));
  p.AddString(1, "Weekly_Weeks", std::to_string(s.Weekly_Weeks));
  for (int day = 0; day < 7; ++day)
    p.AddBoolean(1, "IsWeekly_Day" + std::to_string(day + 1), s.IsWeekly_Day[day]);
  p.AddInteger(1, "Monthly_Prefix", s.Monthly_Prefix);
  p.AddInteger(1, "Monthly_Day", s.Monthly_Day);
  p.AddString(1, "Monthly_Months", std::to_string(s.Monthly_Months));
  return p;
}

TQorPack TaskIdFrame(const char* operation, std::int32_t taskId) {
  TQorPack p = NewFrame(operation);
  p.AddInteger(1, "TaskID", taskId);
  return p;
}

void AddOwner(TQorPack& p, int n, const TCaller& from, const std::string& userCode,
              std::int32_t taskId) {
  AddAddress(p, n, from);
  p.AddString(n, "UCode", userCode);
  p.AddInteger(n, "TaskID", taskId);
}

void AddRunHead(TQorPack& p, const TRunHead& r) {
  p.AddString(1, "UCode", r.UCode);
  p.AddInteger(1, "TaskID", r.TaskID);
  p.AddString(1, "TaskName", r.TaskName);
  p.AddInteger(1, "TaskKind", r.TaskKind);
  p.AddInteger(1, "TaskDirection", r.TaskDirection);
  p.AddInteger(1, "SessionID", r.SessionID);
}

// The mail fields "UAdmin", "UIPAddr", "UMac" (spelled so), "UCode",
// "TaskID", "MCKind".
void AddMailOwner(TQorPack& p, int n, const TCaller& from, const std::string& userCode,
                  std::int32_t taskId, std::int32_t kind) {
  p.AddString(n, "UAdmin", from.UserCode);
  p.AddString(n, "UIPAddr", from.IPAddr);
  p.AddString(n, "UMac", from.MacAddr);
  p.AddString(n, "UCode", userCode);
  p.AddInteger(n, "TaskID", taskId);
  p.AddInteger(n, "MCKind", kind);
}

}  // namespace

TApiResult<std::vector<TTaskRecord>> TaskSelectByUser(const TApiLink& link,
                                                      const std::string& userCode,
                                                      bool includePolicy) {
  TQorPack p = NewFrame("TTask.SelectByUser");
  p.AddString(1, "UCode", userCode);
  p.AddBoolean(1, "IsIncludePolicy", includePolicy);
  return CallForRows<TTaskRecord>(link, p, ReadTask);
}

TApiStatus TaskRemove(const TApiLink& link, const TCaller& from, std::int32_t taskId) {
  TQorPack p = NewFrame("TTask.Remove");
  AddAddress(p, 1, from);
  p.AddInteger(1, "TaskID", taskId);
  return link.Call(p);
}

TApiStatus TaskInsert(const TApiLink& link, const TCaller& from, const TTaskDefinition& task) {
  TQorPack p = TaskDefinitionFrame("TTask.Insert", from, task, true);
  return link.Call(p);
}

TApiStatus TaskUpdate(const TApiLink& link, const TCaller& from, const TTaskDefinition& task) {
  TQorPack p = TaskDefinitionFrame("TTask.Update", from, task, task.Kind == 100);
  return link.Call(p);
}

TApiResult<std::vector<TTaskFileObjectRecord>> TaskGetFileObject(const TApiLink& link,
                                                                 std::int32_t taskId) {
  TQorPack p = TaskIdFrame("TTask.GetFileObject", taskId);
  return CallForRows<TTaskFileObjectRecord>(link, p, [](TQorPack& r, int n) {
    return TTaskFileObjectRecord{Text(r, n, "ObjectName"), Integer(r, n, "ObjectKind") == 1};
  });
}

TApiResult<std::vector<TFilterPattern>> TaskGetFileObjectFilter(const TApiLink& link,
                                                                std::int32_t taskId) {
  TQorPack p = TaskIdFrame("TTask.GetFileObject_Filter", taskId);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  return {std::move(status), ReadPatterns(p)};
}

TApiResult<std::optional<TTaskFilterEx>> TaskGetFileObjectFilterEx(const TApiLink& link,
                                                                   std::int32_t taskId) {
  TQorPack p = TaskIdFrame("TTask.GetFileObject_FilterEx", taskId);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  if (p.RecordSetCount() != 1) return {std::move(status), std::nullopt};
  TTaskFilterEx f;
  f.MinFileSize = Int32(p, 1, "MinFileSize");
  f.MaxFileSize = Int32(p, 1, "MaxFileSize");
  f.MinFileCreateDate = Date(p, 1, "MinFileCreateDate");
  f.MaxFileCreateDate = Date(p, 1, "MaxFileCreateDate");
  f.MinFileModifiedDate = Date(p, 1, "MinFileModifiedDate");
  f.MaxFileModifiedDate = Date(p, 1, "MaxFileModifiedDate");
  f.IsFilterReadOnly = Boolean(p, 1, "IsFilterReadOnly");
  f.IsFilterHidden = Boolean(p, 1, "IsFilterHidden");
  for (auto [name, member] : {std::pair{"FilterSize", &f.FilterSize},
                              {"FilterCreateDate", &f.FilterCreateDate},
                              {"FilterUpdateDate", &f.FilterUpdateDate},
                              {"FilterAttribute", &f.FilterAttribute}})
    if (HasField(p, name)) *member = Boolean(p, 1, name);
  return {std::move(status), std::move(f)};
}

TApiStatus TaskSetFileObject(const TApiLink& link, const TCaller& from,
                             const std::string& userCode, std::int32_t taskId,
                             const std::vector<TTaskFileObjectRecord>& objects, bool syncCreation) {
  TQorPack p = NewFrame("TTask.SetFileObject");
  int n = 1;
  for (const TTaskFileObjectRecord& o : objects) {
    AddAddress(p, n, from);
    if (syncCreation) p.AddString(n, "UCode", userCode);
    p.AddInteger(n, "TaskID", taskId);
    p.AddString(n, "ObjectName", o.ObjectName);
    if (!syncCreation) p.AddInteger(n, "ObjectKind", o.IsFolder ? 1 : 0);
    p.AddInteger(n, "ObjectSize", -1);
    p.AddInteger(n, "ObjectDate", -1);
    p.AddInteger(n, "ObjectVersion", -1);
    ++n;
  }
  return link.Call(p);
}

TApiStatus TaskSetFileObjectFilter(const TApiLink& link, const TCaller& from,
                                   const std::string& userCode, std::int32_t taskId,
                                   const std::vector<TFilterPattern>& patterns) {
  TQorPack p = NewFrame("TTask.SetFileObject_Filter");
  int n = 1;
  for (const TFilterPattern& pattern : patterns) {
    AddOwner(p, n, from, userCode, taskId);
    p.AddString(n, "FilterStr", pattern.FilterStr);
    p.AddBoolean(n, "FilterKind", pattern.IsInclude);
    ++n;
  }
  if (patterns.empty()) {
    AddOwner(p, 1, from, userCode, taskId);
    p.AddString(1, "FilterStr", "-1");
    p.AddString(1, "FilterKind", "-1");
  }
  return link.Call(p);
}

TApiStatus TaskSetFileObjectFilterEx(const TApiLink& link, const TCaller& from,
                                     const std::string& userCode, std::int32_t taskId,
                                     const TTaskFilterEx& f) {
  TQorPack p = NewFrame("TTask.SetFileObject_FilterEx");
  AddOwner(p, 1, from, userCode, taskId);
  p.AddBoolean(1, "FilterSize", f.FilterSize.value_or(false));
  p.AddString(1, "MinFileSize", std::to_string(f.MinFileSize));
  p.AddString(1, "MaxFileSize", std::to_string(f.MaxFileSize));
  p.AddBoolean(1, "FilterCreateDate", f.FilterCreateDate.value_or(false));
  p.AddDateTime(1, "MinFileCreateDate", f.MinFileCreateDate);
  p.AddDateTime(1, "MaxFileCreateDate", f.MaxFileCreateDate);
  p.AddBoolean(1, "FilterUpdateDate", f.FilterUpdateDate.value_or(false));
  p.AddDateTime(1, "MinFileModifiedDate", f.MinFileModifiedDate);
  p.AddDateTime(1, "MaxFileModifiedDate", f.MaxFileModifiedDate);
  p.AddBoolean(1, "FilterAttribute", f.FilterAttribute.value_or(false));
  p.AddBoolean(1, "IsFilterReadOnly", f.IsFilterReadOnly);
  p.AddBoolean(1, "IsFilterHidden", f.IsFilterHidden);
  return link.Call(p);
}

TApiResult<std::vector<TTaskMailFolder>> TaskGetMCObject(const TApiLink& link, std::int32_t taskId) {
  TQorPack p = TaskIdFrame("TTask.GetMCObject", taskId);
  return CallForRows<TTaskMailFolder>(link, p, [](TQorPack& r, int n) {
    TTaskMailFolder f;
    f.MCKind = Int32(r, n, "MCKind");
    f.MCFolderParentID = Integer(r, n, "MCFolderParentID");
    f.MCFolderID = Integer(r, n, "MCFolderID");
    f.MCData = Integer(r, n, "MCData");
    f.MCCargo = Text(r, n, "MCCargo");
    f.MCFileName1 = Text(r, n, "MCFileName1");
    f.MCFileName2 = Text(r, n, "MCFileName2");
    f.IsSelected = Text(r, n, "IsSelected") == "1";
    return f;
  });
}

TApiResult<std::vector<TTaskMailMessage>> TaskGetMCObjectMessage(const TApiLink& link,
                                                                 std::int32_t taskId,
                                                                 std::int64_t folderId) {
  TQorPack p = TaskIdFrame("TTask.GetMCObject_Message", taskId);
  p.AddInteger(1, "MCFolderID", folderId);
  return CallForRows<TTaskMailMessage>(link, p, [](TQorPack& r, int n) {
    TTaskMailMessage m;
    m.MCKind = Int32(r, n, "MCKind");
    m.MCFolderID = Integer(r, n, "MCFolderID");
    m.MCMessageID = Integer(r, n, "MCMessageID");
    m.MCMessageSubject = Text(r, n, "MCMessageSubject");
    m.MCMessageSender = Text(r, n, "MCMessageSender");
    m.SentDateDos = static_cast<std::uint32_t>(Integer(r, n, "MCMessageSentDate"));
    m.MCMessageSize = Integer(r, n, "MCMessageSize");
    m.MCMessageCago = Text(r, n, "MCMessageCago");
    return m;
  });
}

TApiStatus TaskSetMCObject(const TApiLink& link, const TCaller& from,
                           const std::string& userCode, std::int32_t taskId,
                           const std::vector<TTaskMailFolder>& folders) {
  TQorPack p = NewFrame("TTask.SetMCObject");
  int n = 1;
  for (const TTaskMailFolder& f : folders) {
    AddMailOwner(p, n, from, userCode, taskId, f.MCKind);
    p.AddInteger(n, "MCFolderParentID", f.MCFolderParentID);
    p.AddInteger(n, "MCFolderID", f.MCFolderID);
    p.AddInteger(n, "MCData", f.MCData);
    p.AddString(n, "MCCargo", f.MCCargo);
    p.AddString(n, "MCFileName1", f.MCFileName1);
    p.AddString(n, "MCFileName2", f.MCFileName2);
    p.AddBoolean(n, "MCIsSelected", f.IsSelected);
    ++n;
  }
  return link.Call(p);
}

TApiStatus TaskSetMCObjectMessage(const TApiLink& link, const TCaller& from,
                                  const std::string& userCode, std::int32_t taskId,
                                  const std::vector<TTaskMailMessage>& messages) {
  TQorPack p = NewFrame("TTask.SetMCObject_Message");
  int n = 1;
  for (const TTaskMailMessage& m : messages) {
    AddMailOwner(p, n, from, userCode, taskId, m.MCKind);
    p.AddInteger(n, "MCFolderID", m.MCFolderID);
    p.AddInteger(n, "MCMessageID", m.MCMessageID);
    p.AddString(n, "MCMessageSubject", m.MCMessageSubject);
    p.AddString(n, "MCMessageSender", m.MCMessageSender);
    p.AddDateTime(n, "MCMessageSentDate", m.SentDate);
    p.AddInteger(n, "MCMessageSize", m.MCMessageSize);
    p.AddInteger(n, "MCMessageUpdateDate", 0);
    p.AddString(n, "MCMessageCago", m.MCMessageCago);
    ++n;
  }
  return link.Call(p);
}

TApiStatus TaskStart(const TApiLink& link, const TRunHead& run) {
  TQorPack p = NewFrame("TTask.Start");
  AddRunHead(p, run);
  p.AddBoolean(1, "IsTemporary", run.IsTemporary);
  return link.Call(p);
}

TApiStatus TaskStop(const TApiLink& link, const TRunHead& run, const std::string& comment,
                    const TRunCounters& c) {
  TQorPack p = NewFrame("TTask.Stop");
  AddRunHead(p, run);
  p.AddString(1, "Comment", LineBreaksToWire(comment));
  p.AddBoolean(1, "IsTemporary", run.IsTemporary);
  for (auto [name, value] : {std::pair{"FolderTotalCount", c.FolderTotalCount},
                             {"FolderCount", c.FolderCount},
                             {"TotalFileCount", c.TotalFileCount},
                             {"TotalDoneFileSize", c.TotalDoneFileSize},
                             {"FileWaitedCount", c.FileWaitedCount},
                             {"FileCheckedCount", c.FileCheckedCount},
                             {"FileCheckedAndNoChangeCount", c.FileCheckedAndNoChangeCount},
                             {"FileCheckedAndNeedUpCount", c.FileCheckedAndNeedUpCount},
                             {"FileDispatchedCount", c.FileDispatchedCount},
                             {"FileDoneCount", c.FileDoneCount},
                             {"FileErrorCount", c.FileErrorCount}})
    p.AddInteger(1, name, value);
  return link.Call(p);
}

TApiStatus TaskErrorReport(const TApiLink& link, const TRunHead& run,
                           const std::vector<TRunErrorObject>& objects) {
  TQorPack p = NewFrame("TTask.ErrorReport");
  int n = 1;
  for (const TRunErrorObject& o : objects) {
    p.AddString(n, "UCode", run.UCode);
    p.AddInteger(n, "TaskID", run.TaskID);
    p.AddString(n, "TaskName", run.TaskName);
    p.AddInteger(n, "TaskKind", run.TaskKind);
    p.AddInteger(n, "SessionID", run.SessionID);
    p.AddString(n, "ObjectName", o.ObjectName);
    p.AddString(n, "ObjectFolder", o.ObjectFolder);
    if (!o.ObjectComment.empty()) p.AddString(n, "ObjectComment", o.ObjectComment);
    ++n;
  }
  return link.Call(p);
}

TApiResult<std::vector<TRunReport>> TaskSelectReport(const TApiLink& link,
                                                     const std::string& userCode,
                                                     std::uint32_t startSession,
                                                     std::uint32_t endSession) {
  TQorPack p = NewFrame("TTask.SelectReport");
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "StartSession", startSession);
  p.AddInteger(1, "EndSeesion", endSession);
  return CallForRows<TRunReport>(link, p, [](TQorPack& r, int n) {
    TRunReport t;
    t.TaskID = Int32(r, n, "TaskID");
    t.TaskName = Text(r, n, "TaskName");
    t.TaskKind = Integer(r, n, "TaskKind");
    t.IsDownload = Text(r, n, "TaskDirection") == "1";
    t.SessionID = static_cast<std::uint32_t>(Integer(r, n, "SeesionID"));
    t.Counters.FileDoneCount = Integer(r, n, "FileDoneCount");
    t.Counters.FileErrorCount = Integer(r, n, "FileErrorCount");
    t.Counters.FolderTotalCount = Integer(r, n, "FolderTotalCount");
    t.Counters.FileCheckedCount = Integer(r, n, "FileCheckedCount");
    t.Counters.FileCheckedAndNoChangeCount = Integer(r, n, "FileCheckedAndNoChangeCount");
    t.Counters.TotalFileCount = Integer(r, n, "TotalFileCount");
    t.Counters.TotalDoneFileSize = Integer(r, n, "TotalDoneFileSize");
    return t;
  });
}

}  // namespace solvane::api
