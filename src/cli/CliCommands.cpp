#include "cli/CliCommands.h"

#include "cli/CliMailCommands.h"
#include "cli/CliShareCommands.h"
#include "platform/Terminal.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <thread>

#include "engine/TaskEngine.h"
#include "platform/AutoRun.h"
#include "platform/FileFacts.h"
#include "platform/NetworkInfo.h"
#include "qtbridge/QSettingsRegistry.h"
#include "session/Unit_LocalHelpers.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "wire/QorWithPack.h"

namespace solvane::cli {

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_stoppedByUser{false};
std::atomic<bool> g_reloadRequested{false};

// How often the daemon reloads the task list by itself (SIGHUP: at once).
constexpr auto kTaskListReloadEvery = std::chrono::hours(1);
// How soon a reload that could not be done (a run going on, no server) is
// tried again.
constexpr auto kReloadRetry = std::chrono::seconds(30);

class TStderrNotes : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind kind) override {
    static const char* prefix[] = {"note: ", "warning: ", "error: "};
    std::string oneLine = text;
    for (char& c : oneLine)
      if (c == '\r' || c == '\n') c = ' ';
    std::cerr << prefix[kind] << oneLine << "\n";
  }
};

std::string Megabytes(std::int64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
  return buf;
}

// One progress line on stderr: files and bytes done of what is known so
// far, the rate, and the files the engines move now.
void PrintProgress(TTaskObject& task, std::chrono::steady_clock::time_point start, bool tty) {
  const auto& c = task.PostBag.Counters();
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::int64_t done = c.BytesMoved.load();
  std::string line = "files " + std::to_string(c.FileDoneCount.load() + c.FileCheckedAndNoChangeCount.load()) +
                     "/" + std::to_string(c.TotalFileCount.load()) + " (" +
                     std::to_string(c.FileErrorCount.load()) + " failed), " + Megabytes(done) +
                     (task.TaskDirection == 1 ? " received, " : " sent, ") + Megabytes(seconds > 0 ? static_cast<std::int64_t>(done / seconds) : 0) +
                     "/s";
  std::string current;
  for (int i = 0; i < 5; ++i) {
    auto sc = task.ScreenContext(i);
    if (sc.CurrentObject.empty()) continue;
    current += (current.empty() ? "" : ", ") + FileNameOf(sc.CurrentObject) + " " +
               std::to_string(sc.Percent) + "%";
  }
  if (!current.empty()) line += "; now: " + current;
  if (tty)
    std::cerr << "\r\033[K" << line << std::flush;
  else
    std::cerr << line << "\n";
}

void PrintSummary(TTaskObject& task) {
  std::string line = "summary:";
  for (const auto& [name, value] : task.PostBag.Counters().InOrder())
    line += " " + std::string(name) + "=" + std::to_string(value);
  std::cerr << line << "\n";
}

