// daemon: the user's scheduled tasks, run until stopped.

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <set>
#include <thread>

#include "cli/CliCommandTable.h"
#include "cli/CliTaskWait.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"

namespace solvane::cli {

namespace {

std::atomic<bool> g_reloadRequested{false};

// How often the daemon reloads the task list by itself (SIGHUP: at once).
constexpr auto kTaskListReloadEvery = std::chrono::hours(1);
// How soon a reload that could not be done (a run going on, no server) is
// tried again.
constexpr auto kReloadRetry = std::chrono::seconds(30);

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

}  // namespace

int RunDaemon(TPublicInfo& info, const TCliOptions&) {
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

}  // namespace solvane::cli
