#pragma once
// Menu of the section "工具与帮助": options, password change, help centre.

#include "ui/shell/MenuScreen.h"

namespace solvane {

class TForm_Tool : public TMenuScreen {
  Q_OBJECT
 public:
  explicit TForm_Tool(TUiShell& shell, QWidget* parent = nullptr);
  // As "选项".
  void Opening() override;
};

}  // namespace solvane
