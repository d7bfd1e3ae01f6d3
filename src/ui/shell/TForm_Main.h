#pragma once
// The main window: title picture, tool bar of four sections, the section's
// menu and the content panel, status bar, tray icon. Owns the start-up
// login, the window lock and the exit confirmation.

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSessionManager;

namespace solvane {

class TUiShell;
class TScrollingText;
class TNetLights;

class TForm_Main : public QMainWindow {
  Q_OBJECT
 public:
  // The two kinds of close request.
  static constexpr int kCloseToTray = 0;
  static constexpr int kCloseForGood = 1;

  explicit TForm_Main(TUiShell& shell, QWidget* parent = nullptr);
  ~TForm_Main() override;

  // The close message: marker 0 goes to the tray, any other value asks
  // whether to end the program.
  void CloseWithMarker(int marker);
  // A message from a second instance (2833: show yourself).
  void InstanceMessage(int message);
  // "锁定" / "锁定保护".
  void LockAction();
  // From the lock dialog.
  void UnlockWindow();
  // "登录/切换用户": a login that does not succeed ends the program (after
  // the exit question when someone is logged in).
  void SwitchUser();
  // Restores the window from the tray or its minimised state.
  void RestoreFromTray();

  bool Locked() const { return m_locked; }
  bool FirstShowingDone() const { return m_firstShowingDone; }
  QWidget* MenuPanel() const { return m_menuPanel; }
  QWidget* ContentPanel() const { return m_contentPanel; }
  TNetLights* Lights() const { return m_lights; }
  QString OperatorText() const;
  QString ScrollingText() const;
  QMenu* TrayMenu() const { return m_trayMenu; }
  // The tray menu's items, by their objectName ("TrayOpen", "TrayLogin",
  // "TrayLock", "TrayExit").
  QAction* TrayAction(const QString& name) const;
  // Sections of the tool bar, 0 to 3 in order.
  void ShowSection(int index);

 signals:
  // The first showing (login included) has finished.
  void FirstShowingFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  void BuildToolBar();
  void BuildStatusBar();
  void BuildTray();
  QWidget* BuildLeftColumn();
  void FirstShowing();
  // The login dialog; true on a successful login.
  bool RunLoginDialog();
  void LoggedIn();
  void ExitConfirmed();
  void EndProgram();
  void GoToTray();
  void RefreshLights();
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);
  void SetTrayUsable(bool usable);
  void SessionEnding(QSessionManager& manager);
  void ApplicationQuitting();

  TUiShell& m_shell;
  bool m_firstShown = false;
  bool m_firstShowingDone = false;
  bool m_locked = false;
  bool m_lockBusy = false;
  bool m_asking = false;  // the exit question (or the logout after it) runs
  bool m_closingForGood = false;
  bool m_loggedOut = false;

  QWidget* m_menuPanel = nullptr;
  QWidget* m_contentPanel = nullptr;
  TScrollingText* m_scrolling = nullptr;
  QLabel* m_operator = nullptr;
  QLabel* m_clock = nullptr;
  TNetLights* m_lights = nullptr;
  QTimer m_lightsTimer;
  QTimer m_clockTimer;
  int m_trayFrame = 0;

  QSystemTrayIcon* m_tray = nullptr;
  QMenu* m_trayMenu = nullptr;
  QAction* m_trayOpen = nullptr;
  QAction* m_trayLogin = nullptr;
  QAction* m_trayLock = nullptr;
  QAction* m_trayExit = nullptr;
};

}  // namespace solvane
