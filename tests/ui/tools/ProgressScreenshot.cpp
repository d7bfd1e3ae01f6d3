// Takes the documentation pictures of the progress section: the monitor
// during a file backup, and the task report's run list and one run's
// details after a run in which one file failed.
// Usage (under Xvfb): ui_progress_screenshot <folder>
// writes <folder>/task-monitor.png, task-report-list.png and
// task-report-details.png.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "UiTestSupport.h"
#include "client/TaskMakers.h"
#include "client/Unit_PublicInfo.h"
#include "ui/backup/TForm_BR_TaskReport.h"
#include "ui/restore/RunObjectTree.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

fs::path MakeFiles(const fs::path& root, int folders, int perFolder, std::size_t size) {
  for (int f = 0; f < folders; ++f) {
    const fs::path dir = root / ("项目资料" + std::to_string(f + 1));
    fs::create_directories(dir);
    for (int i = 0; i < perFolder; ++i)
      std::ofstream(dir / ("报告-" + std::to_string(i + 1) + ".docx")) << std::string(size, 'x');
  }
  return root;
}

bool StartBackup(TPublicInfo& info, const fs::path& folder) {
  TTaskObjectPtr task = MakeFileBackupTask(info, {{folder.string(), true}});
  if (!task) return false;
  info.Tasks().Add(task);
  return info.Tasks().RequestStart(task->TaskID, false, info.Now());
}

bool Save(QWidget& window, const fs::path& png) {
  return window.grab().save(QString::fromStdString(png.string()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  TUiTestEnv env;
  if (!env.Started()) return 1;
  TSettings s = env.Info().Settings();
  s.IsSavedUserInfo = true;  // signs in at the first showing
  s.Pacing = TPacing::Standard;
  env.Info().SetSettings(s);
  const fs::path scratch = env.Scratch();
  const fs::path small = MakeFiles(scratch / "文档", 2, 3, 3000);
  const fs::path large = MakeFiles(scratch / "资料", 6, 100, 120000);

  SetUiThread(std::this_thread::get_id());
  SetUiPump([] { QCoreApplication::processEvents(); });
  int result = 1;
  {
    TUiShell shell(env.Info());
    TForm_Main window(shell);
    QObject::connect(&window, &TForm_Main::FirstShowingFinished, &window, [&] {
      TPublicInfo& info = env.Info();
      // A short run with one file another program holds, for the report.
      const fs::path held = small / "项目资料1" / "报告-2.docx";
      const int fd = ::open(held.c_str(), O_RDWR | O_CLOEXEC);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      ::fcntl(fd, F_OFD_SETLK, &lock);
      StartBackup(info, small);
      while (!info.Tasks().Snapshot().empty()) QTest::qWait(100);
      ::close(fd);

      StartBackup(info, large);
      window.ShowSection(1);
      QTimer::singleShot(4000, &window, [&] {
        bool ok = Save(window, out / "task-monitor.png");
        for (const auto& task : env.Info().Tasks().Snapshot())
          env.Info().Tasks().RequestStop(task->TaskID, false);
        while (!env.Info().Tasks().Snapshot().empty()) QTest::qWait(100);
        window.findChild<QPushButton*>("LinkTaskReport")->click();
        auto* report = shell.Screens().Screen<TForm_BR_TaskReport>();
        report->FindRuns();
        QCoreApplication::processEvents();
        ok = ok && Save(window, out / "task-report-list.png");
        report->RunList()->setCurrentItem(report->RunList()->topLevelItem(0));  // the failed file
        report->ShowDetails();
        report->ObjectPages()->setCurrentIndex(1);
        if (QTreeWidgetItem* folder = report->ObjectTree()->topLevelItem(0))
          folder->setExpanded(true);
        QTimer::singleShot(500, &window, [&, ok] {
          result = ok && Save(window, out / "task-report-details.png") ? 0 : 1;
          QCoreApplication::exit(0);
        });
      });
    });
    if (QScreen* screen = QGuiApplication::primaryScreen())
      window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    app.exec();
    CloseAllNotes();
  }
  SetUiPump({});
  SetUiThread({});
  return result;
}
