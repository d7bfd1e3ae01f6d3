#pragma once
// Making and starting the restores a restore screen asks for, with the
// notes the user sees.

#include <cstdint>
#include <vector>

#include "client/RestoreTask.h"

namespace solvane {

class TPublicInfo;

// Makes a task of every order; when any is refused nothing is started and
// the user is told why. Otherwise each is added to the task list and started
// by hand ("任务" + ID + "已启动,..." or "启动任务" + ID + "失败!"). Returns
// the tasks added.
std::vector<TTaskObjectPtr> StartRestores(TPublicInfo& info, const std::vector<TRestoreOrder>& orders);

}  // namespace solvane
