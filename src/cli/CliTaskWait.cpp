#include "cli/CliTaskWait.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "client/Unit_PublicInfo.h"
#include "platform/Terminal.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TTaskObject_File.h"

namespace solvane::cli {

std::atomic<bool> g_interrupted{false};

namespace {

std::atomic<bool> g_stoppedByUser{false};

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

}  // namespace

void PrintSummary(TTaskObject& task) {
  std::string line = "summary:";
  for (const auto& [name, value] : task.PostBag.Counters().InOrder())
    line += " " + std::string(name) + "=" + std::to_string(value);
  std::cerr << line << "\n";
}

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

int StartAndWait(TPublicInfo& info, const TTaskObjectPtr& task) {
  info.Tasks().Add(task);
  if (!info.Tasks().RequestStart(task->TaskID, false, info.Now())) {
    std::cerr << "error: the task could not be started\n";
    return 1;
  }
  return WaitForEnd(info, task) ? 0 : 1;
}

}  // namespace solvane::cli
