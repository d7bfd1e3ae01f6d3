#pragma once
// Run a step on a task only while it runs: the check and the step happen
// under the task's lock, so nothing is queued after the task stopped.

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

template <class Step>
bool IfRunning(TTaskObject& task, Step&& step) {
  auto lock = task.Lock();
  if (!task.IsRunning()) return false;
  step();
  return true;
}

// The task's selected objects, copied under its lock.
inline std::vector<TTaskFileObject> SelectedObjects(const TTaskObject& task) {
  auto lock = task.Lock();
  return task.FileObjects.Items;
}

}  // namespace solvane
