#include "storage/TaskStore.h"

namespace solvane::server {

namespace {

constexpr const char* kTaskColumns =
    "t.id, t.owner, t.task_id, t.kind, t.name, t.comment, t.is_down_task, t.backup_mode, "
    "t.created, t.is_enable_schedule, t.schedule_start_time, t.schedule_kind, "
    "t.periodical_days, t.periodical_hours, t.periodical_minutes, t.daily_days, "
    "t.weekly_weeks, t.weekly_days, t.monthly_months, t.monthly_prefix, t.monthly_day, "
    "t.delay_execute_minute";

TTaskRecord ReadTask(const Statement& st) {
  TTaskRecord t;
  t.rowId = st.Int(0);
  t.owner = st.Text(1);
  t.taskId = st.Int(2);
  t.kind = static_cast<int>(st.Int(3));
  t.name = st.Text(4);
  t.comment = st.Text(5);
  t.isDownTask = st.Int(6) != 0;
  t.backupMode = st.Int(7) != 0;
  t.created = st.Text(8);
  TTaskSchedule& s = t.schedule;
  s.isEnabled = st.Int(9) != 0;
  s.startTime = st.Text(10);
  s.kind = static_cast<int>(st.Int(11));
  s.periodicalDays = st.Int(12);
  s.periodicalHours = st.Int(13);
  s.periodicalMinutes = st.Int(14);
  s.dailyDays = st.Int(15);
  s.weeklyWeeks = st.Int(16);
  s.weeklyDays = static_cast<int>(st.Int(17));
  s.monthlyMonths = st.Int(18);
  s.monthlyPrefix = static_cast<int>(st.Int(19));
  s.monthlyDay = static_cast<int>(st.Int(20));
  s.delayExecuteMinute = st.Int(21);
  return t;
}

// Binds the task's fields from `first` on, in the order of kTaskFieldList.
void BindTaskFields(Statement& st, int first, const TTaskRecord& t) {
  const TTaskSchedule& s = t.schedule;
  int i = first;
  st.Bind(i++, t.kind);
  st.Bind(i++, t.name);
  st.Bind(i++, t.comment);
  st.Bind(i++, t.isDownTask);
  st.Bind(i++, t.backupMode);
  st.Bind(i++, s.isEnabled);
  st.Bind(i++, s.startTime);
  st.Bind(i++, s.kind);
  st.Bind(i++, s.periodicalDays);
  st.Bind(i++, s.periodicalHours);
  st.Bind(i++, s.periodicalMinutes);
  st.Bind(i++, s.dailyDays);
  st.Bind(i++, s.weeklyWeeks);
  st.Bind(i++, s.weeklyDays);
  st.Bind(i++, s.monthlyMonths);
  st.Bind(i++, s.monthlyPrefix);
  st.Bind(i++, s.monthlyDay);
  st.Bind(i++, s.delayExecuteMinute);
}

constexpr const char* kTaskFieldList =
    "kind, name, comment, is_down_task, backup_mode, is_enable_schedule, "
    "schedule_start_time, schedule_kind, periodical_days, periodical_hours, "
    "periodical_minutes, daily_days, weekly_weeks, weekly_days, monthly_months, "
    "monthly_prefix, monthly_day, delay_execute_minute";
constexpr int kTaskFieldCount = 18;

std::vector<TTaskRecord> QueryTasks(Database& db, const std::string& whereAndOrder,
                                    const std::vector<std::string>& texts,
                                    std::optional<std::int64_t> number = std::nullopt) {
  auto lock = db.Lock();
  Statement st(db, std::string("SELECT ") + kTaskColumns + " FROM tasks t " + whereAndOrder);
  int i = 1;
  for (const auto& t : texts) st.Bind(i++, t);
  if (number) st.Bind(i, *number);
  std::vector<TTaskRecord> tasks;
  while (st.Step()) tasks.push_back(ReadTask(st));
  return tasks;
}

std::optional<TTaskRecord> FirstTask(std::vector<TTaskRecord> tasks) {
  if (tasks.empty()) return std::nullopt;
  return std::move(tasks.front());
}

// The table and owner column of each pattern table; no SQL comes from a caller.
struct TPatternTableNames {
  const char* table;
  const char* owner;
};

TPatternTableNames NamesOf(PatternTable table) {
  switch (table) {
    case PatternTable::kTaskFilters:
      return {"task_filters", "task"};
    case PatternTable::kPolicyPatterns:
      break;
  }
  return {"policy_patterns", "policy"};
}

}  // namespace

TStoreResult<std::optional<TTaskRecord>> FindTaskOfUser(Database& db, const std::string& userCode,
                                                        std::int64_t taskId) {
  return Guarded([&] {
    return FirstTask(QueryTasks(db,
                                "WHERE (t.owner = ?1 OR (t.owner = '' AND EXISTS (SELECT 1 FROM "
                                "default_task_users a WHERE a.task = t.id AND a.user_code = ?1))) "
                                "AND t.task_id = ?2 ORDER BY t.owner DESC LIMIT 1",
                                {userCode}, taskId));
  });
}

TStoreResult<std::optional<TTaskRecord>> FindDefaultTask(Database& db, std::int64_t taskId) {
  return Guarded([&] {
    return FirstTask(QueryTasks(db, "WHERE t.owner = '' AND t.task_id = ?1", {}, taskId));
  });
}

TStoreResult<std::vector<TTaskRecord>> ListTasksOfUser(Database& db, const std::string& userCode,
                                                       bool includeDefaults) {
  return Guarded([&] {
    auto tasks = QueryTasks(db, "WHERE t.owner = ?1 ORDER BY t.task_id", {userCode});
    if (includeDefaults) {
      auto defaults = QueryTasks(db,
                                 "JOIN default_task_users a ON a.task = t.id "
                                 "WHERE t.owner = '' AND a.user_code = ?1 ORDER BY t.task_id",
                                 {userCode});
      tasks.insert(tasks.end(), defaults.begin(), defaults.end());
    }
    return tasks;
  });
}

TStoreResult<std::vector<TTaskRecord>> ListDefaultTasks(Database& db) {
  return Guarded([&] { return QueryTasks(db, "WHERE t.owner = '' ORDER BY t.task_id", {}); });
}

TStoreResult<std::vector<std::string>> AssignedUsers(Database& db, std::int64_t rowId) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(db, "SELECT user_code FROM default_task_users WHERE task = ? ORDER BY user_code");
    st.Bind(1, rowId);
    std::vector<std::string> users;
    while (st.Step()) users.push_back(st.Text(0));
    return users;
  });
}

