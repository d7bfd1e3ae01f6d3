#include "ui/shell/TForm_BR_Main.h"

#include "ui/restore/TForm_BR_RestoreWizard.h"
#include "ui/shell/PlaceholderScreens.h"

namespace solvane {

TForm_BR_Main::TForm_BR_Main(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("备份与恢复"), parent) {
  AddLink(QString::fromUtf8("数据备份"), "LinkDataBackup",
          [this] { ShowContent<TScreen_FileBackup>(); });
  AddLink(QString::fromUtf8("文件备份"), "LinkFileBackup",
          [this] { ShowContent<TScreen_FileBackup>(); });
  AddLink(QString::fromUtf8("文件夹同步"), "LinkFileSync",
          [this] { ShowContent<TScreen_FileSync>(); });
  AddLink(QString::fromUtf8("所有任务列表"), "LinkTaskList",
          [this] { OpenContent<TScreen_TaskList>(); });
  AddLink(QString::fromUtf8("数据恢复"), "LinkRestore",
          [this] { ShowContent<TForm_BR_RestoreWizard>(); });
  QPushButton* mail = AddLink(QString::fromUtf8("邮件备份"), "LinkMailBackup",
                              [this] { ShowContent<TScreen_MailBackup>(); });
  mail->setVisible(false);
  mail->setEnabled(false);
}

void TForm_BR_Main::Opening() { ShowContent<TScreen_FileBackup>(); }

}  // namespace solvane
