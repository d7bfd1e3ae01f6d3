#include "ui/shell/TForm_Tool.h"

#include "ui/shell/TForm_Tool_ChangePwd.h"
#include "ui/shell/TForm_Tool_HelpCenter.h"
#include "ui/shell/TForm_Tool_Option.h"

namespace solvane {

TForm_Tool::TForm_Tool(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("工具与帮助"), parent) {
  AddLink(QString::fromUtf8("选项"), "LinkOption", [this] { OpenContent<TForm_Tool_Option>(); });
  AddLink(QString::fromUtf8("密码管理"), "LinkChangePwd",
          [this] { OpenContent<TForm_Tool_ChangePwd>(); });
  AddLink(QString::fromUtf8("帮助中心"), "LinkHelpCenter",
          [this] { OpenContent<TForm_Tool_HelpCenter>(); });
}

void TForm_Tool::Opening() { OpenContent<TForm_Tool_Option>(); }

}  // namespace solvane