TStoreResult<bool> InsertTask(Database& db, TTaskRecord& task) {
  return Guarded([&] {
    {
      Statement exists(db, "SELECT 1 FROM tasks WHERE owner = ? AND task_id = ?");
      exists.Bind(1, task.owner).Bind(2, task.taskId);
      if (exists.Step()) return false;
    }
    std::string sql = std::string("INSERT INTO tasks(owner, task_id, created, ") + kTaskFieldList +
                      ") VALUES(?,?,?";
    for (int i = 0; i < kTaskFieldCount; ++i) sql += ",?";
    sql += ")";
    Statement st(db, sql);
    st.Bind(1, task.owner).Bind(2, task.taskId).Bind(3, task.created);
    BindTaskFields(st, 4, task);
    st.Run();
    task.rowId = db.LastInsertId();
    return true;
  });
}

TStoreResult<void> UpdateTask(Database& db, const TTaskRecord& task) {
  return Guarded([&] {
    Statement st(db,
                 "UPDATE tasks SET kind=?, name=?, comment=?, is_down_task=?, backup_mode=?, "
                 "is_enable_schedule=?, schedule_start_time=?, schedule_kind=?, "
                 "periodical_days=?, periodical_hours=?, periodical_minutes=?, daily_days=?, "
                 "weekly_weeks=?, weekly_days=?, monthly_months=?, monthly_prefix=?, "
                 "monthly_day=?, delay_execute_minute=? WHERE id=?");
    BindTaskFields(st, 1, task);
    st.Bind(kTaskFieldCount + 1, task.rowId);
    st.Run();
  });
}

