#include "ui/shell/TForm_ShareArea.h"

#include "ui/shell/PlaceholderScreens.h"

namespace solvane {

TForm_ShareArea::TForm_ShareArea(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("共享区"), parent) {
  AddLink(QString::fromUtf8("公共数据区"), "LinkShareArea",
          [this] { ShowContent<TScreen_ShareArea>(); });
  AddLink(QString::fromUtf8("授权数据区"), "LinkAuthArea",
          [this] { ShowContent<TScreen_AuthArea>(); });
}

void TForm_ShareArea::Opening() { ShowContent<TScreen_ShareArea>(); }

}  // namespace solvane
