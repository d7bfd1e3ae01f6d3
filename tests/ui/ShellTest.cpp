// The main window against a real server: first showing with its login,
// embedding, close requests, exit question and logout, lock and unlock, the
// second-instance message, the network lights; and the single-instance
// socket.

#include <QCheckBox>
#include <QDateEdit>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "ModalAnswers.h"
#include "UiTestSupport.h"
#include "engine/TaskEngine.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/TForm_BR_FileBackup.h"
#include "ui/backup/TForm_BR_FileSync.h"
#include "ui/backup/TForm_BR_TaskList.h"
#include "ui/backup/TForm_BR_Process.h"
#include "ui/backup/TForm_BR_TaskReport.h"
#include "ui/areas/TForm_BR_AuthArea.h"
#include "ui/areas/TForm_BR_ShareArea.h"
#include "ui/backup/TForm_BR_MCBackup.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/StatusPanes.h"
#include "ui/shell/TForm_BR_Main.h"
#include "ui/shell/TForm_Help.h"
#include "ui/shell/TForm_Login.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/TForm_Process.h"
#include "ui/shell/TForm_Tool_ChangePwd.h"
#include "ui/shell/TForm_Tool_Option.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

std::uint64_t ConnectAttempts(TQorTCPClientPool& pool) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < pool.Count(); ++i) sum += pool.Item(i).ConnectAttempts();
  return sum;
}

DateTime LocalAt(int year, int month, int day, int hour) {
  return *FromLocalDateTime(TLocalDateTime{year, month, day, hour, 0, 0, 0});
}

