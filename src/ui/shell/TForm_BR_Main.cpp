#include "ui/shell/TForm_BR_Main.h"

#include "ui/backup/TForm_BR_FileBackup.h"
#include "ui/backup/TForm_BR_FileSync.h"
#include "ui/backup/TForm_BR_MCBackup.h"
#include "ui/backup/TForm_BR_TaskList.h"
#include "ui/restore/TForm_BR_RestoreWizard.h"

namespace solvane {

TForm_BR_Main::TForm_BR_Main(TUiShell& shell, QWidget* parent)
    : TMenuScreen(shell, QString::fromUtf8("备份与恢复"), parent) {
  AddLink(QString::fromUtf8("数据备份"), "LinkDataBackup",
          [this] { ShowContent<TForm_BR_FileBackup>(); });
  AddLink(QString::fromUtf8("文件备份"), "LinkFileBackup",
          [this] { ShowContent<TForm_BR_FileBackup>(); });
  AddLink(QString::fromUtf8("文件夹同步"), "LinkFileSync",
          [this] { ShowContent<TForm_BR_FileSync>(); });
  AddLink(QString::fromUtf8("所有任务列表"), "LinkTaskList",
          [this] { OpenContent<TForm_BR_TaskList>(); });
  AddLink(QString::fromUtf8("数据恢复"), "LinkRestore",
          [this] { ShowContent<TForm_BR_RestoreWizard>(); });
  AddLink(QString::fromUtf8("邮件备份"), "LinkMailBackup",
          [this] { ShowContent<TForm_BR_MCBackup>(); });
}

void TForm_BR_Main::Opening() { ShowContent<TForm_BR_FileBackup>(); }

}  // namespace solvane
