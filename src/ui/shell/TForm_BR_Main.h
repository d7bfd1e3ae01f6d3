#pragma once
// Menu of the section "备份与恢复": file backup, folder sync, task list,
// restore (and the mail backup link, kept hidden).

#include "ui/shell/MenuScreen.h"

namespace solvane {

class TForm_BR_Main : public TMenuScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_Main(TUiShell& shell, QWidget* parent = nullptr);
  // As "文件备份".
  void Opening() override;
};

}  // namespace solvane
