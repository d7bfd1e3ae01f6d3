// The main window's tray icon and menu, and the window lock.

#include <QEvent>
#include <QMenu>
#include <QTimer>

#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/ShellPictures.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void TForm_Main::BuildTray() {
  m_trayMenu = new QMenu(this);
  m_trayMenu->setObjectName("TrayMenu");
  m_trayOpen = m_trayMenu->addAction(U("打开Solvane桌面备份系统"));
  m_trayOpen->setObjectName("TrayOpen");
  m_trayMenu->addSeparator();
  m_trayLogin = m_trayMenu->addAction(U("登录/切换用户"));
  m_trayLogin->setObjectName("TrayLogin");
  m_trayLock = m_trayMenu->addAction(U("锁定保护"));
  m_trayLock->setObjectName("TrayLock");
  m_trayLock->setCheckable(true);
  m_trayMenu->addSeparator();
  m_trayExit = m_trayMenu->addAction(U("退出"));
  m_trayExit->setObjectName("TrayExit");

  connect(m_trayOpen, &QAction::triggered, this, &TForm_Main::RestoreFromTray);
  connect(m_trayLogin, &QAction::triggered, this, &TForm_Main::SwitchUser);
  connect(m_trayLock, &QAction::triggered, this, [this] {
    m_trayLock->setChecked(m_locked);  // the check mark follows the lock, not the click
    LockAction();
  });
  connect(m_trayExit, &QAction::triggered, this, [this] { CloseWithMarker(kCloseForGood); });

  m_tray = new QSystemTrayIcon(ProgramIcon(), this);
  m_tray->setToolTip(U("Solvane桌面备份系统"));
  m_tray->setContextMenu(m_trayMenu);
  connect(m_tray, &QSystemTrayIcon::activated, this, &TForm_Main::TrayActivated);
  // Desktops without a tray (and the test platform) get no icon; the window
  // then minimises instead of hiding.
  if (QSystemTrayIcon::isSystemTrayAvailable()) m_tray->show();
}

QAction* TForm_Main::TrayAction(const QString& name) const {
  return m_trayMenu->findChild<QAction*>(name);
}

void TForm_Main::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::DoubleClick || m_lockBusy) return;
  if (m_locked)
    m_shell.ShowLock();
  else
    RestoreFromTray();
}

void TForm_Main::SetTrayUsable(bool usable) { m_trayMenu->setEnabled(usable); }

void TForm_Main::LockAction() {
  if (m_lockBusy) return;
  m_lockBusy = true;
  SetTrayUsable(false);
  if (m_locked) {
    m_shell.ShowLock();
  } else if (AskYesNo(U("是否要对当前的窗口进行锁定？"), U("提示信息"))) {
    CloseWithMarker(kCloseToTray);
    m_trayOpen->setEnabled(false);
    m_trayLogin->setEnabled(false);
    m_trayExit->setEnabled(false);
    m_locked = true;
  }
  m_trayLock->setChecked(m_locked);
  SetTrayUsable(true);
  m_lockBusy = false;
}

void TForm_Main::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Without a tray a locked window waits minimised, and its task bar button
  // could bring it back: only the lock dialog may do that.
  if (event->type() == QEvent::WindowStateChange && m_locked && isVisible() && !isMinimized()) {
    QTimer::singleShot(0, this, [this] {
      if (!m_locked) return;
      GoToTray();
      m_shell.ShowLock();
    });
  }
}

void TForm_Main::UnlockWindow() {
  m_trayOpen->setEnabled(true);
  m_trayLogin->setEnabled(true);
  m_trayExit->setEnabled(true);
  m_locked = false;
  m_trayLock->setChecked(false);
  RestoreFromTray();
}

}  // namespace solvane
