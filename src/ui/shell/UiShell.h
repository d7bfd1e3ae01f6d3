#pragma once
// The window half of the shared state: what every screen needs from the
// main window (the content panel, the embedded screens, the lock and help
// windows, the exit request) beside the core's TPublicInfo.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/shell/QorWithUIDynamicForm.h"

namespace solvane {

class TPublicInfo;
class TForm_Lock;
class TForm_Help;

class TUiShell {
 public:
  explicit TUiShell(TPublicInfo& info);
  ~TUiShell();
  TUiShell(const TUiShell&) = delete;
  TUiShell& operator=(const TUiShell&) = delete;

  TPublicInfo& Info() { return m_info; }
  TQorDynamicFormList& Screens() { return m_screens; }

  // Where content screens are shown; set by the main window at its first
  // showing.
  QWidget* ContentPanel() const { return m_contentPanel; }
  void SetContentPanel(QWidget* panel) { m_contentPanel = panel; }
  QWidget* MainWindow() const { return m_mainWindow; }
  void SetMainWindow(QWidget* window) { m_mainWindow = window; }

  // What the main window does on RequestExit and Unlock; tests may set
  // their own.
  void SetExitHandler(std::function<void()> handler) { m_exitHandler = std::move(handler); }
  void SetUnlockHandler(std::function<void()> handler) { m_unlockHandler = std::move(handler); }
  void SetEndHandler(std::function<void()> handler) { m_endHandler = std::move(handler); }

  // The lock dialog, created on first use: shown modally unless it is
  // already showing, and brought to the front.
  void ShowLock();
  TForm_Lock* LockWindow() const;
  // The help popup, created on first use, placed at the mouse and showing
  // the text of topic and sub-topic.
  void ShowHelpPopup(int topic, int subTopic);
  TForm_Help* HelpPopup() const;
  // Asks the main window to close for good (exit marker). Queued: it runs
  // once the current event has been handled.
  void RequestExit();
  // Ends the lock: menu items back, the program restored from the tray.
  void Unlock();
  // Ends the program at once, without a question (the application's event
  // loops end). EndingProgram tells callers not to ask anything further.
  void EndProgram();
  bool EndingProgram() const { return m_ending; }

 private:
  TPublicInfo& m_info;
  TQorDynamicFormList m_screens;
  QPointer<QWidget> m_contentPanel;
  QPointer<QWidget> m_mainWindow;
  QPointer<TForm_Lock> m_lock;
  QPointer<TForm_Help> m_help;
  std::function<void()> m_exitHandler;
  std::function<void()> m_unlockHandler;
  std::function<void()> m_endHandler;
  bool m_exitQueued = false;
  bool m_ending = false;
  std::unique_ptr<QObject> m_context;  // receiver of queued requests
};

}  // namespace solvane
