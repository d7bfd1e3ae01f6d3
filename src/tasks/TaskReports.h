#pragma once
// The three run reports the dispatcher sends for every task: "TTask.Start",
// "TTask.Stop" with the run counters, and "TTask.ErrorReport" with the
// failed files in batches of ten.

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

bool ReportStart(IEngineContext& ctx, TTaskObject& task);
// Sends ReportErrors too when the stop report succeeded and files failed.
bool ReportStop(IEngineContext& ctx, TTaskObject& task);
bool ReportErrors(IEngineContext& ctx, TTaskObject& task);

}  // namespace solvane
