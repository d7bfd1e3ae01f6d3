// Takes the documentation pictures of the task screens: the file backup
// screen with a partly chosen folder, its filter page, the folder sync
// screen and both pages of the task settings dialog.
// Usage (under Xvfb): ui_task_screens_screenshot <folder>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "UiTestSupport.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/backup/ShellViews.h"
#include "ui/backup/TForm_BR_FileBackup.h"
#include "ui/backup/TForm_BR_FileSync.h"
#include "ui/backup/TForm_BR_TaskSetting.h"
#include "ui/shell/UiShell.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

using namespace solvane;
using namespace solvane::testing;

namespace {

void WriteFile(const QString& path, qint64 size) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(QByteArray(size, 'x'));
}

bool Save(QWidget& w, const QString& path) {
  QTest::qWait(300);
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString home = QDir::tempPath() + "/ann";
  for (auto [name, size] : {std::pair{"文档/季度报告.docx", 184320}, {"文档/预算.xlsx", 52224},
                            {"文档/会议纪要.txt", 2048}, {"文档/合同/租赁合同.pdf", 1200000},
                            {"图片/假期/海边.jpg", 3400000}, {"音乐/歌.mp3", 5100000}})
    WriteFile(home + "/" + QString::fromUtf8(name), size);
  qputenv("HOME", home.toUtf8());

  TUiTestEnv env;
  if (!env.Started()) return 1;
  TUiShell shell(env.Info());
  bool ok = true;
  {
    TForm_BR_FileBackup backup(shell);
    backup.resize(1000, 620);
    backup.show();
    TShellTree& tree = *backup.Tree();
    tree.Reveal(tree.Desktop()->child(0), home + QString::fromUtf8("/文档"));
    QTest::qWaitFor([&] { return !backup.List()->IsLoading(); });
    for (const char* name : {"季度报告.docx", "预算.xlsx"}) {
      QTreeWidgetItem* item = backup.List()->ItemByName(QString::fromUtf8(name));
      if (item) item->setCheckState(0, Qt::Checked);
    }
    ok &= Save(backup, out + "/file-backup.png");
    backup.Pages()->setCurrentIndex(1);
    ok &= Save(backup, out + "/filter-page.png");
  }
  {
    TForm_BR_FileSync sync(shell);
    sync.resize(1000, 620);
    sync.show();
    sync.Tree()->Reveal(sync.Tree()->Desktop()->child(0), home + QString::fromUtf8("/图片"));
    ok &= Save(sync, out + "/folder-sync.png");
  }
  {
    TForm_BR_TaskSetting dialog(env.Info(), 100);
    dialog.show();
    dialog.NameField()->setText(QString::fromUtf8("每周文档备份"));
    dialog.CommentField()->setPlainText(QString::fromUtf8("文档和合同\n每周一、四上午"));
    ok &= Save(dialog, out + "/task-settings-general.png");
    dialog.Pages()->setCurrentIndex(1);
    TSchedulePanel* s = dialog.Schedule();
    s->ScheduleSwitch()->setChecked(true);
    s->KindButton(2)->click();
    s->WeekDay(0)->setChecked(true);
    s->WeekDay(3)->setChecked(true);
    ok &= Save(dialog, out + "/task-settings-schedule.png");
  }
  QDir(home).removeRecursively();
  return ok ? 0 : 1;
}
