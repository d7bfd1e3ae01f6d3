// Takes the documentation picture of the options screen: the main window,
// signed in to a test server, showing "工具与帮助" with the user's space.
// Usage (under Xvfb): ui_options_screenshot <png> [password|help]
// (the second word shows the password change screen or the help centre).

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "UiStoredFile.h"
#include "UiTestSupport.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/TForm_Tool_ChangePwd.h"
#include "ui/shell/TForm_Tool_HelpCenter.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s <png> [password|help]\n", argv[0]);
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  const QString other = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();

  TUiTestEnv env;
  if (!env.Started()) return 1;
  // 10 MB allotted, 3 MB of it used: the pie shows 70 % available.
  env.Server().Admin({"user", "set", TUiTestEnv::kUser, "--space", "10", "--name", "Ann Li"});
  if (!StoreFile(env.Server(), TUiTestEnv::kUser, TUiTestEnv::kPassword, "report.doc",
                 std::string(2500000, 'r')))
    return 1;
  TSettings s = env.Info().Settings();
  s.IsSavedUserInfo = true;  // signs in at the first showing
  s.WarningSpace = 2048;
  s.CacheFolder = "/home/ann/Solvane/temp";
  s.Pacing = TPacing::Standard;
  env.Info().SetSettings(s);

  SetUiThread(std::this_thread::get_id());
  SetUiPump([] { QCoreApplication::processEvents(); });
  int result = 1;
  {
    TUiShell shell(env.Info());
    TForm_Main window(shell);
    QObject::connect(&window, &TForm_Main::FirstShowingFinished, &window, [&] {
      window.ShowSection(3);
      if (other == "password")
        shell.Screens().Embed<TForm_Tool_ChangePwd>(shell.ContentPanel(), false)->Opening();
      else if (other == "help")
        shell.Screens().Embed<TForm_Tool_HelpCenter>(shell.ContentPanel(), false);
      QTimer::singleShot(1500, &window, [&] {
        result = window.grab().save(path) ? 0 : 1;
        QCoreApplication::exit(0);
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
