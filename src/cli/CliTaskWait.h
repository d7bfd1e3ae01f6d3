#pragma once
// Running a task from the command line: start, progress on stderr, the
// summary, and Ctrl-C stopping the task.

#include <atomic>

#include "tasks/Unit_Handler_Define.h"

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

// Set by SIGINT and SIGTERM.
extern std::atomic<bool> g_interrupted;

// Adds the one-off task to the task list, starts it and waits for its end
// with progress on stderr; 0 when no file failed and it was not stopped.
int StartAndWait(TPublicInfo& info, const TTaskObjectPtr& task);

// Waits for the task's run to end (a one-off task leaves the task list; a
// named task is terminated and no longer current); true when no file failed
// and it was not stopped.
bool WaitForEnd(TPublicInfo& info, const TTaskObjectPtr& task);

// The counters of the task's run on one line of stderr.
void PrintSummary(TTaskObject& task);

}  // namespace solvane::cli
