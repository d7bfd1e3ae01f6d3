#include "ui/backup/TaskPropertyDialogs.h"

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

bool HasTaskPropertyDialog(int kind) {
  switch (kind) {
    default:
      return false;
  }
}

bool ShowTaskPropertyDialog(TUiShell& shell, int kind, std::int32_t taskId, QWidget* parent) {
  (void)shell;
  (void)taskId;
  (void)parent;
  switch (kind) {
    default:
      return false;
  }
}

}  // namespace solvane