TStoreResult<void> RemoveTask(Database& db, std::int64_t rowId) {
  return Guarded([&] { Statement(db, "DELETE FROM tasks WHERE id = ?").Bind(1, rowId).Run(); });
}

TStoreResult<std::optional<std::int64_t>> NextDefaultTaskId(Database& db) {
  return Guarded([&]() -> std::optional<std::int64_t> {
    auto lock = db.Lock();
    Statement top(db, "SELECT COALESCE(MAX(task_id), 0) FROM tasks WHERE owner = ''");
    top.Step();
    if (top.Int(0) + 1 < kFirstClientTaskId) return top.Int(0) + 1;
    // Every ID up to the top is used once; look for a gap left by a removal.
    Statement gap(db,
                  "SELECT t.task_id + 1 FROM tasks t WHERE t.owner = '' AND t.task_id + 1 < ? "
                  "AND NOT EXISTS (SELECT 1 FROM tasks u WHERE u.owner = '' AND "
                  "u.task_id = t.task_id + 1) ORDER BY t.task_id LIMIT 1");
    gap.Bind(1, kFirstClientTaskId);
    if (gap.Step()) return gap.Int(0);
    return std::nullopt;
  });
}

TStoreResult<bool> AssignDefaultTask(Database& db, std::int64_t rowId,
                                     const std::string& userCode) {
  return Guarded([&] {
    Statement(db, "INSERT OR IGNORE INTO default_task_users(task, user_code) VALUES(?,?)")
        .Bind(1, rowId)
        .Bind(2, userCode)
        .Run();
    return db.Changes() > 0;
  });
}

TStoreResult<bool> UnassignDefaultTask(Database& db, std::int64_t rowId,
                                       const std::string& userCode) {
  return Guarded([&] {
    Statement(db, "DELETE FROM default_task_users WHERE task = ? AND user_code = ?")
        .Bind(1, rowId)
        .Bind(2, userCode)
        .Run();
    return db.Changes() > 0;
  });
}

TStoreResult<void> ReplaceTaskObjects(Database& db, std::int64_t rowId,
                                      const std::vector<TTaskFileObjectRecord>& objects) {
  return Guarded([&] {
    Statement(db, "DELETE FROM task_objects WHERE task = ?").Bind(1, rowId).Run();
    Statement insert(db,
                     "INSERT INTO task_objects(task, position, name, kind, size, date, version) "
                     "VALUES(?,?,?,?,?,?,?)");
    int position = 0;
    for (const auto& o : objects) {
      insert.Reset();
      insert.Bind(1, rowId).Bind(2, position++).Bind(3, o.name);
      if (o.kind)
        insert.Bind(4, *o.kind);
      else
        insert.BindNull(4);
      insert.Bind(5, o.size).Bind(6, o.date).Bind(7, o.version).Run();
    }
  });
}

TStoreResult<std::vector<TTaskFileObjectRecord>> TaskObjects(Database& db, std::int64_t rowId) {
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT name, kind, size, date, version FROM task_objects WHERE task = ? "
                 "ORDER BY position");
    st.Bind(1, rowId);
    std::vector<TTaskFileObjectRecord> objects;
    while (st.Step()) {
      TTaskFileObjectRecord o;
      o.name = st.Text(0);
      if (!st.IsNull(1)) o.kind = static_cast<int>(st.Int(1));
      o.size = st.Int(2);
      o.date = st.Int(3);
      o.version = st.Int(4);
      objects.push_back(std::move(o));
    }
    return objects;
  });
}

TStoreResult<void> ReplaceTaskFilters(Database& db, std::int64_t rowId,
                                      const std::vector<TFilterPattern>& patterns) {
  return ReplacePatternRows(db, PatternTable::kTaskFilters, rowId, patterns);
}

