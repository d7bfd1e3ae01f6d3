#pragma once
// "文件同步": the property dialog of a named folder sync task.

#include "ui/backup/TaskFilePropertyDialog.h"

namespace solvane {

class TForm_BR_TaskList_FileSync : public TTaskFilePropertyDialog {
 public:
  TForm_BR_TaskList_FileSync(TUiShell& shell, std::int32_t taskId, QWidget* parent = nullptr)
      : TTaskFilePropertyDialog(shell, taskId, kKindFileSync, parent) {}
};

}  // namespace solvane
