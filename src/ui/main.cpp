// solvane: the desktop client.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <thread>

#include "platform/AutoRun.h"
#include "platform/FileFacts.h"
#include "platform/MemoryUse.h"
#include "platform/NetworkInfo.h"
#include "qtbridge/QSettingsRegistry.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/QtNoteSink.h"
#include "ui/shell/ScreenshotMode.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

int main(int argc, char** argv) {
  using namespace solvane;
  KeepTransferBuffersForReuse();
  QApplication app(argc, argv);
  app.setApplicationName("Solvane");
  app.setOrganizationName("Kestrune");
  // No display name: Qt would append it to every window caption, and each
  // window names itself.
  app.setQuitOnLastWindowClosed(false);  // the program lives on in the tray

  // The shared state comes first: a second instance builds it too.
  TQSettingsRegistry registry;
  TXdgAutoRun autoRun;
  TPosixNetworkInfo network;
  TQtNoteSink notes;
  TPublicInfo info({registry, autoRun, network, notes, PlatformFileFacts().ProgramFilePath(), {}});

  TSingleInstance instance;
  if (instance.SignalOrListen()) return 0;

  // Server calls made on this thread keep the windows alive while waiting.
  SetUiThread(std::this_thread::get_id());
  SetUiPump([] { QCoreApplication::processEvents(); });

  int result = 0;
  {
    TUiShell shell(info);
    TForm_Main window(shell);
    QObject::connect(&instance, &TSingleInstance::MessageReceived, &window,
                     &TForm_Main::InstanceMessage);
    ArmScreenshots(window);
    // Without a window manager "maximised" means nothing: fill the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen())
      window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    result = app.exec();
    CloseAllNotes();
  }
  SetUiPump({});
  SetUiThread({});
  return result;
}
