#include "ui/shell/TForm_ShareArea.h"

#include "ui/areas/TForm_BR_AuthArea.h"
#include "ui/areas/TForm_BR_ShareArea.h"

namespace solvane {

TForm_ShareArea::TForm_ShareArea(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("共享区"), parent) {
  AddLink(QString::fromUtf8("公共数据区"), "LinkShareArea",
          [this] { OpenContent<TForm_BR_ShareArea>(); });
  AddLink(QString::fromUtf8("授权数据区"), "LinkAuthArea",
          [this] { OpenContent<TForm_BR_AuthArea>(); });
}

void TForm_ShareArea::Opening() { OpenContent<TForm_BR_ShareArea>(); }

}  // namespace solvane
