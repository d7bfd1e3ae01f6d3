#include "ui/shell/TForm_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QSessionManager>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/MenuScreen.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ShellPictures.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/StatusPanes.h"
#include "ui/shell/TForm_BR_Main.h"
#include "ui/shell/TForm_Login.h"
#include "ui/shell/TForm_Process.h"
#include "ui/shell/TForm_ShareArea.h"
#include "ui/shell/TForm_Tool.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

constexpr int kLightsIntervalMs = 1000;
constexpr int kLeftColumnWidth = 190;

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

TForm_Main::TForm_Main(TUiShell& shell, QWidget* parent) : QMainWindow(parent), m_shell(shell) {
  setObjectName("TForm_Main");
  setWindowTitle(U("Solvane桌面备份系统管理工具 2.0.0.12"));
  setWindowIcon(ProgramIcon());
  setMinimumSize(800, 560);
  BuildLayout();
  BuildStatusBar();
  BuildTray();

  m_shell.SetMainWindow(this);
  m_shell.SetExitHandler([this] { CloseWithMarker(kCloseForGood); });
  m_shell.SetUnlockHandler([this] { UnlockWindow(); });

  connect(&m_lightsTimer, &QTimer::timeout, this, &TForm_Main::RefreshLights);
#ifndef QT_NO_SESSIONMANAGER
  connect(qApp, &QGuiApplication::commitDataRequest, this, &TForm_Main::SessionEnding,
          Qt::DirectConnection);
#endif
  connect(qApp, &QCoreApplication::aboutToQuit, this, &TForm_Main::ApplicationQuitting);
}

TForm_Main::~TForm_Main() {
  m_lightsTimer.stop();
  m_clockTimer.stop();
  m_shell.SetExitHandler({});
  m_shell.SetUnlockHandler({});
  // The screens go first, while the panels that show them still exist.
  m_shell.Screens().Clear();
  m_shell.SetContentPanel(nullptr);
  if (m_tray) m_tray->hide();
}

void TForm_Main::BuildLayout() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(new TTitlePicture(central));
  BuildToolBar();
  layout->addWidget(findChild<QToolBar*>("SectionBar"));

  auto* mainArea = new QHBoxLayout;
  mainArea->setContentsMargins(0, 0, 0, 0);
  mainArea->setSpacing(0);
  mainArea->addWidget(BuildLeftColumn());
  m_contentPanel = new QWidget(central);
  m_contentPanel->setObjectName("ContentPanel");
  m_contentPanel->setAutoFillBackground(true);
  mainArea->addWidget(m_contentPanel, 1);
  layout->addLayout(mainArea, 1);
  setCentralWidget(central);
}

void TForm_Main::BuildToolBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName("SectionBar");
  bar->setMovable(false);
  bar->setIconSize(QSize(32, 32));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  struct TSection {
    const char* text;
    TSectionIcon icon;
  };
  const TSection sections[] = {{"备份与恢复", TSectionIcon::BackupRestore},
                               {"进度", TSectionIcon::Progress},
                               {"共享区", TSectionIcon::ShareArea},
                               {"工具与帮助", TSectionIcon::Tools}};
  for (int i = 0; i < 4; ++i) {
    QAction* action = bar->addAction(SectionIcon(sections[i].icon), U(sections[i].text));
    action->setObjectName(QString("Section%1").arg(i));
    connect(action, &QAction::triggered, this, [this, i] { ShowSection(i); });
  }
}

QWidget* TForm_Main::BuildLeftColumn() {
  auto* column = new QWidget(this);
  column->setObjectName("LeftColumn");
  column->setFixedWidth(kLeftColumnWidth);
  column->setStyleSheet("#LeftColumn { background: #eaf1fa; border-right: 1px solid #b8c8dc; }");
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_menuPanel = new QWidget(column);
  m_menuPanel->setObjectName("MenuPanel");
  layout->addWidget(m_menuPanel, 1);

  auto* bottom = new QWidget(column);
  bottom->setObjectName("LeftLinks");
  auto* links = new QVBoxLayout(bottom);
  links->setContentsMargins(8, 6, 8, 10);
  auto* lock = new TLinkButton(U("锁定"), "LinkLock", bottom);
  auto* exit = new TLinkButton(U("退出系统"), "LinkExit", bottom);
  links->addWidget(lock);
  links->addWidget(exit);
  layout->addWidget(bottom);
  connect(lock, &QPushButton::clicked, this, &TForm_Main::LockAction);
  connect(exit, &QPushButton::clicked, this, [this] { CloseWithMarker(kCloseForGood); });
  return column;
}

void TForm_Main::BuildStatusBar() {
  m_scrolling = new TScrollingText(this);
  m_operator = new QLabel(this);
  m_operator->setObjectName("OperatorPane");
  m_operator->setMinimumWidth(160);
  m_clock = new QLabel(this);
  m_clock->setObjectName("ClockPane");
  m_clock->setMinimumWidth(140);
  m_lights = new TNetLights(this);
  statusBar()->addWidget(m_scrolling, 1);
  statusBar()->addWidget(m_operator);
  statusBar()->addWidget(m_clock);
  statusBar()->addWidget(m_lights);
  auto tick = [this] {
    m_clock->setText(QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"));
  };
  tick();
  connect(&m_clockTimer, &QTimer::timeout, this, tick);
  m_clockTimer.start(1000);
}

void TForm_Main::ShowSection(int index) {
  TQorDynamicFormList& screens = m_shell.Screens();
  TQorEmbeddedScreen* menu = nullptr;
  switch (index) {
    case 0:
      menu = screens.Embed<TForm_BR_Main>(m_menuPanel, false);
      break;
    case 1:
      menu = screens.Embed<TForm_Process>(m_menuPanel, false);
      break;
    case 2:
      menu = screens.Embed<TForm_ShareArea>(m_menuPanel, false);
      break;
    case 3:
      menu = screens.Embed<TForm_Tool>(m_menuPanel, false);
      break;
    default:
      return;
  }
  menu->Opening();
}

QString TForm_Main::OperatorText() const { return m_operator->text(); }
QString TForm_Main::ScrollingText() const { return m_scrolling->Text(); }

void TForm_Main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_firstShown) return;
  m_firstShown = true;
  // After the window is on screen: the login below may open a dialog.
  QTimer::singleShot(0, this, &TForm_Main::FirstShowing);
}