TStoreResult<std::vector<TFilterPattern>> TaskFilters(Database& db, std::int64_t rowId) {
  return ReadPatternRows(db, PatternTable::kTaskFilters, rowId);
}

TStoreResult<void> ReplaceTaskFilterEx(Database& db, std::int64_t rowId, const TTaskFilterEx& f) {
  return Guarded([&] {
    Statement(db,
              "INSERT OR REPLACE INTO task_filter_ex(task, filter_size, min_file_size, "
              "max_file_size, filter_create_date, min_create_date, max_create_date, "
              "filter_update_date, min_modified_date, max_modified_date, filter_attribute, "
              "is_filter_readonly, is_filter_hidden) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)")
        .Bind(1, rowId)
        .Bind(2, f.filterSize)
        .Bind(3, f.minFileSize)
        .Bind(4, f.maxFileSize)
        .Bind(5, f.filterCreateDate)
        .Bind(6, f.minFileCreateDate)
        .Bind(7, f.maxFileCreateDate)
        .Bind(8, f.filterUpdateDate)
        .Bind(9, f.minFileModifiedDate)
        .Bind(10, f.maxFileModifiedDate)
        .Bind(11, f.filterAttribute)
        .Bind(12, f.isFilterReadOnly)
        .Bind(13, f.isFilterHidden)
        .Run();
  });
}

TStoreResult<std::optional<TTaskFilterEx>> TaskFilterEx(Database& db, std::int64_t rowId) {
  return Guarded([&]() -> std::optional<TTaskFilterEx> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT filter_size, min_file_size, max_file_size, filter_create_date, "
                 "min_create_date, max_create_date, filter_update_date, min_modified_date, "
                 "max_modified_date, filter_attribute, is_filter_readonly, is_filter_hidden "
                 "FROM task_filter_ex WHERE task = ?");
    st.Bind(1, rowId);
    if (!st.Step()) return std::nullopt;
    TTaskFilterEx f;
    f.filterSize = st.Int(0) != 0;
    f.minFileSize = st.Int(1);
    f.maxFileSize = st.Int(2);
    f.filterCreateDate = st.Int(3) != 0;
    f.minFileCreateDate = st.Text(4);
    f.maxFileCreateDate = st.Text(5);
    f.filterUpdateDate = st.Int(6) != 0;
    f.minFileModifiedDate = st.Text(7);
    f.maxFileModifiedDate = st.Text(8);
    f.filterAttribute = st.Int(9) != 0;
    f.isFilterReadOnly = st.Int(10) != 0;
    f.isFilterHidden = st.Int(11) != 0;
    return f;
  });
}

TStoreResult<std::vector<TFilterPattern>> ReadPatternRows(Database& db, PatternTable table,
                                                          std::int64_t owner) {
  const TPatternTableNames names = NamesOf(table);
  return Guarded([&] {
    auto lock = db.Lock();
    Statement st(db, std::string("SELECT pattern, is_include FROM ") + names.table + " WHERE " +
                         names.owner + " = ? ORDER BY is_include DESC, position");
    st.Bind(1, owner);
    std::vector<TFilterPattern> patterns;
    while (st.Step()) patterns.push_back({st.Text(0), st.Int(1) != 0});
    return patterns;
  });
}

TStoreResult<void> ReplacePatternRows(Database& db, PatternTable table, std::int64_t owner,
                                      const std::vector<TFilterPattern>& patterns) {
  const TPatternTableNames names = NamesOf(table);
  return Guarded([&] {
    Statement(db, std::string("DELETE FROM ") + names.table + " WHERE " + names.owner + " = ?")
        .Bind(1, owner)
        .Run();
    Statement insert(db, std::string("INSERT INTO ") + names.table + "(" + names.owner +
                             ", position, pattern, is_include) VALUES(?,?,?,?)");
    int position = 0;
    for (const auto& p : patterns) {
      insert.Reset();
      insert.Bind(1, owner).Bind(2, position++).Bind(3, p.pattern).Bind(4, p.isInclude).Run();
    }
  });
}

}  // namespace solvane::server
