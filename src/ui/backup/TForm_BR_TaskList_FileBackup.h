#pragma once
// "文件备份": the property dialog of a named file backup task.

#include "ui/backup/TaskFilePropertyDialog.h"

namespace solvane {

class TForm_BR_TaskList_FileBackup : public TTaskFilePropertyDialog {
 public:
  TForm_BR_TaskList_FileBackup(TUiShell& shell, std::int32_t taskId, QWidget* parent = nullptr)
      : TTaskFilePropertyDialog(shell, taskId, kKindFileBackup, parent) {}
};

}  // namespace solvane