void TForm_Main::FirstShowing() {
  setWindowTitle(U("Solvane桌面备份系统管理工具 2.0.0.12"));
  m_scrolling->SetText(U(
      "Kestrune 出品 —— Solvane桌面备份系统：文件备份、文件夹同步、数据恢复，保护您的每一份数据"));
  m_lightsTimer.start(kLightsIntervalMs);
  RefreshLights();
  m_shell.SetContentPanel(m_contentPanel);

  TPublicInfo& info = m_shell.Info();
  const bool loggedIn = AutoLogin(info) || RunLoginDialog();
  if (loggedIn) {
    LoggedIn();
    ShowSection(0);
  } else if (!m_shell.EndingProgram()) {
    m_shell.RequestExit();
  }
  m_firstShowingDone = true;
  emit FirstShowingFinished();
}

bool TForm_Main::RunLoginDialog() {
  if (m_shell.EndingProgram()) return false;
  return ShowModalForm<TForm_Login>(m_shell);
}

void TForm_Main::LoggedIn() {
  TPublicInfo& info = m_shell.Info();
  m_loggedOut = false;
  m_operator->setText(QString::fromStdString(info.UserCode()) + "/" +
                      QString::fromStdString(info.UserName()));
  RefreshLights();
}

void TForm_Main::SwitchUser() {
  TPublicInfo& info = m_shell.Info();
  if (info.LoggedIn()) {
    // A run goes on as the user who started it, never into another store:
    // it ends before anybody else signs in.
    if (info.CurrentTask() &&
        !AskYesNo(U("当前还有任务未运行结束?\r\n\r\n确认要停止所有任务并切换用户?"), U("提示信息")))
      return;
    if (!info.StopAllTasks()) {
      ShowNote(U("任务未能及时停止，请稍后再切换用户。"), 1);
      return;
    }
  }
  if (RunLoginDialog())
    LoggedIn();
  else if (!m_shell.EndingProgram())
    m_shell.RequestExit();
}

void TForm_Main::RefreshLights() {
  TPublicInfo& info = m_shell.Info();
  m_lights->Refresh(info.Pool());
  // The tray icon moves while a task runs.
  if (m_tray && (info.CurrentTask() || m_trayFrame % 2 == 1))
    m_tray->setIcon(ProgramIcon(++m_trayFrame));
}

void TForm_Main::CloseWithMarker(int marker) {
  if (marker == kCloseToTray)
    GoToTray();
  else
    ExitConfirmed();
}

void TForm_Main::closeEvent(QCloseEvent* event) {
  if (m_closingForGood) {
    event->accept();
    return;
  }
  // The window's own close button: to the tray, never the end.
  event->ignore();
  GoToTray();
}

void TForm_Main::GoToTray() {
  if (m_tray && m_tray->isVisible())
    hide();
  else
    showMinimized();  // no tray to come back from: keep a task bar button
}

void TForm_Main::RestoreFromTray() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TForm_Main::ExitConfirmed() {
  if (m_asking || m_closingForGood) return;
  TPublicInfo& info = m_shell.Info();
  if (!info.LoggedIn()) {
    EndProgram();
    return;
  }
  QString question = U("确认要退出整个程序?");
  if (info.CurrentTask()) question.prepend(U("当前还有任务未运行结束?\r\n\r\n"));
  // Also held through the logout, whose call lets clicks through.
  m_asking = true;
  const bool yes = AskYesNo(question, U("提示信息"));
  if (yes) {
    Logout(info);
    info.SetLoggedIn(false);
    m_loggedOut = true;
  }
  m_asking = false;
  if (yes) EndProgram();
}

void TForm_Main::EndProgram() {
  m_closingForGood = true;
  m_lightsTimer.stop();
  if (m_tray) m_tray->hide();
  close();
  m_shell.EndProgram();
}

void TForm_Main::InstanceMessage(int message) {
  if (message != kInstanceMessage) return;
  if (m_locked)
    m_shell.ShowLock();
  else
    RestoreFromTray();
}

void TForm_Main::SessionEnding(QSessionManager& manager) {
#ifndef QT_NO_SESSIONMANAGER
  TPublicInfo& info = m_shell.Info();
  if (!info.LoggedIn() || m_closingForGood) return;
  if (manager.allowsInteraction()) {
    QString question = U("确认要退出整个程序?");
    if (info.CurrentTask()) question.prepend(U("当前还有任务未运行结束?\r\n\r\n"));
    const bool yes = AskYesNo(question, U("提示信息"));
    manager.release();
    if (!yes) {
      manager.cancel();
      return;
    }
  }
  Logout(info);
  info.SetLoggedIn(false);
  m_loggedOut = true;
#else
  (void)manager;
#endif
}

void TForm_Main::ApplicationQuitting() {
  // The program ends by another way than "退出" (the desktop session ends):
  // the server still hears of the logout.
  TPublicInfo& info = m_shell.Info();
  if (info.LoggedIn() && !m_loggedOut) {
    Logout(info);
    info.SetLoggedIn(false);
    m_loggedOut = true;
  }
}

}  // namespace solvane
