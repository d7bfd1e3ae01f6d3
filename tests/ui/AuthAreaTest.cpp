// The authorised area against a real server: in the standard mode a
// manager sees the users he manages and nothing can be asked for; in the
// secure mode a request goes out, is approved (or rejected), shows on both
// sides and is revoked; a user without a grant has nothing to view.

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "ModalAnswers.h"
#include "UiStoredFile.h"
#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/areas/TForm_BR_AuthArea.h"
#include "ui/areas/TForm_BR_AuthArea_SendRequest.h"
#include "ui/restore/RestoreOptionsPage.h"
#include "ui/restore/TForm_BR_Restore_Browser.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QStringList Column(const QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
  return texts;
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* node, const QString& name) {
  if (!node) return nullptr;
  node->setExpanded(true);  // the browser asks the server on every expansion
  for (int i = 0; i < node->childCount(); ++i)
    if (node->child(i)->text(0) == name) return node->child(i);
  return nullptr;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A user code of ten characters: longer than the eight a padded entry of
// the request list was once cut to.
const std::string kLongCode = "accounting";

}  // namespace

class AuthAreaTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<QWidget> m_panel;  // the main window's content panel
  std::unique_ptr<TForm_BR_AuthArea> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_AuthArea& Screen() { return *m_screen; }
  TServerProcess& Server() { return m_env->Server(); }

  void SetMode(int mode) {
    QCOMPARE(Server().Admin({"auth", "mode", std::to_string(mode)}).exitCode, 0);
  }

  // Signs in as user (signing out whoever was in) and opens a fresh screen.
  void SignInAs(const std::string& user, const std::string& password) {
    m_screen.reset();
    if (Info().LoggedIn()) Logout(Info());
    TSettings s = Info().Settings();
    s.UserCode = user;
    s.UserPwd = password;
    Info().SetSettings(s);
    QVERIFY(Login(Info()));
    CloseAllNotes();
    m_screen = std::make_unique<TForm_BR_AuthArea>(*m_shell);
    m_screen->resize(900, 600);
    m_screen->show();
    m_screen->Opening();
  }

  bool Enabled(const char* button) { return Screen().Button(button)->isEnabled(); }
  void Click(const char* button) { Screen().Button(button)->click(); }

  // Opens the request dialog, checks what it offers, sends to receiver.
  QStringList SendRequest(const std::string& receiver, const QString& context) {
    QStringList offered;
    auto seen = OnNextModal([&](QWidget* w) {
      auto* dialog = qobject_cast<TForm_BR_AuthArea_SendRequest*>(w);
      QVERIFY(dialog);
      QComboBox* box = dialog->TargetBox();
      for (int i = 0; i < box->count(); ++i) offered << box->itemData(i).toString();
      box->setCurrentIndex(box->findData(QString::fromStdString(receiver)));
      dialog->ContextField()->setPlainText(context);
      dialog->CommentField()->setPlainText("for the audit");
      ClickButton(dialog, "ok");
      if (dialog->isVisible()) dialog->reject();
    });
    Click("SendRequest");
    [&] { QVERIFY(seen->Seen); }();
    return offered;
  }

 private slots:
  // Server calls handle events while they wait, as in the program.
  void initTestCase() {
    SetUiThread(std::this_thread::get_id());
    SetUiPump([] { QCoreApplication::processEvents(); });
  }
  void cleanupTestCase() {
    SetUiPump({});
    SetUiThread({});
  }

  void init() {
    SetNoteTimings({1, 60000});
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_panel = std::make_unique<QWidget>();
    m_panel->resize(900, 600);
    m_shell->SetContentPanel(m_panel.get());
  }

  // The browser "查看数据" opened; null when none.
  TForm_BR_Restore_Browser* Browser() {
    return m_shell->Screens().Screen<TForm_BR_Restore_Browser>();
  }

  void cleanup() {
    CloseAllNotes();
    m_screen.reset();
    if (m_env && m_env->Started() && Info().LoggedIn()) Logout(Info());
    m_shell.reset();
    m_panel.reset();
    m_env.reset();
  }

  void standardModeListsTheManagedUsersOnly() {
    Server().AddUser("bob", "secret2", {"--manager", "ann"});
    Server().AddUser("carl", "secret3");
    SetMode(0);
    SignInAs("ann", "secret1");
    QCOMPARE(Screen().ModeBox()->currentText(), U("标准模式"));
    QVERIFY(Screen().ModeBox()->testAttribute(Qt::WA_TransparentForMouseEvents));
    QVERIFY(!Enabled("SendRequest"));
    QVERIFY(!Screen().Pages()->isTabEnabled(1));
    QCOMPARE(Screen().Pages()->currentIndex(), 0);
    QCOMPARE(Column(Screen().ViewableList(), 0), QStringList{"bob"});
    QCOMPARE(Screen().ViewableList()->topLevelItem(0)->text(2).size(), 19);
    QCOMPARE(Screen().GrantedList()->topLevelItemCount(), 0);

    // A double click views the user's backups, read-only.
    QVERIFY(Enabled("View"));
    emit Screen().ViewableList()->itemActivated(Screen().ViewableList()->topLevelItem(0), 0);
    QVERIFY(Browser());
    QCOMPARE(Browser()->Title(), U(" 授 权 区 恢 复--目标用户:bob"));
    QVERIFY(Browser()->ReadOnly());
    QCOMPARE(Info().AuthArea().Active, true);
    QCOMPARE(Info().AuthArea().TargetUCode, std::string("bob"));

    // Later openings keep the lists until "刷新".
    QCOMPARE(Server().Admin({"user", "set", "carl", "--manager", "ann"}).exitCode, 0);
    Screen().Opening();
    QCOMPARE(Screen().ViewableList()->topLevelItemCount(), 1);
    Click("Refresh");
    QCOMPARE(Column(Screen().ViewableList(), 0), (QStringList{"bob", "carl"}));
  }

  void withoutAGrantThereIsNothingToView() {
    Server().AddUser("bob", "secret2");
    SetMode(1);
    SignInAs("ann", "secret1");
    QCOMPARE(Screen().ModeBox()->currentText(), U("安全模式"));
    QCOMPARE(Screen().ViewableList()->topLevelItemCount(), 0);
    QVERIFY2(HasNote(U("没有可以查看的用户!"), 1), qPrintable(DescribeNotes()));
    QVERIFY(!Enabled("View"));
    Click("View");
    QVERIFY(!Browser());
  }

  void secureModeRequestApproveViewRevoke() {
    Server().AddUser(kLongCode, "secret4");
    QVERIFY(StoreFile(Server(), kLongCode, "secret4", "ledger.txt", "the ledger, in full"));
    Server().AddUser("bob", "secret2");
    SetMode(1);
    SignInAs("ann", "secret1");
    QVERIFY(Enabled("SendRequest"));
    QVERIFY(Screen().Pages()->isTabEnabled(1));
    const QStringList offered = SendRequest(kLongCode, U("请让我查看\r\n第二行"));
    // Never oneself; the long code is offered and sent whole.
    QVERIFY(offered.contains(QString::fromStdString(kLongCode)) && offered.contains("bob"));
    QVERIFY(!offered.contains("ann"));
    QVERIFY2(HasNote(U("发送成功!"), 0), qPrintable(DescribeNotes()));

    SignInAs(kLongCode, "secret4");
    Screen().Pages()->setCurrentIndex(1);
    QVERIFY(!Enabled("View"));
    QCOMPARE(Column(Screen().RequestList(), 0), QStringList{"ann"});
    QCOMPARE(Screen().RequestList()->topLevelItem(0)->text(2), U("请让我查看 第二行"));
    QCOMPARE(Screen().RequestList()->topLevelItem(0)->text(4), QString("for the audit"));
    QVERIFY(Enabled("Approve") && Enabled("Reject"));
    QVERIFY(!Enabled("Revoke"));
    Click("Approve");
    QCOMPARE(Column(Screen().GrantedList(), 0), QStringList{"ann"});
    QCOMPARE(Screen().RequestList()->topLevelItemCount(), 0);

    SignInAs("ann", "secret1");
    QCOMPARE(Column(Screen().ViewableList(), 0), QStringList{QString::fromStdString(kLongCode)});
    Click("View");
    TForm_BR_Restore_Browser* browser = Browser();
    QVERIFY(browser);
    QCOMPARE(browser->ViewUser(), kLongCode);
    QVERIFY(browser->ReadOnly());
    // That user's file comes back byte for byte.
    QTreeWidgetItem* file =
        ChildNamed(ChildNamed(ChildNamed(browser->Tree(0)->topLevelItem(0), "/"), "ui-tests"),
                   "ledger.txt");
    QVERIFY(file);
    file->setCheckState(0, Qt::Checked);
    const std::filesystem::path out = std::filesystem::path(m_env->Scratch()) / "viewed";
    std::filesystem::create_directories(out);
    browser->Next();
    browser->Options()->Flat()->setChecked(true);
    browser->Options()->Folder()->setText(QString::fromStdString(out.string()));
    browser->RunRestore();
    QCOMPARE(browser->StartedTasks().size(), std::size_t(1));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(out / "ledger.txt"), std::string("the ledger, in full"),
                              20000);
    // Whom one may view already is not offered again.
    const QStringList offeredLater = SendRequest("bob", "again");
    QVERIFY(!offeredLater.contains(QString::fromStdString(kLongCode)));
    QVERIFY(offeredLater.contains("bob") && !offeredLater.contains("ann"));

    SignInAs(kLongCode, "secret4");
    Screen().Pages()->setCurrentIndex(1);
    Click("Revoke");
    QVERIFY2(HasNote(U("撤销成功!"), 0), qPrintable(DescribeNotes()));
    QCOMPARE(Screen().GrantedList()->topLevelItemCount(), 0);

    SignInAs("ann", "secret1");
    QCOMPARE(Screen().ViewableList()->topLevelItemCount(), 0);
    QVERIFY(HasNote(U("没有可以查看的用户!"), 1));
    // Without the grant the server shows nothing of that store.
    browser = TForm_BR_Restore_Browser::OpenAuthorisedView(*m_shell, kLongCode);
    QCOMPARE(ChildNamed(browser->Tree(0)->topLevelItem(0), "/"), nullptr);
  }

  void aRejectedRequestGrantsNothing() {
    Server().AddUser("bob", "secret2");
    SetMode(1);
    SignInAs("ann", "secret1");
    SendRequest("bob", "please");
    SignInAs("bob", "secret2");
    Screen().Pages()->setCurrentIndex(1);
    QCOMPARE(Column(Screen().RequestList(), 0), QStringList{"ann"});
    Click("Reject");
    QCOMPARE(Screen().RequestList()->topLevelItemCount(), 0);
    QCOMPARE(Screen().GrantedList()->topLevelItemCount(), 0);
    SignInAs("ann", "secret1");
    QCOMPARE(Screen().ViewableList()->topLevelItemCount(), 0);
  }

  // A request decided elsewhere meanwhile: the decision fails and says so.
  void aDecisionOnAStaleRequestFailsVisibly() {
    Server().AddUser("bob", "secret2");
    SetMode(1);
    SignInAs("ann", "secret1");
    SendRequest("bob", "please");
    SignInAs("bob", "secret2");
    Screen().Pages()->setCurrentIndex(1);
    QTreeWidgetItem* row = Screen().RequestList()->topLevelItem(0);
    QVERIFY(row);
    TTestClient other;
    QVERIFY(other.Connect(Server().Port()) && other.Login("bob", "secret2"));
    // The date exactly as the server sent it is what finds the request.
    auto reject = MakeRequest("TAuth.ReceiveMessage",
                              {{"UAdmin", "bob"}, {"UIPAddr", ""}, {"UMAC", ""},
                               {"Receiver", "bob"}, {"Sender", "ann"},
                               {"SendDate", row->data(0, Qt::UserRole + 1).toString().toStdString()},
                               {"IsAllowed", "0"}});
    QVERIFY(other.CallOk(reject));
    Click("Approve");
    QVERIFY2(HasNote(U("操作失败!"), 2), qPrintable(DescribeNotes()));
    Click("Refresh");
    QCOMPARE(Screen().GrantedList()->topLevelItemCount(), 0);
    QCOMPARE(Screen().RequestList()->topLevelItemCount(), 0);
  }

  void requestDialogRefusesMissingContent() {
    Server().AddUser("bob", "secret2");
    SetMode(1);
    SignInAs("ann", "secret1");
    auto seen = OnNextModal([](QWidget* w) {
      auto* dialog = qobject_cast<TForm_BR_AuthArea_SendRequest*>(w);
      ClickButton(dialog, "ok");
      QVERIFY(dialog->isVisible());
      dialog->reject();
    });
    Click("SendRequest");
    QVERIFY(seen->Seen);
    QCOMPARE(seen->Caption, U("发送请求"));
    QVERIFY2(HasNote(U("内容不能为空!"), 1), qPrintable(DescribeNotes()));
  }

  void entryTextPadsShortCodesAndKeepsLongOnesWhole_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("entry");
    QTest::newRow("short") << "bob" << "bob" << "     bob|     bob";
    QTest::newRow("chinese name, GBK width") << "u1" << U("张三") << U("      u1|    张三");
    QTest::newRow("ten characters") << "accounting" << "acc" << "accounting|     acc";
  }
  void entryTextPadsShortCodesAndKeepsLongOnesWhole() {
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, entry);
    QCOMPARE(TForm_BR_AuthArea_SendRequest::EntryText(code.toStdString(), name.toStdString()),
             entry);
  }
};

QTEST_MAIN(AuthAreaTest)
#include "AuthAreaTest.moc"
