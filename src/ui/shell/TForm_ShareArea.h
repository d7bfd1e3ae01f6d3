#pragma once
// Menu of the section "共享区": the public share area and the authorised
// area.

#include "ui/shell/MenuScreen.h"

namespace solvane {

class TForm_ShareArea : public TMenuScreen {
  Q_OBJECT
 public:
  explicit TForm_ShareArea(TUiShell& shell, QWidget* parent = nullptr);
  // As "公共数据区".
  void Opening() override;
};

}  // namespace solvane
