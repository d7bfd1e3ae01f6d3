// The password change screen against a real server: the server's check of
// the old password, the two new fields, and the password kept in memory.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "UiStoredFile.h"
#include "UiTestSupport.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/TForm_Lock.h"
#include "ui/shell/TForm_Tool_ChangePwd.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

class ChangePwdTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_Tool_ChangePwd> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_Tool_ChangePwd& Screen() { return *m_screen; }

  void Change(const QString& oldPwd, const QString& newPwd, const QString& confirmPwd) {
    Screen().OldPasswordField()->setText(oldPwd);
    Screen().NewPasswordField()->setText(newPwd);
    Screen().ConfirmPasswordField()->setText(confirmPwd);
    Screen().ChangeButton()->click();
  }
  bool ServerTakes(const char* password) {
    return CanSignIn(m_env->Server(), TUiTestEnv::kUser, password);
  }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_screen = std::make_unique<TForm_Tool_ChangePwd>(*m_shell);
  }

  void cleanup() {
    CloseAllNotes();
    m_screen.reset();
    m_shell.reset();
    m_env.reset();
  }

  void openingShowsUserAndEmptiesMaskedFields() {
    QVERIFY(Login(Info()));
    Screen().OldPasswordField()->setText("left over");
    Screen().NewPasswordField()->setText("left over");
    Screen().ConfirmPasswordField()->setText("left over");
    Screen().Opening();
    QCOMPARE(Screen().UserNameLabel()->text(), QString::fromStdString(Info().UserName()));
    QVERIFY(!Screen().UserNameLabel()->text().isEmpty());
    for (QLineEdit* field : {Screen().OldPasswordField(), Screen().NewPasswordField(),
                             Screen().ConfirmPasswordField()}) {
      QVERIFY(field->text().isEmpty());
      QCOMPARE(field->echoMode(), QLineEdit::Password);
    }
  }

  void successChangesServerAndMemoryButNotTheSavedPassword() {
    QVERIFY(Login(Info()));
    Screen().Opening();
    Change("secret1", "n3w-Pass", "n3w-Pass");
    QVERIFY2(HasNote(U("密码修改成功"), 0), qPrintable(DescribeNotes()));
    QCOMPARE(Info().Password(), std::string("n3w-Pass"));
    // The lock dialog compares with the password in memory; the saved one
    // waits for the next successful sign-in.
    const auto saved =
        m_env->Registry().ReadString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf("UserPwd"),
                                     TSettingsStore::ValueNameOf("UserPwd"));
    QVERIFY(saved != std::optional<std::string>("n3w-Pass"));
    QVERIFY(ServerTakes("n3w-Pass"));
    QVERIFY(!ServerTakes("secret1"));

    // Signing in again uses the new password and saves it.
    Logout(Info());
    QVERIFY(Login(Info()));
    QCOMPARE(
        m_env->Registry().ReadString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf("UserPwd"),
                                     TSettingsStore::ValueNameOf("UserPwd")),
        std::optional<std::string>("n3w-Pass"));
  }

  void lockDialogTakesTheNewPassword() {
    int unlocks = 0;
    m_shell->SetUnlockHandler([&] { ++unlocks; });
    QVERIFY(Login(Info()));
    Screen().Opening();
    Change("secret1", "n3w-Pass", "n3w-Pass");
    QVERIFY(HasNote(U("密码修改成功"), 0));

    bool oldOneUnlocked = true;
    auto seen = OnNextModal([&](QWidget* modal) {
      auto* field = modal->findChild<QLineEdit*>("PasswordEdit");
      field->setText("secret1");
      ClickButton(modal, "UnlockButton");
      oldOneUnlocked = unlocks > 0;
      field->setText("n3w-Pass");
      ClickButton(modal, "UnlockButton");
    });
    m_shell->ShowLock();
    QVERIFY(seen->Seen);
    QVERIFY(!oldOneUnlocked);
    QCOMPARE(unlocks, 1);
    QCOMPARE(m_shell->LockWindow()->result(), int(QDialog::Accepted));
  }

  void differingNewPasswordsAreNotSent() {
    QVERIFY(Login(Info()));
    Screen().Opening();
    Change("secret1", "first", "First");
    QVERIFY2(HasNote(U("输入的密码不一致"), 2), qPrintable(DescribeNotes()));
    QVERIFY(Screen().NewPasswordField()->text().isEmpty());
    QVERIFY(Screen().ConfirmPasswordField()->text().isEmpty());
    QCOMPARE(Screen().OldPasswordField()->text(), QString("secret1"));
    QCOMPARE(Info().Password(), std::string("secret1"));
    QVERIFY(ServerTakes("secret1"));
  }

  void wrongOldPasswordFails() {
    QVERIFY(Login(Info()));
    Screen().Opening();
    Change("not-it", "n3w-Pass", "n3w-Pass");
    QVERIFY2(HasNote(U("密码修改失败"), 2), qPrintable(DescribeNotes()));
    QVERIFY(!HasNote(U("密码修改成功"), 0));
    QCOMPARE(Info().Password(), std::string("secret1"));
    QVERIFY(ServerTakes("secret1"));
  }

  void notSignedInNeverConnects() {
    Screen().Opening();
    Change("secret1", "n3w-Pass", "n3w-Pass");
    QVERIFY2(HasNote(U("网络连接不存在或者未连接上服务器!"), 2), qPrintable(DescribeNotes()));
    for (std::size_t i = 0; i < Info().Pool().Count(); ++i)
      QCOMPARE(Info().Pool().Item(i).ConnectAttempts(), std::uint64_t(0));
    QCOMPARE(Info().Password(), std::string("secret1"));
    QVERIFY(ServerTakes("secret1"));
  }
};

QTEST_MAIN(ChangePwdTest)
#include "ChangePwdTest.moc"
