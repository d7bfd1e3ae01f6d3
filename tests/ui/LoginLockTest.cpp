// The login dialog (three attempts, server settings) and the lock dialog,
// against a real server.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "ModalAnswers.h"
#include "UiTestSupport.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TForm_Lock.h"
#include "ui/shell/TForm_Login.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

std::optional<std::string> Saved(TMemoryRegistry& registry, const char* name) {
  return registry.ReadString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf(name),
                             TSettingsStore::ValueNameOf(name));
}

std::uint64_t ConnectAttempts(TQorTCPClientPool& pool) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < pool.Count(); ++i) sum += pool.Item(i).ConnectAttempts();
  return sum;
}

int ConnectedCount(TQorTCPClientPool& pool) {
  int n = 0;
  for (std::size_t i = 0; i < pool.Count(); ++i) n += pool.Item(i).Connected() ? 1 : 0;
  return n;
}

}  // namespace

class LoginLockTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  int m_exitRequests = 0;
  int m_unlocks = 0;

  TPublicInfo& Info() { return m_env->Info(); }

  void Type(TForm_Login& dialog, const QString& user, const QString& password) {
    dialog.findChild<QLineEdit*>("UserEdit")->setText(user);
    dialog.findChild<QLineEdit*>("PasswordEdit")->setText(password);
  }
  void ClickLogin(TForm_Login& dialog) { dialog.findChild<QPushButton*>("LoginButton")->click(); }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_exitRequests = 0;
    m_unlocks = 0;
    m_shell->SetExitHandler([this] { ++m_exitRequests; });
    m_shell->SetUnlockHandler([this] { ++m_unlocks; });
  }

  void cleanup() {
    CloseAllNotes();
    m_shell.reset();
    m_env.reset();
  }

  void showingFillsSavedUserOnlyWhenRemembered() {
    TSettings s = Info().Settings();
    s.IsSavedUserInfo = true;
    Info().SetSettings(s);
    TForm_Login remembered(*m_shell);
    QCOMPARE(remembered.findChild<QLineEdit*>("UserEdit")->text(), QString("ann"));
    QCOMPARE(remembered.findChild<QLineEdit*>("PasswordEdit")->text(), QString("secret1"));
    QCOMPARE(remembered.findChild<QLineEdit*>("PortEdit")->text(),
             QString::number(m_env->Server().Port()));
    QCOMPARE(remembered.height(), TForm_Login::kCompactHeight);
    QVERIFY(remembered.findChild<QWidget*>("ServerGroup")->isHidden());

    s.IsSavedUserInfo = false;
    Info().SetSettings(s);
    TForm_Login fresh(*m_shell);
    QVERIFY(fresh.findChild<QLineEdit*>("UserEdit")->text().isEmpty());
    QVERIFY(fresh.findChild<QLineEdit*>("PasswordEdit")->text().isEmpty());
    QCOMPARE(fresh.findChild<QLineEdit*>("PasswordEdit")->echoMode(), QLineEdit::Password);
  }

  void networkSettingsGrowAndShrink() {
    TForm_Login dialog(*m_shell);
    dialog.show();
    auto* group = dialog.findChild<QWidget*>("ServerGroup");
    auto* allow = dialog.findChild<QCheckBox*>("AllowChangeCheck");
    dialog.NetworkSettingsClicked();
    QCOMPARE(dialog.height(), TForm_Login::kGrownHeight);
    QVERIFY(group->isVisible() && allow->isVisible());
    QVERIFY(!group->isEnabled());
    allow->setChecked(true);
    QVERIFY(group->isEnabled());
    dialog.NetworkSettingsClicked();
    QCOMPARE(dialog.height(), TForm_Login::kCompactHeight);
    QVERIFY(!group->isVisible() && !allow->isVisible());
    QVERIFY(!allow->isChecked());
  }

  void successfulLoginAcceptsAndSavesUser() {
    TForm_Login dialog(*m_shell);
    dialog.show();
    Type(dialog, "ann", "secret1");
    ClickLogin(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(Info().LoggedIn());
    QCOMPARE(Saved(m_env->Registry(), "UserCode"), std::optional<std::string>("ann"));
    QCOMPARE(m_exitRequests, 0);
  }

  // The server's real certificate against a different pinned one: the
  // dialog asks with both fingerprints; yes pins the presented one and signs
  // in, no keeps the pin and uses up no attempt.
  void changedCertificateIsAskedAboutWithBothFingerprints() {
    const std::string oldPin =
        "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:"
        "DD:EE:FF";
    const auto shown = m_env->Server().Admin({"tls", "show"});
    QCOMPARE(shown.exitCode, 0);
    const auto at = shown.out.find("fingerprint: ");
    QVERIFY(at != std::string::npos);
    const std::string real = shown.out.substr(at + 13, shown.out.find('\n', at) - at - 13);
    QVERIFY(Info().SavePinnedCertificate(oldPin));

    for (bool yes : {false, true}) {
      TForm_Login dialog(*m_shell);
      dialog.show();
      Type(dialog, "ann", "secret1");
      auto seen = AnswerNextQuestion(yes);
      ClickLogin(dialog);
      QVERIFY(seen->Seen);
      QCOMPARE(seen->Caption, QString::fromUtf8("证书已更改"));
      QVERIFY2(seen->Text.contains(QString::fromStdString(oldPin)), qPrintable(seen->Text));
      QVERIFY2(seen->Text.contains(QString::fromStdString(real)), qPrintable(seen->Text));
      QCOMPARE(dialog.FailureCount(), 0);
      if (!yes) {
        QVERIFY(dialog.result() != int(QDialog::Accepted));
        QVERIFY(!Info().LoggedIn());
        QCOMPARE(Info().PinnedCertificate(), oldPin);
        QVERIFY2(OpenNoteTexts().contains(QString::fromUtf8("服务器证书已更改，连接被拒绝")),
                 qPrintable(OpenNoteTexts().join('|')));
      } else {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(Info().LoggedIn());
        QCOMPARE(Info().PinnedCertificate(), real);
      }
    }
  }

  void threeFailuresCountDownThenRequestExit() {
    TForm_Login dialog(*m_shell);
    dialog.show();
    Type(dialog, "ann", "wrong");
    const QString prefix = QString::fromUtf8("密码错误或连接超时，还剩");
    for (int left : {2, 1, 0}) {
      ClickLogin(dialog);
      const QString expected = prefix + QString::number(left) + QString::fromUtf8("机会");
      QVERIFY2(OpenNoteTexts().contains(expected), qPrintable(OpenNoteTexts().join('|')));
      bool warning = false;
      for (auto* note : OpenNotes()) warning |= note->Text() == expected && note->Kind() == 1;
      QVERIFY(warning);
    }
    QCOMPARE(dialog.FailureCount(), 3);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QTRY_COMPARE(m_exitRequests, 1);
    QVERIFY(!Info().LoggedIn());
    // A failed login keeps the typed values out of the registry.
    QCOMPARE(Saved(m_env->Registry(), "UserCode"), std::nullopt);
    QCOMPARE(Saved(m_env->Registry(), "UserPwd"), std::nullopt);
  }

  void exitButtonEndsTheProgramAtOnce_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("button") << false;
    QTest::newRow("Esc") << true;
  }
  void exitButtonEndsTheProgramAtOnce() {
    QFETCH(bool, escape);
    int ended = 0;
    m_shell->SetEndHandler([&] { ++ended; });
    TForm_Login dialog(*m_shell);
    dialog.show();
    if (escape)
      QTest::keyClick(&dialog, Qt::Key_Escape);
    else
      ClickButton(&dialog, "ExitButton");
    QCOMPARE(ended, 1);
    QVERIFY(m_shell->EndingProgram());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QTest::qWait(20);
    QCOMPARE(m_exitRequests, 0);  // no question: it ends
  }

  void unchangedServerValuesNeitherSavedNorDisconnected() {
    QVERIFY(Login(Info()));
    QCOMPARE(ConnectedCount(Info().Pool()), 8);
    const std::uint64_t attempts = ConnectAttempts(Info().Pool());
    TForm_Login dialog(*m_shell);
    dialog.show();
    Type(dialog, "ann", "wrong");
    ClickLogin(dialog);
    QCOMPARE(ConnectedCount(Info().Pool()), 8);
    QCOMPARE(ConnectAttempts(Info().Pool()), attempts);
    QCOMPARE(Saved(m_env->Registry(), "Host"), std::nullopt);
    QCOMPARE(Saved(m_env->Registry(), "TimeOut"), std::nullopt);
  }

  void changedTimeOutDisconnectsAllThenSaves() {
    QVERIFY(Login(Info()));
    QCOMPARE(ConnectedCount(Info().Pool()), 8);
    TForm_Login dialog(*m_shell);
    dialog.show();
    dialog.NetworkSettingsClicked();
    dialog.findChild<QCheckBox*>("AllowChangeCheck")->setChecked(true);
    dialog.findChild<QLineEdit*>("TimeOutEdit")->setText("7");
    Type(dialog, "ann", "wrong");
    ClickLogin(dialog);
    // Everything was disconnected; the failed login reconnected just one.
    QCOMPARE(ConnectedCount(Info().Pool()), 1);
    QCOMPARE(Info().Settings().TimeOut, 7);
    QCOMPARE(Saved(m_env->Registry(), "TimeOut"), std::optional<std::string>("7"));
    QCOMPARE(Saved(m_env->Registry(), "Host"), std::optional<std::string>("127.0.0.1"));
  }

  void serverFieldsThatAreNoNumbersFallBack() {
    TForm_Login dialog(*m_shell);
    dialog.findChild<QComboBox*>("HostCombo")->setEditText("localhost");
    dialog.findChild<QLineEdit*>("PortEdit")->setText("x");
    dialog.findChild<QLineEdit*>("TimeOutEdit")->setText("");
    Type(dialog, "ann", "secret1");
    ClickLogin(dialog);  // fails: port 8090 has no server of this test
    QCOMPARE(Info().Settings().Host, std::string("localhost"));
    QCOMPARE(Info().Settings().Port, 8090);
    QCOMPARE(Info().Settings().TimeOut, 10);
  }

  void identityTexts_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("identity");
    QTest::newRow("admin") << "admin" << QString::fromUtf8("系统管理员");
    QTest::newRow("letter case") << "Admin" << QString::fromUtf8("普通用户");
    QTest::newRow("user") << "ann" << QString::fromUtf8("普通用户");
  }
  void identityTexts() {
    QFETCH(QString, code);
    QFETCH(QString, identity);
    QCOMPARE(IdentityOf(code), identity);
  }

  void lockDialogAcceptsPasswordChangedInMemory() {
    QVERIFY(Login(Info()));
    TSettings s = Info().Settings();
    s.UserPwd = "changed9";
    Info().SetSettings(s);

    QString userText, identity, afterWrong;
    QStringList notes;
    auto seen = OnNextModal([&](QWidget* modal) {
      auto* lock = qobject_cast<TForm_Lock*>(modal);
      if (!lock) return;
      userText = lock->UserText();
      identity = lock->IdentityText();
      auto* field = lock->findChild<QLineEdit*>("PasswordEdit");
      field->setText("secret1");  // the old one no longer unlocks
      ClickButton(lock, "UnlockButton");
      notes = OpenNoteTexts();
      afterWrong = field->text();
      field->setText("changed9");
      ClickButton(lock, "UnlockButton");
    });
    m_shell->ShowLock();
    QVERIFY(seen->Seen);
    QCOMPARE(seen->Caption, QString::fromUtf8("锁定"));
    QCOMPARE(userText, QString("ann/") + QString::fromStdString(Info().UserName()));
    QCOMPARE(identity, QString::fromUtf8("普通用户"));
    QVERIFY(notes.contains(QString::fromUtf8("口令错误")));
    QVERIFY(afterWrong.isEmpty());
    QCOMPARE(m_unlocks, 1);
    QCOMPARE(m_shell->LockWindow()->result(), int(QDialog::Accepted));
  }

  void lockWindowIsCreatedOnceAndClosingKeepsLocked() {
    QVERIFY(Login(Info()));
    auto seen = OnNextModal([](QWidget* modal) { modal->close(); });
    m_shell->ShowLock();
    QVERIFY(seen->Seen);
    TForm_Lock* first = m_shell->LockWindow();
    QCOMPARE(m_unlocks, 0);
    auto again = OnNextModal([](QWidget* modal) {
      QVERIFY(modal->findChild<QLineEdit*>("PasswordEdit")->text().isEmpty());
      modal->close();
    });
    m_shell->ShowLock();
    QVERIFY(again->Seen);
    QCOMPARE(m_shell->LockWindow(), first);
    QCOMPARE(m_unlocks, 0);
  }
};

QTEST_MAIN(LoginLockTest)
#include "LoginLockTest.moc"