// The screen in front of a panel.
QWidget* Front(QWidget* panel) {
  for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isVisible()) return child;
  return nullptr;
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_Main> m_window;
  int m_ended = 0;

  TPublicInfo& Info() { return m_env->Info(); }

  // The main window shown; with remember set, AutoLogin signs in.
  void StartMain(bool remember) {
    TSettings s = Info().Settings();
    s.IsSavedUserInfo = remember;
    Info().SetSettings(s);
    m_window = std::make_unique<TForm_Main>(*m_shell);
    m_window->show();
  }
  bool WaitFirstShowing() {
    return QTest::qWaitFor([this] { return m_window->FirstShowingDone(); }, 15000);
  }
  void ClickExitLink() { m_window->findChild<QPushButton*>("LinkExit")->click(); }
  bool WindowAway() const { return !m_window->isVisible() || m_window->isMinimized(); }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_ended = 0;
    m_shell->SetEndHandler([this] { ++m_ended; });
  }

  void cleanup() {
    CloseAllNotes();
    m_window.reset();
    m_shell.reset();
    m_env.reset();
  }

  void weekRange_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::newRow("wednesday") << 9 << "2026-12-07 00:00:00"
                               << "2026-12-09 23:59:59";
    QTest::newRow("monday") << 7 << "2026-12-07 00:00:00"
                            << "2026-12-07 23:59:59";
    QTest::newRow("sunday") << 13 << "2026-12-07 00:00:00"
                            << "2026-12-13 23:59:59";
    QTest::newRow("month before") << 2 << "2026-11-30 00:00:00"
                                  << "2026-12-02 23:59:59";
  }
  void weekRange() {
    QFETCH(int, day);
    QFETCH(QString, start);
    QFETCH(QString, end);
    const auto [first, last] = CurrentWeekRange(LocalAt(2026, 12, day, 10));
    QCOMPARE(QString::fromStdString(first), start);
    QCOMPARE(QString::fromStdString(last), end);
  }

  void embeddingCreatesEachScreenOnce() {
    QWidget panel;
    TQorDynamicFormList& screens = m_shell->Screens();
    QCOMPARE(TQorDynamicFormList::IndexOfScreen<TForm_BR_FileSync>(&panel), -1);
    auto* backup = screens.Embed<TForm_BR_FileBackup>(&panel, false);
    auto* sync = screens.Embed<TForm_BR_FileSync>(&panel, false);
    QVERIFY(TQorDynamicFormList::IndexOfScreen<TForm_BR_FileSync>(&panel) >= 0);
    QCOMPARE(screens.Embed<TForm_BR_FileBackup>(&panel, false), backup);
    QCOMPARE(screens.Count(), 2);
    QCOMPARE(screens.Screen<TForm_BR_FileSync>(), sync);
    QVERIFY(backup->RunNowButton() && sync->SaveAsTaskButton());
  }

  void transientScreenIsFreedWhenAnotherShows() {
    QWidget panel;
    TQorDynamicFormList& screens = m_shell->Screens();
    QPointer<TForm_BR_TaskList> transient = screens.Embed<TForm_BR_TaskList>(&panel, true);
    screens.Embed<TForm_BR_FileBackup>(&panel, false);
    QCOMPARE(screens.Count(), 1);
    QTRY_VERIFY(transient.isNull());
    // The monitor is found by name before it was ever shown, and only once.
    QWidget* watch = screens.EmbedByName("TaskWatch", &panel, false);
    QVERIFY(dynamic_cast<TForm_BR_Process*>(watch));
    QCOMPARE(screens.Embed<TForm_BR_Process>(&panel, false), watch);
    QCOMPARE(screens.EmbedByName("NoSuchScreen", &panel, false), nullptr);
  }

  void helpPopupIsCreatedOnceWithItsTopic() {
    m_shell->ShowHelpPopup(1, 100);
    TForm_Help* popup = m_shell->HelpPopup();
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->Title(), QString::fromUtf8("文件备份"));
    m_shell->ShowHelpPopup(2, 300);
    QCOMPARE(m_shell->HelpPopup(), popup);
    QCOMPARE(popup->Title(), QString::fromUtf8("授权数据区"));
  }

  void secondInstanceSignalsTheFirst() {
    const QString name =
        QString::fromUtf8("Solvane测试实例-%1").arg(QCoreApplication::applicationPid());
    TSingleInstance first(name);
    QSignalSpy received(&first, &TSingleInstance::MessageReceived);
    QVERIFY(!first.SignalOrListen());
    QVERIFY(first.Listening());
    QVERIFY(first.ServerPath().startsWith(QDir::tempPath()));
    TSingleInstance second(name);
    QVERIFY(second.SignalOrListen());
    QVERIFY(!second.Listening());
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toInt(), 2833);
  }

  void programStartedAgainSignalsAndEnds() {
    // This test plays the running instance; the built program is the second.
    const QString program = QCoreApplication::applicationDirPath() + "/../../src/ui/solvane";
    if (!QFile::exists(program)) QSKIP("the solvane program is not built");
    TSingleInstance running;
    QSignalSpy received(&running, &TSingleInstance::MessageReceived);
    QVERIFY(!running.SignalOrListen());
    QProcess second;
    second.start(program, {});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toInt(), kInstanceMessage);
  }

  void staleSocketFileDoesNotBlockStart() {
    const QString name = QString("solvane-stale-%1").arg(QCoreApplication::applicationPid());
    QFile stale(QDir(QDir::tempPath()).filePath(name));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    TSingleInstance instance(name);
    QVERIFY(!instance.SignalOrListen());
    QVERIFY(instance.Listening());
  }

  void firstShowingSignsInAndShowsBackupSection() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    QVERIFY(Info().LoggedIn());
    QCOMPARE(m_window->windowTitle(), QString::fromUtf8("Solvane桌面备份系统管理工具 2.0.0.12"));
    QVERIFY(m_window->ScrollingText().contains("Kestrune"));
    QCOMPARE(m_window->OperatorText(), QString("ann/") + QString::fromStdString(Info().UserName()));
    QCOMPARE(m_shell->ContentPanel(), m_window->ContentPanel());
    QVERIFY(qobject_cast<TForm_BR_Main*>(Front(m_window->MenuPanel())));
    QVERIFY(dynamic_cast<TForm_BR_FileBackup*>(Front(m_window->ContentPanel())));
    auto* mail = m_window->findChild<QPushButton*>("LinkMailBackup");
    // The only way to make mail tasks: shown and usable.
    QVERIFY(mail && !mail->isHidden() && mail->isEnabled());
    mail->click();
    QVERIFY(dynamic_cast<TForm_BR_MCBackup*>(Front(m_window->ContentPanel())));
    m_window->findChild<QPushButton*>("LinkFileBackup")->click();
    // Every connection is connected and, once the start-up calls are done, idle.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          for (int i = 0; i < TNetLights::kCount; ++i)
            if (m_window->Lights()->Light(i) != TNetLight::Idle) return false;
          return true;
        }(),
        5000);
  }

  // The lights tell the truth every second: grey while the server is away,
  // green again once it answers, without anybody signing in again.
  void lightsFollowTheServerAwayAndBack() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    Info().Pool().SetReconnectBackoff(std::chrono::milliseconds(200), std::chrono::seconds(1));
    auto all = [&](TNetLight wanted) {
      for (int i = 0; i < TNetLights::kCount; ++i)
        if (m_window->Lights()->Light(i) != wanted) return false;
      return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(all(TNetLight::Idle), 5000);
    const int port = m_env->Server().Port();
    m_env->Server().Stop();
    QTRY_VERIFY_WITH_TIMEOUT(all(TNetLight::NotConnected), 5000);
    QVERIFY(m_env->Server().StartOnPort(port));
    QTRY_VERIFY_WITH_TIMEOUT(all(TNetLight::Idle), 10000);
    QVERIFY(Info().LoggedIn());
  }

  void menuLinksEmbedOnceAndTaskReportGetsItsRange() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    const int count = m_shell->Screens().Count();
    auto* sync = m_window->findChild<QPushButton*>("LinkFileSync");
    sync->click();
    QWidget* shown = Front(m_window->ContentPanel());
    m_window->findChild<QPushButton*>("LinkFileBackup")->click();
    sync->click();
    QCOMPARE(Front(m_window->ContentPanel()), shown);
    QCOMPARE(m_shell->Screens().Count(), count + 1);

    m_window->ShowSection(1);
    m_window->findChild<QPushButton*>("LinkTaskReport")->click();
    const auto [start, end] = CurrentWeekRange(Info().Now());
    QCOMPARE(Info().SharedParam("TaskReport_StartDate"), start);
    QCOMPARE(Info().SharedParam("TaskReport_EndDate"), end);
    auto* report = dynamic_cast<TForm_BR_TaskReport*>(Front(m_window->ContentPanel()));
    QVERIFY(report);
    QCOMPARE(report->StartDate()->date().toString("yyyy-MM-dd"),
             QString::fromStdString(start.substr(0, 10)));
  }

  void shareSectionOpensTheShareAndAuthorisedAreas() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    m_window->ShowSection(2);
    auto* share = dynamic_cast<TForm_BR_ShareArea*>(Front(m_window->ContentPanel()));
    QVERIFY(share);
    // Its opening loaded the folder tree.
    QCOMPARE(share->FolderTree()->topLevelItemCount(), 1);
    m_window->findChild<QPushButton*>("LinkAuthArea")->click();
    auto* auth = dynamic_cast<TForm_BR_AuthArea*>(Front(m_window->ContentPanel()));
    QVERIFY(auth);
    QCOMPARE(auth->ModeBox()->currentText(), QString::fromUtf8("标准模式"));
    m_window->findChild<QPushButton*>("LinkShareArea")->click();
    QCOMPARE(Front(m_window->ContentPanel()), share);
  }

  void toolSectionOpensItsScreensAndANewPasswordUnlocks() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    m_window->ShowSection(3);
    auto* options = dynamic_cast<TForm_Tool_Option*>(Front(m_window->ContentPanel()));
    QVERIFY(options);
    QVERIFY(options->SaveUserBox()->isChecked());  // its opening ran

    m_window->findChild<QPushButton*>("LinkChangePwd")->click();
    auto* change = dynamic_cast<TForm_Tool_ChangePwd*>(Front(m_window->ContentPanel()));
    QVERIFY(change);
    change->OldPasswordField()->setText("secret1");
    change->NewPasswordField()->setText("fresh42");
    change->ConfirmPasswordField()->setText("fresh42");
    change->ChangeButton()->click();
    QCOMPARE(Info().Password(), std::string("fresh42"));

    auto yes = AnswerNextQuestion(true);
    m_window->LockAction();
    QVERIFY(yes->Seen && m_window->Locked());
    auto lock = OnNextModal([](QWidget* modal) {
      modal->findChild<QLineEdit*>("PasswordEdit")->setText("fresh42");
      ClickButton(modal, "UnlockButton");
    });
    m_window->TrayAction("TrayLock")->trigger();
    QVERIFY(lock->Seen);
    QVERIFY(!m_window->Locked());
  }

  void closeButtonGoesToTrayNotToTheEnd() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    QVERIFY(!m_window->close());
    QVERIFY(WindowAway());
    QTest::qWait(50);
    QCOMPARE(m_ended, 0);
    QVERIFY(Info().LoggedIn());
  }

  void exitQuestionWithoutTask() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    auto no = AnswerNextQuestion(false);
    ClickExitLink();
    QVERIFY(no->Seen);
    QCOMPARE(no->Caption, QString::fromUtf8("提示信息"));
    QCOMPARE(no->Text, QString::fromUtf8("确认要退出整个程序?"));
    QCOMPARE(m_ended, 0);
    QVERIFY(Info().LoggedIn());
    QVERIFY(!Info().Pool().Token().empty());

    auto yes = AnswerNextQuestion(true);
    ClickExitLink();
    QVERIFY(yes->Seen);
    QCOMPARE(m_ended, 1);
    QVERIFY(!Info().LoggedIn());
    QVERIFY(Info().Pool().Token().empty());  // logged out
  }

  void exitQuestionWhileTaskRuns() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    Info().Engine().SetEngineActive(false);  // the dispatcher leaves the run alone
    auto task = std::make_shared<TTaskObject_FileBackup_UP>("ann");
    Info().Engine().BeginRun(task);
    auto no = AnswerNextQuestion(false);
    m_window->TrayAction("TrayExit")->trigger();
    QVERIFY(no->Seen);
    QCOMPARE(no->Text, QString::fromUtf8("当前还有任务未运行结束?\r\n\r\n确认要退出整个程序?"));
    QCOMPARE(m_ended, 0);
    QCOMPARE(Info().CurrentTask(), TTaskObjectPtr(task));
    QVERIFY(Info().LoggedIn());
    Info().Engine().ClearCurrentTask();
  }

  void cancelledLoginEndsWithoutQuestionOrLogout() {
    StartMain(false);
    auto login = OnNextModal([](QWidget* modal) {
      QVERIFY(qobject_cast<TForm_Login*>(modal));
      modal->close();
    });
    QVERIFY(WaitFirstShowing());
    QVERIFY(login->Seen);
    auto question = AnswerNextQuestion(false);
    QTRY_COMPARE(m_ended, 1);
    QTest::qWait(100);
    QVERIFY(!question->Seen);
    QCOMPARE(ConnectAttempts(Info().Pool()), 0u);  // no logout went out
  }

  void cancelledSwitchUserAsksTheExitQuestion() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    std::shared_ptr<TModalSeen> question;
    auto login = OnNextModal([&](QWidget* modal) {
      question = AnswerNextQuestion(false);
      modal->close();
    });
    m_window->TrayAction("TrayLogin")->trigger();
    QVERIFY(login->Seen);
    QTRY_VERIFY(question && question->Seen);
    QCOMPARE(question->Text, QString::fromUtf8("确认要退出整个程序?"));
    QCOMPARE(m_ended, 0);
  }

  void lockThenSecondInstanceShowsLockDialog() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    auto yes = AnswerNextQuestion(true);
    m_window->findChild<QPushButton*>("LinkLock")->click();
    QCOMPARE(yes->Text, QString::fromUtf8("是否要对当前的窗口进行锁定？"));
    QVERIFY(m_window->Locked());
    QVERIFY(WindowAway());
    QVERIFY(m_window->TrayAction("TrayLock")->isChecked());
    for (const char* name : {"TrayOpen", "TrayLogin", "TrayExit"})
      QVERIFY(!m_window->TrayAction(name)->isEnabled());

    auto lock = OnNextModal([](QWidget* modal) {
      modal->findChild<QLineEdit*>("PasswordEdit")->setText("secret1");
      ClickButton(modal, "UnlockButton");
    });
    m_window->InstanceMessage(kInstanceMessage);
    QVERIFY(lock->Seen);
    QCOMPARE(lock->Caption, QString::fromUtf8("锁定"));
    QVERIFY(!m_window->Locked());
    QVERIFY(!m_window->TrayAction("TrayLock")->isChecked());
    for (const char* name : {"TrayOpen", "TrayLogin", "TrayExit"})
      QVERIFY(m_window->TrayAction(name)->isEnabled());
    QVERIFY(m_window->isVisible() && !m_window->isMinimized());
  }

  void lockedWindowCannotBeRestoredAroundTheLock() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    auto yes = AnswerNextQuestion(true);
    m_window->LockAction();
    QVERIFY(yes->Seen && m_window->Locked());
    auto lock = OnNextModal([](QWidget* modal) { modal->close(); });
    m_window->showNormal();  // e.g. its task bar button
    QTRY_VERIFY(lock->Seen);
    QCOMPARE(lock->Caption, QString::fromUtf8("锁定"));
    QVERIFY(m_window->Locked());
    QTRY_VERIFY(WindowAway());
  }

  void secondInstanceBringsUnlockedWindowBack() {
    StartMain(true);
    QVERIFY(WaitFirstShowing());
    m_window->CloseWithMarker(TForm_Main::kCloseToTray);
    QVERIFY(WindowAway());
    m_window->InstanceMessage(kInstanceMessage);
    QVERIFY(m_window->isVisible() && !m_window->isMinimized());
  }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
