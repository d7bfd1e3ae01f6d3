// Takes the documentation pictures of the mail backup screen (a Foxmail
// store with a mailbox ticked whole and two messages of another) and of the
// property dialog of the mail task saved from it.
// Usage (under Xvfb): ui_mail_screenshot <folder>

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "MailStoreFixture.h"
#include "UiTestSupport.h"
#include "client/FileTaskSaving.h"
#include "client/MailSelection.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/MailPicker.h"
#include "ui/backup/TForm_BR_MCBackup.h"
#include "ui/backup/TForm_BR_TaskList_MCBackup.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

bool Save(QWidget& w, const QString& path) {
  QTest::qWait(300);
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
  return ok;
}

std::vector<test::TFoxmailMessageSpec> Inbox() {
  const char* senders[] = {"li.wei@example.cn", "zhang.min@example.cn", "reports@example.org",
                           "wang.fang@example.cn", "it-desk@example.org"};
  // The index keeps GB18030 texts; ASCII reads the same in both.
  const char* subjects[] = {"Q3 budget draft", "Minutes of Friday's meeting", "Monthly report",
                            "Contract approval", "Mailbox almost full"};
  std::vector<test::TFoxmailMessageSpec> messages;
  for (int n = 0; n < 5; ++n)
    messages.push_back({MessageText(n + 1, 2000 + 3000 * n), senders[n], subjects[n]});
  return messages;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  TUiTestEnv env;
  if (!env.Started()) return 1;
  TMailStores stores;
  stores.WriteFoxmail(Inbox());
  stores.RegisterFoxmail(env.Registry());
  TPublicInfo& info = env.Info();
  if (!Login(info)) return 1;
  info.Engine().SetEngineActive(false);

  TUiShell shell(info);
  bool ok = true;
  std::int32_t taskId = -1;
  {
    TForm_BR_MCBackup screen(shell);
    screen.resize(1000, 620);
    screen.show();
    TMailPicker& picker = *screen.Picker();
    picker.FolderNode(1005)->setCheckState(0, Qt::Checked);
    picker.Tree()->setCurrentItem(picker.FolderNode(kFoxInboxID));
    picker.List()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    picker.List()->topLevelItem(3)->setCheckState(0, Qt::Checked);
    ok &= Save(screen, out + "/mail-backup.png");

    // The same ticks as a named task, for the property dialog.
    TTaskObjectPtr task = CreateTaskObject(kKindMailClient, 0, info.UserCode());
    task->TaskID = taskId = info.Tasks().NewTaskID(info.Now());
    task->TaskName = "每日邮件备份";
    task->Comment = "收件箱中的重要邮件";
    task->ScheduleInfo.DelayExcuteMinute = 10;
    ok &= static_cast<bool>(InsertTaskOnServer(info, *task));
    info.Tasks().Add(task);
    ok &= SendMailSelection(info, taskId, picker.Selection());
    picker.ClearSelection();
  }
  {
    TForm_BR_TaskList_MCBackup dialog(shell, taskId);
    dialog.show();
    ok &= Save(dialog, out + "/mail-task-property-basic.png");
    dialog.Pages()->setCurrentIndex(1);
    dialog.Picker()->Tree()->setCurrentItem(dialog.Picker()->FolderNode(kFoxInboxID));
    ok &= Save(dialog, out + "/mail-task-property-content.png");
  }
  return ok ? 0 : 1;
}
