#pragma once
// A task's schedule told in a short line of words, for tooltips:
// "每周一、四 09:00", "每月第一个星期一 09:00", "未启用时间策略".

#include <QString>

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

QString ScheduleInWords(const TTaskScheduleInfo& schedule);

}  // namespace solvane
