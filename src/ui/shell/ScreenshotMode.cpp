#include "ui/shell/ScreenshotMode.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

#include "ui/shell/TForm_Login.h"
#include "ui/shell/TForm_Main.h"

namespace solvane {

namespace {

constexpr int kSettleMs = 1500;  // popups slide in, the clock ticks

QString GrownPath(const QString& path) {
  const QFileInfo file(path);
  return file.dir().filePath(file.completeBaseName() + "-grown.png");
}

// Grabs the login dialog the first time it shows.
class TLoginGrabber : public QObject {
 public:
  TLoginGrabber(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* login = qobject_cast<TForm_Login*>(watched);
    if (login && event->type() == QEvent::Show && !m_done) {
      m_done = true;
      QTimer::singleShot(kSettleMs / 3, login, [this, login] {
        login->grab().save(m_path);
        login->NetworkSettingsClicked();
        QTimer::singleShot(kSettleMs / 3, login, [this, login] {
          login->grab().save(GrownPath(m_path));
          QCoreApplication::exit(0);
        });
      });
    }
    return false;
  }

 private:
  QString m_path;
  bool m_done = false;
};

}  // namespace

void ArmScreenshots(TForm_Main& window) {
  const QString mainPath = qEnvironmentVariable("SOLVANE_SCREENSHOT");
  const QString loginPath = qEnvironmentVariable("SOLVANE_SCREENSHOT_LOGIN");
  if (!loginPath.isEmpty()) qApp->installEventFilter(new TLoginGrabber(loginPath, &window));
  if (mainPath.isEmpty()) return;
  QObject::connect(&window, &TForm_Main::FirstShowingFinished, &window, [&window, mainPath] {
    QTimer::singleShot(kSettleMs, &window, [&window, mainPath] {
      window.grab().save(mainPath);
      QCoreApplication::exit(0);
    });
  });
}

}  // namespace solvane
