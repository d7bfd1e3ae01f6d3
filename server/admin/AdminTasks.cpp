// `admin task add-default|assign|unassign|list|remove`: default tasks, which
// the administrator defines and assigns to users. Their "UCode" is empty on
// the wire; the users they are assigned to load and run them but cannot
// change or remove them.

#include <algorithm>
#include <chrono>
#include <set>
#include <sstream>
#include <utility>

#include "admin/AdminCli.h"
#include "handlers/TaskFields.h"
#include "storage/TaskStore.h"
#include "storage/UserStore.h"
#include "storage/Database.h"
#include "wire/QorWithPack.h"

namespace solvane::server {

namespace {

const char* const kWeekdays[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
const char* const kOrdinals[] = {"first", "second", "third", "last", "second-last"};
const std::set<std::string> kRepeatable = {"folder", "file", "include", "exclude", "assign"};

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

// For the readers that return whether the input was good.
bool Refuse(TAdminContext& ctx, const std::string& message) {
  Fail(ctx, message);
  return false;
}

bool RefuseRepeated(TAdminContext& ctx, const TAdminArgs& a) {
  for (const auto& [name, values] : a.repeated) {
    if (kRepeatable.count(name) || values.size() < 2) continue;
    Fail(ctx, "--" + name + " is given more than once");
    return true;
  }
  return false;
}

// Weekday as a position in kWeekdays (0 Monday .. 6 Sunday), or -1.
int WeekdayIndex(const std::string& word) {
  for (int i = 0; i < 7; ++i)
    if (word == kWeekdays[i]) return i;
  return -1;
}

std::optional<std::int64_t> Number(TAdminContext& ctx, const TAdminArgs& a,
                                   const std::string& option, long long least) {
  auto v = ParseWholeNumber(a.Get(option));
  if (!v || *v < least || *v > 0x7FFFFFFF) {
    Fail(ctx, "--" + option + " takes a whole number of at least " + std::to_string(least));
    return std::nullopt;
  }
  return *v;
}

bool ReadPeriod(TAdminContext& ctx, const std::string& text, TTaskSchedule& s) {
  std::int64_t parts[3] = {0, 0, 0};
  std::istringstream in(text);
  std::string item;
  int count = 0;
  while (std::getline(in, item, ':')) {
    auto v = ParseWholeNumber(item);
    if (count == 3 || !v || *v > 0x7FFFFFFF) {
      count = -1;
      break;
    }
    parts[count++] = *v;
  }
  if (count != 3) return Refuse(ctx, "--periodical takes DAYS:HOURS:MINUTES, e.g. 0:6:0");
  if (parts[0] == 0 && parts[1] == 0 && parts[2] == 0)
    return Refuse(ctx, "--periodical must not be 0:0:0");
  s.periodicalDays = parts[0];
  s.periodicalHours = parts[1];
  s.periodicalMinutes = parts[2];
  return true;
}

bool ReadWeekly(TAdminContext& ctx, const TAdminArgs& a, TTaskSchedule& s) {
  auto weeks = Number(ctx, a, "weekly", 1);
  if (!weeks) return false;
  s.weeklyWeeks = *weeks;
  if (!a.Has("weekdays")) return Refuse(ctx, "--weekly needs --weekdays, e.g. mon,thu");
  std::istringstream in(a.Get("weekdays"));
  std::string day;
  while (std::getline(in, day, ',')) {
    int i = WeekdayIndex(day);
    if (i < 0) return Refuse(ctx, "--weekdays takes a list of mon,tue,wed,thu,fri,sat,sun");
    s.weeklyDays |= 1 << i;
  }
  if (s.weeklyDays == 0) return Refuse(ctx, "--weekdays names no day");
  return true;
}

bool ReadMonthly(TAdminContext& ctx, const TAdminArgs& a, TTaskSchedule& s) {
  auto months = Number(ctx, a, "monthly", 1);
  if (!months) return false;
  s.monthlyMonths = *months;
  const std::string ordinal = a.Get("ordinal", "first");
  auto o = std::find(std::begin(kOrdinals), std::end(kOrdinals), ordinal);
  if (o == std::end(kOrdinals))
    return Refuse(ctx, "--ordinal takes first, second, third, last or second-last");
  s.monthlyPrefix = static_cast<int>(o - std::begin(kOrdinals));
  int day = WeekdayIndex(a.Get("weekday", "mon"));
  if (day < 0) return Refuse(ctx, "--weekday takes mon, tue, wed, thu, fri, sat or sun");
  s.monthlyDay = (day + 1) % 7;  // stored 0 Sunday .. 6 Saturday
  return true;
}

// The schedule options: at most one of --periodical, --daily, --weekly,
// --monthly turns the schedule on.
bool ReadSchedule(TAdminContext& ctx, const TAdminArgs& a, TTaskSchedule& s) {
  int kinds = 0;
  for (const char* k : {"periodical", "daily", "weekly", "monthly"}) kinds += a.Has(k) ? 1 : 0;
  if (kinds > 1) return Refuse(ctx, "choose one of --periodical, --daily, --weekly and --monthly");
  if (kinds == 0 && (a.Has("start") || a.Has("weekdays") || a.Has("ordinal") || a.Has("weekday")))
    return Refuse(ctx, "--start, --weekdays, --ordinal and --weekday need a schedule kind");
  if (a.Has("weekdays") && !a.Has("weekly")) return Refuse(ctx, "--weekdays belongs to --weekly");
  if ((a.Has("ordinal") || a.Has("weekday")) && !a.Has("monthly"))
    return Refuse(ctx, "--ordinal and --weekday belong to --monthly");
  if (a.Has("delay")) {
    auto delay = Number(ctx, a, "delay", 0);
    if (!delay) return false;
    s.delayExecuteMinute = *delay;
  }
  if (kinds == 0) return true;
  s.isEnabled = true;
  if (a.Has("start")) {
    if (!IsDateTimeText(a.Get("start")))
      return Refuse(ctx, "--start takes \"YYYY-MM-DD HH:MM:SS\" (local time)");
    s.startTime = a.Get("start");
  }
  if (a.Has("periodical")) {
    s.kind = 0;
    return ReadPeriod(ctx, a.Get("periodical"), s);
  }
  if (a.Has("daily")) {
    s.kind = 1;
    auto days = Number(ctx, a, "daily", 1);
    if (days) s.dailyDays = *days;
    return days.has_value();
  }
  if (a.Has("weekly")) {
    s.kind = 2;
    return ReadWeekly(ctx, a, s);
  }
  s.kind = 3;
  return ReadMonthly(ctx, a, s);
}

bool ReadObjects(TAdminContext& ctx, const TAdminArgs& a, int kind,
                 std::vector<TTaskFileObjectRecord>& objects) {
  for (auto [option, isFolder] : {std::pair{"folder", 1}, {"file", 0}}) {
    for (const std::string& path : a.GetAll(option)) {
      auto p = NormaliseTaskPath(path);
      if (!p) return Refuse(ctx, std::string("--") + option + " needs a path");
      TTaskFileObjectRecord o;
      o.name = *p;
      o.kind = isFolder;
      objects.push_back(std::move(o));
    }
  }
  if (kind == 200 && (objects.size() != 1 || !a.GetAll("file").empty()))
    return Refuse(ctx, "a folder sync task (--kind 200) takes exactly one --folder");
  if (objects.empty()) return Refuse(ctx, "name at least one --folder or --file");
  return true;
}

bool ReadPatterns(TAdminContext& ctx, const TAdminArgs& a, std::vector<TFilterPattern>& out) {
  for (const char* option : {"include", "exclude"}) {
    for (const std::string& text : a.GetAll(option)) {
      auto p = NormalisePattern(text);
      if (!p || p->empty())
        return Refuse(
            ctx, std::string("--") + option + " needs a pattern without control " + "characters");
      out.push_back({*p, std::string(option) == "include"});
    }
  }
  return true;
}

int AddDefault(TAdminContext& ctx, const TAdminArgs& a) {
  if (RefuseRepeated(ctx, a)) return 1;
  TTaskRecord task;
  task.name = a.positional[0];
  if (task.name.empty() || !IsCleanText(task.name, kMaxTaskNameBytes))
    return Fail(ctx, "a task name is 1 to 512 bytes without control characters");
  auto kind = ParseWholeNumber(a.Get("kind"));
  if (!a.Has("kind") || !kind || (*kind != 100 && *kind != 200))
    return Fail(ctx,
                "--kind takes 100 (file backup) or 200 (folder sync); mail tasks are "
                "defined on the client");
  task.kind = static_cast<int>(*kind);
  // A comment keeps its line breaks as the character 2, as on the wire.
  task.comment = a.Get("comment");
  task.comment.erase(std::remove(task.comment.begin(), task.comment.end(), '\r'),
                     task.comment.end());
  std::replace(task.comment.begin(), task.comment.end(), '\n', '\x02');
  if (!IsCleanText(task.comment, kMaxCommentBytes, true))
    return Fail(ctx, "--comment is too long or holds control characters");
  task.backupMode = a.Has("backup-mode");
  if (task.backupMode && task.kind != 100)
    return Fail(ctx, "--backup-mode belongs to file backup tasks (--kind 100)");
  task.created = FormatDateTime(std::chrono::system_clock::now());
  task.schedule.startTime = task.created;
  task.schedule.delayExecuteMinute = 10;
  std::vector<TTaskFileObjectRecord> objects;
  std::vector<TFilterPattern> patterns;
  if (!ReadSchedule(ctx, a, task.schedule) || !ReadObjects(ctx, a, task.kind, objects) ||
      !ReadPatterns(ctx, a, patterns))
    return 1;
  const auto users = a.GetAll("assign");
  for (const std::string& u : users) {
    auto known = TUserStore(ctx.db).Exists(u);
    if (!known.Ok()) return Fail(ctx, known.Error());
    if (!*known) return Fail(ctx, "no user '" + u + "' to assign the task to");
  }

  Transaction tx(ctx.db);
  auto id = NextDefaultTaskId(ctx.db);
  if (!id.Ok()) return Fail(ctx, id.Error());
  if (!*id) return Fail(ctx, "every default task ID (1 .. 65535) is in use");
  task.taskId = **id;
  auto inserted = InsertTask(ctx.db, task);
  if (!inserted.Ok()) return Fail(ctx, inserted.Error());
  if (auto stored = ReplaceTaskObjects(ctx.db, task.rowId, objects); !stored.Ok())
    return Fail(ctx, stored.Error());
  if (auto stored = ReplaceTaskFilters(ctx.db, task.rowId, patterns); !stored.Ok())
    return Fail(ctx, stored.Error());
  for (const std::string& u : users)
    if (auto assigned = AssignDefaultTask(ctx.db, task.rowId, u); !assigned.Ok())
      return Fail(ctx, assigned.Error());
  tx.Commit();
  ctx.out << "added default task " << task.taskId << " (" << task.name << ")\n";
  return 0;
}

std::optional<std::int64_t> ReadDefaultTaskId(TAdminContext& ctx, const std::string& text) {
  auto id = ParseWholeNumber(text);
  if (!id || *id < 1 || *id >= kFirstClientTaskId) {
    Fail(ctx, "a default task ID is a whole number from 1 to 65535 (see 'task list')");
    return std::nullopt;
  }
  return *id;
}

std::optional<TTaskRecord> ExistingDefaultTask(TAdminContext& ctx, const std::string& text) {
  auto id = ReadDefaultTaskId(ctx, text);
  if (!id) return std::nullopt;
  auto task = FindDefaultTask(ctx.db, *id);
  if (!task.Ok()) {
    Fail(ctx, task.Error());
    return std::nullopt;
  }
  if (!*task) Fail(ctx, "no default task " + std::to_string(*id));
  return *task;
}

int Assign(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& user = a.positional[1];
  auto known = TUserStore(ctx.db).Exists(user);
  if (!known.Ok()) return Fail(ctx, known.Error());
  if (!*known) return Fail(ctx, "no user '" + user + "'");
  Transaction tx(ctx.db);
  auto task = ExistingDefaultTask(ctx, a.positional[0]);
  if (!task) return 1;
  auto assigned = AssignDefaultTask(ctx.db, task->rowId, user);
  if (!assigned.Ok()) return Fail(ctx, assigned.Error());
  const bool added = *assigned;
  tx.Commit();
  ctx.out << "default task " << task->taskId << (added ? " assigned to " : " was assigned to ")
          << user << (added ? "" : " already") << "\n";
  return 0;
}

int Unassign(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& user = a.positional[1];
  Transaction tx(ctx.db);
  auto task = ExistingDefaultTask(ctx, a.positional[0]);
  if (!task) return 1;
  auto unassigned = UnassignDefaultTask(ctx.db, task->rowId, user);
  if (!unassigned.Ok()) return Fail(ctx, unassigned.Error());
  if (!*unassigned)
    return Fail(
        ctx, "default task " + std::to_string(task->taskId) + " is not assigned to '" + user + "'");
  tx.Commit();
  ctx.out << "default task " << task->taskId << " no longer assigned to " << user << "\n";
  return 0;
}

int Remove(TAdminContext& ctx, const TAdminArgs& a) {
  Transaction tx(ctx.db);
  auto task = ExistingDefaultTask(ctx, a.positional[0]);
  if (!task) return 1;
  if (auto removed = RemoveTask(ctx.db, task->rowId); !removed.Ok())
    return Fail(ctx, removed.Error());
  tx.Commit();
  ctx.out << "removed default task " << task->taskId << " (" << task->name << ")\n";
  return 0;
}

std::string DescribeSchedule(const TTaskSchedule& s) {
  if (!s.isEnabled) return "off";
  std::ostringstream d;
  switch (s.kind) {
    case 0:
      d << "every " << s.periodicalDays << ":" << s.periodicalHours << ":" << s.periodicalMinutes;
      break;
    case 1:
      d << "every " << s.dailyDays << " day(s)";
      break;
    case 2: {
      d << "every " << s.weeklyWeeks << " week(s) on";
      const char* sep = " ";
      for (int i = 0; i < 7; ++i)
        if ((s.weeklyDays >> i) & 1) d << std::exchange(sep, ",") << kWeekdays[i];
      break;
    }
    default:
      d << "every " << s.monthlyMonths << " month(s) on the " << kOrdinals[s.monthlyPrefix % 5]
        << " " << kWeekdays[(s.monthlyDay + 6) % 7];
  }
  d << " from " << s.startTime << ", delay " << s.delayExecuteMinute << " min";
  return d.str();
}

// Nonzero, with the error written, when the task's rows cannot be read.
int PrintTask(TAdminContext& ctx, const TTaskRecord& t, const std::string& users) {
  auto objects = TaskObjects(ctx.db, t.rowId);
  if (!objects.Ok()) return Fail(ctx, objects.Error());
  auto patterns = TaskFilters(ctx.db, t.rowId);
  if (!patterns.Ok()) return Fail(ctx, patterns.Error());
  ctx.out << t.taskId << "\t" << t.kind << "\t" << t.name << "\t" << DescribeSchedule(t.schedule)
          << "\t" << users << "\n";
  for (const auto& o : *objects)
    ctx.out << "\t" << (o.kind.value_or(t.kind == 200 ? 1 : 0) == 1 ? "folder" : "file") << "\t"
            << o.name << "\n";
  for (const auto& p : *patterns)
    ctx.out << "\t" << (p.isInclude ? "include" : "exclude") << "\t" << p.pattern << "\n";
  return 0;
}

int ListAll(TAdminContext& ctx, const TAdminArgs& a) {
  if (a.Has("user")) {
    const std::string user = a.Get("user");
    auto known = TUserStore(ctx.db).Exists(user);
    if (!known.Ok()) return Fail(ctx, known.Error());
    if (!*known) return Fail(ctx, "no user '" + user + "'");
    auto tasks = ListTasksOfUser(ctx.db, user, true);
    if (!tasks.Ok()) return Fail(ctx, tasks.Error());
    ctx.out << "id\tkind\tname\tschedule\towner\n";
    for (const TTaskRecord& t : *tasks)
      if (PrintTask(ctx, t, t.IsDefault() ? "(default)" : t.owner) != 0) return 1;
    return 0;
  }
  auto tasks = ListDefaultTasks(ctx.db);
  if (!tasks.Ok()) return Fail(ctx, tasks.Error());
  ctx.out << "id\tkind\tname\tschedule\tassigned-to\n";
  for (const TTaskRecord& t : *tasks) {
    auto assigned = AssignedUsers(ctx.db, t.rowId);
    if (!assigned.Ok()) return Fail(ctx, assigned.Error());
    std::string users;
    for (const std::string& u : *assigned) users += (users.empty() ? "" : ",") + u;
    if (PrintTask(ctx, t, users) != 0) return 1;
  }
  return 0;
}

}  // namespace

void RegisterAdminTaskCommands(TAdminRegistry& r) {
  r.Add({"task",
         "add-default",
         "task add-default NAME --kind 100|200 (--folder PATH | --file PATH)... "
         "[--include PATTERN]... [--exclude PATTERN]... [--comment TEXT] [--backup-mode] "
         "[--delay MINUTES] [--periodical D:H:M | --daily N | --weekly N --weekdays mon,... | "
         "--monthly N [--ordinal first|second|third|last|second-last] [--weekday mon..sun]] "
         "[--start \"YYYY-MM-DD HH:MM:SS\"] [--assign USER]...",
         "define a default task (paths as on the users' machines) and optionally assign it; "
         "prints its ID",
         1,
         1,
         {"kind", "folder", "file", "include", "exclude", "comment", "backup-mode", "delay",
          "periodical", "daily", "weekly", "weekdays", "monthly", "ordinal", "weekday", "start",
          "assign"},
         AddDefault});
  r.Add({"task",
         "assign",
         "task assign ID USER",
         "the user loads and runs the default task (read only for him)",
         2,
         2,
         {},
         Assign});
  r.Add({"task",
         "unassign",
         "task unassign ID USER",
         "withdraw a default task from a user",
         2,
         2,
         {},
         Unassign});
  r.Add({"task",
         "list",
         "task list [--user CODE]",
         "list the default tasks with their users, or every task a user loads",
         0,
         0,
         {"user"},
         ListAll});
  r.Add({"task",
         "remove",
         "task remove ID",
         "remove a default task and its assignments (its run logs stay)",
         1,
         1,
         {},
         Remove});
}

}  // namespace solvane::server