// Waits for the task's run to end: a one-off task leaves the task list after
// its end report; a named task is terminated and no longer current.
bool WaitForEnd(TPublicInfo& info, const TTaskObjectPtr& task) {
  const bool tty = IsErrorTerminal();
  auto start = std::chrono::steady_clock::now();
  auto lastPrint = start - std::chrono::hours(1);
  const auto printEvery = tty ? std::chrono::milliseconds(250) : std::chrono::seconds(2);
  for (;;) {
    bool ended = task->IsTemporary ? !info.Tasks().FindTask(task->TaskID)
                                   : task->State() == kStateTerminated &&
                                         info.CurrentTask() != task;
    if (ended) break;
    if (g_interrupted) {
      std::cerr << (tty ? "\n" : "") << "stopping the task...\n";
      info.Tasks().RequestStop(task->TaskID, false);
      g_interrupted = false;
      g_stoppedByUser = true;
    }
    if (std::chrono::steady_clock::now() - lastPrint >= printEvery) {
      PrintProgress(*task, start, tty);
      lastPrint = std::chrono::steady_clock::now();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  PrintProgress(*task, start, tty);
  if (tty) std::cerr << "\n";
  PrintSummary(*task);
  if (g_stoppedByUser) {
    std::cerr << "the task was stopped before its end\n";
    return false;
  }
  return task->PostBag.Counters().FileErrorCount.load() == 0;
}

struct TServerEntry {
  std::string name;
  std::string folder;
  bool isFolder = false;
  std::int64_t size = 0, date = 0, version = 0;
};

bool ListServerFolder(TPublicInfo& info, int kind, const std::string& path,
                      std::vector<TServerEntry>& out) {
  TQorPack p;
  p.SetFunNo("TBrower.ShowFileObject");
  p.AddString(1, "UCode", info.UserCode());
  p.AddString(1, "TaskKind", std::to_string(kind));
  p.AddString(1, "RelatePath", ToSlashes(path));
  p.AddString(1, "IsInlcudeSubFolder", "1");
  TQorTCPClientLease c = info.Pool().AcquireFree(-1);
  if (!c.Ready() || !c->Call(p) || p.ErrNo() != 1) return false;
  for (int n = 1; n <= p.RecordSetCount(); ++n) {
    TServerEntry e;
    e.name = p.FieldByName(n, "ObjectName").AsString();
    e.folder = p.FieldByName(n, "ObjectFolder").AsString();
    e.isFolder = p.FieldByName(n, "ObjectKind").AsInteger() == 1;
    e.size = p.FieldByName(n, "ObjectSize").AsInteger();
    e.date = p.FieldByName(n, "ObjectDate").AsInteger();
    e.version = p.FieldByName(n, "ObjectVersion").AsInteger();
    out.push_back(e);
  }
  return true;
}

std::string AbsoluteLocal(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (error) return path;
  return here.string() + "/" + path;
}

std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

int StartAndWait(TPublicInfo& info, const TTaskObjectPtr& task) {
  info.Tasks().Add(task);
  if (!info.Tasks().RequestStart(task->TaskID, false, info.Now())) {
    std::cerr << "error: the task could not be started\n";
    return 1;
  }
  return WaitForEnd(info, task) ? 0 : 1;
}

namespace {

int Upload(TPublicInfo& info, const TCliOptions& o, int kind) {
  auto task = CreateTaskObject(kind, 0, info.UserCode());
  task->IsTemporary = true;
  task->TaskID = info.Tasks().NewTaskID(info.Now());
  task->TaskName = kind == 200 ? "同步文件" : "备份文件";
  task->CreateDate = info.Now();
  for (const auto& arg : o.args) {
    std::string path = WithoutTrailingSlash(AbsoluteLocal(arg));
    auto facts = PlatformFileFacts().Examine(path);
    if (!facts) {
      std::cerr << "error: " << arg << " does not exist\n";
      return 2;
    }
    if (kind == 200 && !facts->isFolder) {
      std::cerr << "error: sync takes a folder; " << arg << " is a file\n";
      return 2;
    }
    task->FileObjects.Add(path, facts->isFolder ? 1 : 0);
  }
  return StartAndWait(info, task);
}

int Restore(TPublicInfo& info, const TCliOptions& o) {
  auto task = CreateTaskObject(o.kind, 1, info.UserCode());
  task->IsTemporary = true;
  task->TaskID = info.Tasks().NewTaskID(info.Now());
  task->TaskName = "恢复文件";
  task->RestoreInfo.Overwrite = o.overwrite;
  task->RestoreInfo.IsDefine = !o.to ? 0 : (o.flat ? 2 : 1);
  if (o.to) task->RestoreInfo.CacheFolder = WithoutTrailingSlash(AbsoluteLocal(*o.to));
  info.SetSharedParam("RestoreParams.Overwrite", o.overwrite ? "1" : "0");
  for (const auto& arg : o.args) {
    std::string path = WithoutTrailingSlash(ToSlashes(arg));
    std::string parent = StripSlash(ParentPath(path));
    std::string name = FileNameOf(path);
    std::vector<TServerEntry> entries;
    bool found = false;
    if (parent.empty() || path == "/") {
      task->FileObjects.Items.push_back({path, 1, -1, -1, -1});  // a root
      found = true;
    } else if (ListServerFolder(info, o.kind, parent, entries)) {
      for (const auto& e : entries)
        if (e.name == name) {
          task->FileObjects.Items.push_back(
              {path, static_cast<std::uint8_t>(e.isFolder ? 1 : 0), e.size, e.date, e.version});
          found = true;
          break;
        }
    }
    if (!found) {
      std::cerr << "error: " << arg << " is not in the server store\n";
      return 2;
    }
    if (task->RestoreInfo.ParentFolder.empty()) task->RestoreInfo.ParentFolder = parent;
  }
  return StartAndWait(info, task);
}

int List(TPublicInfo& info, const TCliOptions& o) {
  std::string path = o.args.empty() ? "" : WithoutTrailingSlash(ToSlashes(o.args[0]));
  std::vector<TServerEntry> entries;
  if (!ListServerFolder(info, o.kind, path, entries)) {
    std::cerr << "error: the server could not list " << (path.empty() ? "the store" : path)
              << "\n";
    return 1;
  }
  for (const auto& e : entries) {
    if (e.isFolder)
      std::cout << "d " << JoinPath(e.folder, e.name) << "/\n";
    else
      std::cout << "f " << JoinPath(e.folder, e.name) << "\t" << GroupThousands(e.size)
                << "\tversion " << e.version << "\n";
  }
  return 0;
}

int ListTasks(TPublicInfo& info) {
  for (const auto& t : info.Tasks().Snapshot()) {
    std::cout << t->TaskID << "\t" << TaskKindName(t->TaskKind) << "\t" << t->TaskName << "\t"
              << (t->ScheduleInfo.IsEnableSchedule ? "scheduled" : "manual") << "\t"
              << TaskStateName(t->State()) << (t->IsSystemDefault ? "\tdefault" : "") << "\n";
  }
  return 0;
}

int RunNamed(TPublicInfo& info, const TCliOptions& o) {
  char* end = nullptr;
  long id = std::strtol(o.args[0].c_str(), &end, 10);
  auto task = (end && *end == '\0') ? info.Tasks().FindTask(static_cast<std::int32_t>(id)) : nullptr;
  if (!task) {
    std::cerr << "error: no task " << o.args[0] << " (see: solvane-cli tasks)\n";
    return 2;
  }
  if (!info.Tasks().RequestStart(task->TaskID, false, info.Now())) {
    std::cerr << "error: task " << o.args[0] << " is already waiting or running\n";
    return 1;
  }
  return WaitForEnd(info, task) ? 0 : 1;
}

// Tasks an administrator assigns meanwhile appear without a restart: the list
// is reloaded on SIGHUP and every hour, between runs.
void ReloadTaskListWhenDue(TPublicInfo& info, std::chrono::steady_clock::time_point& due) {
  const auto now = std::chrono::steady_clock::now();
  if (g_reloadRequested.exchange(false)) due = now;
  if (now < due) return;
  if (!info.Tasks().ReloadWhenIdle(info)) {
    due = now + kReloadRetry;
    return;
  }
  std::cerr << "task list reloaded: " << info.Tasks().Count() << " tasks\n";
  due = now + kTaskListReloadEvery;
}

// Reports every run of the named tasks: a start when the run is seen going
// on, and its end with the summary once the task is terminated (a short run
// may begin and end between two looks).
class TRunReporter {
 public:
  void Look(TPublicInfo& info) {
    const auto current = info.CurrentTask();
    for (const auto& task : info.Tasks().Snapshot()) {
      std::int32_t session = 0;
      {
        auto lock = task->Lock();
        session = task->SessionID;
      }
      if (session <= 0) continue;
      const auto key = std::make_pair(task->TaskID, session);
      if (task == current && m_started.insert(key).second) Started(*task);
      if (task != current && task->State() == kStateTerminated && m_ended.insert(key).second) {
        if (m_started.insert(key).second) Started(*task);
        PrintSummary(*task);
      }
    }
  }
  // Runs that ended before the daemon looked are not its to report.
  void Baseline(TPublicInfo& info) {
    for (const auto& task : info.Tasks().Snapshot()) {
      auto lock = task->Lock();
      if (task->State() == kStateTerminated) m_ended.insert({task->TaskID, task->SessionID});
    }
  }

 private:
  static void Started(TTaskObject& task) {
    std::cerr << "task " << task.TaskID << " (" << task.TaskName << ") started\n";
  }
  std::set<std::pair<std::int32_t, std::int32_t>> m_started, m_ended;
};

int Daemon(TPublicInfo& info) {
  std::cerr << "running the scheduled tasks of " << info.UserCode()
            << "; Ctrl-C stops, SIGHUP reloads the task list\n";
  std::signal(SIGHUP, [](int) { g_reloadRequested = true; });
  auto reloadDue = std::chrono::steady_clock::now() + kTaskListReloadEvery;
  TRunReporter runs;
  runs.Baseline(info);
  while (!g_interrupted) {
    runs.Look(info);
    ReloadTaskListWhenDue(info, reloadDue);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return 0;
}

}  // namespace

int RunCli(const TCliOptions& o) {
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  std::signal(SIGTERM, [](int) { g_interrupted = true; });

  TQSettingsRegistry registry;
  TXdgAutoRun autoRun;
  TPosixNetworkInfo network;
  TStderrNotes notes;
  TPublicInfo info({registry, autoRun, network, notes, PlatformFileFacts().ProgramFilePath(), {}});

  TSettings s = info.Settings();
  const bool serverGiven = o.host.has_value();
  if (o.host) s.Host = *o.host;
  if (o.port) s.Port = *o.port;
  if (o.user) s.UserCode = *o.user;
  if (o.password)
    s.UserPwd = *o.password;
  else if (const char* env = std::getenv("SOLVANE_PASSWORD"))
    s.UserPwd = env;
  if (o.fast) s.Pacing = TPacing::Fast;
  info.SetSettings(s);
  if (IsOfflineMailCommand(o)) return RunMailCommand(info, o);
  if (s.Host.empty()) {
    std::cerr << "error: no server is set; give --server HOST:PORT\n";
    return 2;
  }
  if (s.UserCode.empty()) {
    std::cerr << "error: no user is set; give --user CODE\n";
    return 2;
  }
  if (serverGiven) info.SaveServerSettings();
  if (!Login(info)) {
    std::cerr << "error: sign-in failed: wrong user code or password, or the server at " << s.Host
              << ":" << s.Port << " cannot be reached\n";
    return 2;
  }
  int rc = 0;
  if (o.command == "backup")
    rc = Upload(info, o, 100);
  else if (o.command == "sync")
    rc = Upload(info, o, 200);
  else if (o.command == "restore")
    rc = Restore(info, o);
  else if (o.command == "ls")
    rc = List(info, o);
  else if (o.command == "tasks")
    rc = ListTasks(info);
  else if (o.command == "run")
    rc = RunNamed(info, o);
  else if (o.command == "daemon")
    rc = Daemon(info);
  else if (o.command == "share")
    rc = RunShareCommand(info, o);
  else if (o.command == "mail")
    rc = RunMailCommand(info, o);
  Logout(info);
  return rc;
}

}  // namespace solvane::cli
