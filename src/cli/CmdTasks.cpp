// tasks: the user's named tasks.

#include <iostream>

#include "cli/CliCommandTable.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"

namespace solvane::cli {

int RunTasks(TPublicInfo& info, const TCliOptions&) {
  for (const auto& t : info.Tasks().Snapshot()) {
    std::cout << t->TaskID << "\t" << TaskKindName(t->TaskKind) << "\t" << t->TaskName << "\t"
              << (t->ScheduleInfo.IsEnableSchedule ? "scheduled" : "manual") << "\t"
              << TaskStateName(t->State()) << (t->IsSystemDefault ? "\tdefault" : "") << "\n";
  }
  return kExitOk;
}

}  // namespace solvane::cli
