// Takes the documentation pictures of the restore section: the wizard, the
// server browser (tree, search, options), restore by task history and the
// recycle bin, over a small backup.
// Usage (under Xvfb): ui_restore_screenshot <folder>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "UiTestSupport.h"
#include "client/RestoreTask.h"
#include "client/Unit_PublicInfo.h"
#include "ui/restore/RunObjectTree.h"
#include "ui/restore/TForm_BR_RestoreWizard.h"
#include "ui/restore/TForm_BR_Restore_Browser.h"
#include "ui/restore/TForm_BR_Restore_Recycle.h"
#include "ui/restore/TForm_BR_Restore_TaskHistory.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

bool Save(QWidget& window, const fs::path& png) {
  QCoreApplication::processEvents();
  return window.grab().save(QString::fromStdString(png.string()));
}

// Opens every folder of the tree once.
void ExpandAll(QTreeWidget* tree) {
  std::vector<QTreeWidgetItem*> work{tree->topLevelItem(0)};
  while (!work.empty()) {
    QTreeWidgetItem* node = work.back();
    work.pop_back();
    if (!node) continue;
    node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i) work.push_back(node->child(i));
  }
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
  env.Info().SetSettings(s);
  const fs::path docs = fs::path(env.Scratch()) / "文档";
  fs::create_directories(docs / "合同");
  for (const char* name : {"季度报告.docx", "预算表.xlsx", "合同/租赁合同.pdf"})
    std::ofstream(docs / name) << std::string(48000, 'x');

  SetUiThread(std::this_thread::get_id());
  SetUiPump([] { QCoreApplication::processEvents(); });
  int result = 1;
  {
    TUiShell shell(env.Info());
    TForm_Main window(shell);
    QObject::connect(&window, &TForm_Main::FirstShowingFinished, &window, [&] {
      TPublicInfo& info = env.Info();
      AddAndStartRestore(info, MakeFileBackupTask(info, {{docs.string(), true}}));
      while (!info.Tasks().Snapshot().empty()) QTest::qWait(100);
      window.ShowSection(0);
      bool ok = true;
      auto* wizard = shell.Screens().Embed<TForm_BR_RestoreWizard>(shell.ContentPanel(), false);
      QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
      QApplication::sendEvent(wizard->WayButton(TForm_BR_RestoreWizard::kWaySelective), &enter);
      ok = Save(window, out / "restore-wizard.png") && ok;
      auto* browser = TForm_BR_Restore_Browser::OpenOwnStore(shell);
      ExpandAll(browser->Tree(0));
      ok = Save(window, out / "restore-browser-tree.png") && ok;
      browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySearch);
      browser->SearchName()->setText(".docx");
      browser->Search();
      ok = Save(window, out / "restore-browser-search.png") && ok;
      browser->Next();
      ok = Save(window, out / "restore-browser-options.png") && ok;
      auto* history =
          shell.Screens().Embed<TForm_BR_Restore_TaskHistory>(shell.ContentPanel(), false);
      history->Opening();
      history->FindRuns();
      if (history->Runs()->topLevelItemCount() > 0)
        history->Runs()->setCurrentItem(history->Runs()->topLevelItem(0));
      ok = Save(window, out / "restore-history-runs.png") && ok;
      history->Next();
      if (QTreeWidgetItem* folder = history->Objects()->topLevelItem(0)) folder->setExpanded(true);
      ok = Save(window, out / "restore-history-objects.png") && ok;
      auto* bin = shell.Screens().Embed<TForm_BR_Restore_Recycle>(shell.ContentPanel(), false);
      bin->Opening();
      ok = Save(window, out / "restore-recycle-bin.png") && ok;
      result = ok ? 0 : 1;
      QCoreApplication::exit(0);
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
