#include "ui/backup/TaskPropertyDialogs.h"

#include "tasks/Unit_Handler_Define.h"
#include "ui/backup/TForm_BR_TaskList_FileBackup.h"
#include "ui/backup/TForm_BR_TaskList_FileSync.h"
#include "ui/backup/TForm_BR_TaskList_MCBackup.h"
#include "ui/shell/QorWithUIDialogs.h"

namespace solvane {

bool HasTaskPropertyDialog(int kind) {
  switch (kind) {
    case kKindFileBackup:
    case kKindFileSync:
    case kKindMailClient:
      return true;
    default:
      return false;
  }
}

bool ShowTaskPropertyDialog(TUiShell& shell, int kind, std::int32_t taskId, QWidget* parent) {
  switch (kind) {
    case kKindFileBackup:
      return ShowModalForm<TForm_BR_TaskList_FileBackup>(shell, taskId, parent);
    case kKindFileSync:
      return ShowModalForm<TForm_BR_TaskList_FileSync>(shell, taskId, parent);
    case kKindMailClient:
      return ShowModalForm<TForm_BR_TaskList_MCBackup>(shell, taskId, parent);
    default:
      return false;
  }
}

}  // namespace solvane
