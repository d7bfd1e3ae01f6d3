// The share area against a real server: the folder tree and who may change
// what, protected folders opened only with the right password (checked by
// the server, which never hands a password out), the folder dialog keeping
// or removing a password, deletions that ask first, and uploads and
// downloads that run as share tasks in the engine.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <sstream>

#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/ApiCall.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/areas/TForm_BR_ShareArea.h"
#include "ui/areas/TForm_BR_ShareArea_FolderInfo.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs action and answers every modal dialog shown meanwhile with answer;
// how many there were. Nothing is left watching afterwards.
int Answering(const std::function<void()>& action, const std::function<void(QWidget*)>& answer) {
  int shown = 0;
  QPointer<QWidget> last;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == last) return;
    last = modal;
    ++shown;
    answer(modal);
  });
  watch.start(10);
  action();
  return shown;
}

void TypeAndConfirm(QWidget* box, const QString& text) {
  if (auto* edit = box->findChild<QLineEdit*>("edit")) edit->setText(text);
  ClickButton(box, "ok");
}

void Dismiss(QWidget* modal) {
  if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
}

// The texts of a list's rows in one column.
QStringList Column(const QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
  return texts;
}

}  // namespace

class ShareAreaTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_BR_ShareArea> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_ShareArea& Screen() { return *m_screen; }
  TServerProcess& Server() { return m_env->Server(); }

  // A share folder made by the administrator; its ID.
  std::int64_t AddFolder(const std::string& name, const std::string& owner, bool readOnly,
                         const std::string& password = {}, std::int64_t parent = 0) {
    std::vector<std::string> args = {"share",      "add", name, "--owner", owner, "--read-only",
                                     readOnly ? "1" : "0", "--parent", std::to_string(parent)};
    if (!password.empty()) args.insert(args.end(), {"--password", password});
    const auto r = Server().Admin(args);
    if (r.exitCode != 0) qWarning("share add: %s", r.err.c_str());
    const auto at = r.out.rfind(' ');
    return at == std::string::npos ? -1 : std::stoll(r.out.substr(at + 1));
  }

  // Signs the shared state in as user (after signing out whoever was in)
  // with a fresh screen, opened.
  void SignInAs(const std::string& user, const std::string& password) {
    m_screen.reset();
    if (Info().LoggedIn()) Logout(Info());
    TSettings s = Info().Settings();
    s.UserCode = user;
    s.UserPwd = password;
    Info().SetSettings(s);
    QVERIFY(Login(Info()));
    m_screen = std::make_unique<TForm_BR_ShareArea>(*m_shell);
    m_screen->resize(900, 600);
    m_screen->show();
    m_screen->Opening();
  }

  void Select(std::int64_t folderId) {
    QTreeWidgetItem* node = Screen().FindNode(folderId);
    QVERIFY(node);
    Screen().FolderTree()->setCurrentItem(node);
  }
  bool Enabled(const char* button) { return Screen().Button(button)->isEnabled(); }
  void Click(const char* button) { Screen().Button(button)->click(); }
  bool OnFilePage() { return Screen().Pages()->currentIndex() == 1; }

  // Opens the folder, answering the password box (when one comes) with
  // password.
  int OpenWith(std::int64_t folderId, const QString& password) {
    Select(folderId);
    return Answering([this] { Click("OpenFolder"); },
                     [password](QWidget* box) { TypeAndConfirm(box, password); });
  }

  // The server's view of a folder for user/password: listing it with the
  // given password works.
  bool UserOpens(const std::string& user, const std::string& password, std::int64_t folderId,
                 const std::string& folderPassword) {
    TTestClient client;
    if (!client.Connect(Server().Port()) || !client.Login(user, password)) return false;
    auto request = MakeRequest("TShareFolder.Select", {{"FolderID", std::to_string(folderId)},
                                                       {"AccessPwd", folderPassword}});
    return client.CallOk(request);
  }

  // Runs the folder dialog from button with fill, then "确定".
  void RunFolderDialog(const char* button,
                       const std::function<void(TForm_BR_ShareArea_FolderInfo*)>& fill) {
    auto seen = OnNextModal([fill](QWidget* w) {
      auto* dialog = qobject_cast<TForm_BR_ShareArea_FolderInfo*>(w);
      QVERIFY(dialog);
      fill(dialog);
      ClickButton(dialog, "ok");
      // A refused save keeps the dialog: close it so the test goes on.
      if (dialog->isVisible()) dialog->reject();
    });
    Click(button);
    QVERIFY(seen->Seen);
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
    Server().AddUser("bob", "secret2");
    m_shell = std::make_unique<TUiShell>(Info());
  }

  void cleanup() {
    CloseAllNotes();
    m_screen.reset();
    if (m_env && m_env->Started() && Info().LoggedIn()) Logout(Info());
    m_shell.reset();
    m_env.reset();
  }

  void treeShowsMarksAndOnlyOwnersMayChangeFolders() {
    const auto bobs = AddFolder("bob-docs", "bob", true, "pw-bob");
    const auto anns = AddFolder("ann-open", "ann", false);
    const auto annsChild = AddFolder("ann-child", "ann", false, {}, anns);
    SignInAs("ann", "secret1");

    QTreeWidgetItem* root = Screen().FolderTree()->topLevelItem(0);
    QCOMPARE(root->text(0), U("公共区文件夹"));
    QCOMPARE(TForm_BR_ShareArea::NodeValue(root), TForm_BR_ShareArea::kRootValue);
    QCOMPARE(Screen().FolderTree()->currentItem(), root);
    QVERIFY(root->isExpanded());
    QTreeWidgetItem* bob = Screen().FindNode(bobs);
    QCOMPARE(bob->parent(), root);
    QCOMPARE((QStringList{bob->text(0), bob->text(1), bob->text(2), bob->text(3)}),
             (QStringList{"bob-docs", U("√"), U("√"), "bob"}));
    QCOMPARE(Screen().FindNode(annsChild)->parent(), Screen().FindNode(anns));
    QCOMPARE(Screen().FindNode(anns)->text(2), QString());
    QCOMPARE(Screen().FindNodeOrRoot(9999), root);
    QCOMPARE(Screen().FindNode(9999), nullptr);
    // The client never holds a password, not even in a node's data.
    for (QTreeWidgetItemIterator it(Screen().FolderTree()); *it; ++it)
      for (int role : {int(Qt::UserRole), Qt::UserRole + 1, int(Qt::ToolTipRole)})
        QVERIFY(!(*it)->data(0, role).toString().contains("pw-bob"));

    struct TCase {
      QTreeWidgetItem* node;
      bool newFolder, change;
    };
    for (const TCase& c : {TCase{root, true, false}, TCase{bob, false, false},
                           TCase{Screen().FindNode(anns), true, true}}) {
      Screen().FolderTree()->setCurrentItem(c.node);
      QCOMPARE(Enabled("NewFolder"), c.newFolder);
      QCOMPARE(Enabled("EditFolder"), c.change);
      QCOMPARE(Enabled("DeleteFolder"), c.change);
    }
    QVERIFY(Screen().Button("NewFolder")->isVisible());
    QVERIFY(!Screen().Button("Upload")->isVisible());
    QVERIFY(!Enabled("Back"));
  }

  void protectedFolderOpensOnlyWithItsPassword_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("note");
    QTest::newRow("empty answer") << QStringList{""} << false << QString();
    QTest::newRow("wrong") << QStringList{"nope"} << false << U("密码错误,无法访问此文件夹!");
    QTest::newRow("wrong, then right") << QStringList{"nope", "pw-bob"} << true << QString();
    QTest::newRow("too many tries")
        << QStringList{"a", "b", "c", "d", "e", "pw-bob"} << false
        << U("密码错误次数过多,请稍后再试!");
  }
  void protectedFolderOpensOnlyWithItsPassword() {
    QFETCH(QStringList, answers);
    QFETCH(bool, opened);
    QFETCH(QString, note);
    const auto bobs = AddFolder("bob-docs", "bob", true, "pw-bob");
    SignInAs("ann", "secret1");
    for (const QString& answer : answers) {
      CloseAllNotes();
      QCOMPARE(OpenWith(bobs, answer), 1);
    }
    QCOMPARE(OnFilePage(), opened);
    if (note.isEmpty())
      QVERIFY2(OpenNoteTexts().isEmpty(), qPrintable(DescribeNotes()));
    else
      QVERIFY2(HasNote(note, 1), qPrintable(DescribeNotes()));
    if (opened) {
      QCOMPARE(Screen().OpenedFolder(), bobs);
      QVERIFY(Enabled("Back"));
      QVERIFY(!Enabled("OpenFolder"));
      // Unlocked for the session: a refresh asks nothing.
      QCOMPARE(Answering([this] { Click("Refresh"); }, Dismiss), 0);
      QVERIFY(OnFilePage());
    }
  }

  void ownerOpensHisProtectedFolderWithoutPassword() {
    const auto anns = AddFolder("ann-secret", "ann", false, "pw-ann");
    SignInAs("ann", "secret1");
    QCOMPARE(OpenWith(anns, "wrong"), 0);
    QVERIFY(OnFilePage());
  }

  void fileButtonsFollowReadOnlyAndOwner_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("writable");
    QTest::newRow("another's read-only") << "bob" << true << false;
    QTest::newRow("another's writable") << "bob" << false << true;
    QTest::newRow("own read-only") << "ann" << true << true;
  }
  void fileButtonsFollowReadOnlyAndOwner() {
    QFETCH(QString, owner);
    QFETCH(bool, readOnly);
    QFETCH(bool, writable);
    const auto id = AddFolder("f", owner.toStdString(), readOnly);
    SignInAs("ann", "secret1");
    Select(id);
    Click("OpenFolder");
    QVERIFY(OnFilePage());
    QCOMPARE(Enabled("Upload"), writable);
    QCOMPARE(Enabled("DeleteFile"), writable);
    QVERIFY(Screen().Button("Upload")->isVisible());
    QVERIFY(!Screen().Button("NewFolder")->isVisible());
    Click("Back");
    QVERIFY(!OnFilePage());
  }

  void newFolderDialogChecksAndCreatesAProtectedFolder() {
    SignInAs("ann", "secret1");
    // Refusals keep the dialog open with a warning.
    RunFolderDialog("NewFolder", [](TForm_BR_ShareArea_FolderInfo* d) {
      QCOMPARE(d->windowTitle(), U("共享文件夹--新增"));
      QCOMPARE(d->OwnerField()->text(), QString("ann"));
      QVERIFY(d->OwnerField()->isReadOnly());
      QVERIFY(d->ReadOnlyBox()->isChecked());
      QCOMPARE(d->PasswordBox()->text(), U("设置访问密码"));
    });
    QVERIFY(HasNote(U("文件夹名称不能为空!"), 1));
    RunFolderDialog("NewFolder", [](TForm_BR_ShareArea_FolderInfo* d) {
      d->NameField()->setText("team");
      d->PasswordBox()->setChecked(true);
      d->PasswordField()->setText("pw1");
      d->ConfirmField()->setText("pw2");
    });
    QVERIFY(HasNote(U("两次密码不一致!"), 1));
    QCOMPARE(Screen().FolderTree()->topLevelItem(0)->childCount(), 0);

    RunFolderDialog("NewFolder", [](TForm_BR_ShareArea_FolderInfo* d) {
      d->NameField()->setText("team");
      d->PasswordBox()->setChecked(true);
      QCOMPARE(d->PasswordBox()->text(), U("有密码"));
      d->PasswordField()->setText("pw1");
      d->ConfirmField()->setText("pw1");
      d->CommentField()->setText("for all");
    });
    QVERIFY2(HasNote(U("文件夹信息保存成功!"), 0), qPrintable(DescribeNotes()));
    QTreeWidgetItem* made = Screen().FolderTree()->currentItem();
    QVERIFY(made && made->parent());
    QCOMPARE((QStringList{made->text(0), made->text(1), made->text(2), made->text(3),
                          made->text(4)}),
             (QStringList{"team", U("√"), U("√"), "ann", "for all"}));
    const auto id = TForm_BR_ShareArea::NodeValue(made);
    QVERIFY(UserOpens("bob", "secret2", id, "pw1"));
    QVERIFY(!UserOpens("bob", "secret2", id, "pw2"));
  }

  void editKeepsReplacesOrRemovesThePassword_data() {
    QTest::addColumn<int>("change");  // 0 keep, 1 new password, 2 uncheck
    QTest::addColumn<QString>("opensWith");
    QTest::addColumn<QString>("refused");
    QTest::newRow("untouched fields keep it") << 0 << "pw1" << "******";
    QTest::newRow("a new one replaces it") << 1 << "pw2" << "pw1";
    QTest::newRow("unchecked removes it") << 2 << "" << QString();
  }
  void editKeepsReplacesOrRemovesThePassword() {
    QFETCH(int, change);
    QFETCH(QString, opensWith);
    QFETCH(QString, refused);
    const auto id = AddFolder("team", "ann", false, "pw1");
    SignInAs("ann", "secret1");
    Select(id);
    RunFolderDialog("EditFolder", [change](TForm_BR_ShareArea_FolderInfo* d) {
      QCOMPARE(d->windowTitle(), U("共享文件夹--编辑"));
      QCOMPARE(d->NameField()->text(), QString("team"));
      QVERIFY(!d->ReadOnlyBox()->isChecked());
      QVERIFY(d->PasswordBox()->isChecked());
      // The server sends the marker, never the password.
      QCOMPARE(d->PasswordField()->text(), QString("******"));
      QCOMPARE(d->ConfirmField()->text(), QString("******"));
      d->CommentField()->setText("edited");
      if (change == 1) {
        d->PasswordField()->setText("pw2");
        d->ConfirmField()->setText("pw2");
      } else if (change == 2) {
        d->PasswordBox()->setChecked(false);
        QVERIFY(d->PasswordField()->text().isEmpty());
        QVERIFY(!d->PasswordField()->isVisible());
      }
    });
    QVERIFY2(HasNote(U("文件夹信息保存成功!"), 0), qPrintable(DescribeNotes()));
    QTreeWidgetItem* node = Screen().FolderTree()->currentItem();
    QCOMPARE(TForm_BR_ShareArea::NodeValue(node), id);
    QCOMPARE(node->text(4), QString("edited"));
    QCOMPARE(node->text(2), change == 2 ? QString() : U("√"));
    QVERIFY(UserOpens("bob", "secret2", id, opensWith.toStdString()));
    if (!refused.isNull()) QVERIFY(!UserOpens("bob", "secret2", id, refused.toStdString()));
  }

  void deletingAFolderAsksFirst() {
    const auto parent = AddFolder("parent", "ann", false);
    AddFolder("child", "ann", false, {}, parent);
    const auto lone = AddFolder("lone", "ann", false);
    SignInAs("ann", "secret1");

    Select(parent);
    QCOMPARE(Answering([this] { Click("DeleteFolder"); }, Dismiss), 0);
    QVERIFY(HasNote(U("必须先删除子文件夹!"), 1));

    for (bool yes : {false, true}) {
      Select(lone);
      auto question = AnswerNextQuestion(yes);
      Click("DeleteFolder");
      QVERIFY(question->Seen);
      QCOMPARE(question->Text, U("确认要删除该文件夹?\r\n\r\n文件夹名:lone"));
      const bool listed = Server().Admin({"share", "list"}).out.find("lone") != std::string::npos;
      QCOMPARE(listed, !yes);
      QCOMPARE(Screen().FindNode(lone) != nullptr, !yes);
    }
    QVERIFY(HasNote(U("删除文件夹成功!"), 0));
  }

  void uploadThenAnotherUserDownloadsWithThePassword_data() {
    QTest::addColumn<bool>("sameNamedFile");
    QTest::newRow("into an empty folder") << false;
    QTest::newRow("over a same-named file of the same size") << true;
  }
  void uploadThenAnotherUserDownloadsWithThePassword() {
    QFETCH(bool, sameNamedFile);
    const auto id = AddFolder("team", "ann", false, "pw1");
    const fs::path scratch = m_env->Scratch();
    const std::string content = "quarterly numbers, final\n";
    WriteFile(scratch / "ann" / "report.txt", content);
    // Written two days ago: no local file made during the test shares its time.
    fs::last_write_time(scratch / "ann" / "report.txt",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));

    SignInAs("ann", "secret1");
    Select(id);
    Click("OpenFolder");
    QVERIFY(OnFilePage());
    QVERIFY(Screen().FileList()->topLevelItemCount() == 0);
    const QString upload = QString::fromStdString((scratch / "ann" / "report.txt").string());
    Screen().SetFilePicker([upload](QWidget*) { return upload; });
    Click("Upload");
    QVERIFY2(OpenNoteTexts().join("").contains(U("已启动,请到执行区查看详情...")),
             qPrintable(DescribeNotes()));
    QTRY_VERIFY_WITH_TIMEOUT((Click("Refresh"), Column(Screen().FileList(), 0) ==
                                                    QStringList{"report.txt"}),
                             20000);
    QVERIFY(Screen().FileList()->topLevelItem(0)->text(1).startsWith(
        QString::number(content.size())));

    // An older file of the same name and size may wait in Bob's folder.
    const fs::path target = scratch / "bob";
    fs::create_directories(target);
    const std::string stale(content.size(), 'x');
    if (sameNamedFile) {
      // Older: a file of the same size and time would count as this one.
      WriteFile(target / "report.txt", stale);
      fs::last_write_time(target / "report.txt",
                          fs::file_time_type::clock::now() - std::chrono::hours(24));
    }
    SignInAs("bob", "secret2");
    QCOMPARE(OpenWith(id, "pw1"), 1);
    QVERIFY(OnFilePage());
    QVERIFY(Enabled("Upload"));  // a writable folder: bob may add files too
    const QString folder = QString::fromStdString(target.string());
    Screen().SetFolderPicker([folder](QWidget*) { return folder; });
    CloseAllNotes();
    Click("Download");
    QVERIFY2(OpenNoteTexts().join("").contains(U("已启动,请到执行区查看详情...")),
             qPrintable(DescribeNotes()));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(target / "report.txt"), content, 20000);
    // A replaced copy is kept beside it.
    QCOMPARE(fs::exists(target / "report.txt.tmp"), sameNamedFile);
    if (sameNamedFile) QCOMPARE(ReadFile(target / "report.txt.tmp"), stale);
  }

  void deletingAFileAsksFirst() {
    const auto id = AddFolder("team", "ann", false);
    const fs::path file = fs::path(m_env->Scratch()) / "up" / "old.txt";
    WriteFile(file, "old");
    SignInAs("ann", "secret1");
    Select(id);
    Click("OpenFolder");
    Screen().SetFilePicker([&](QWidget*) { return QString::fromStdString(file.string()); });
    Click("Upload");
    QTRY_VERIFY_WITH_TIMEOUT((Click("Refresh"), Screen().FileList()->topLevelItemCount() == 1),
                             20000);
    for (bool yes : {false, true}) {
      auto question = AnswerNextQuestion(yes);
      Click("DeleteFile");
      QVERIFY(question->Seen);
      QCOMPARE(question->Text, U("确认要删除该文件?\r\n\r\n文件名:old.txt"));
      QCOMPARE(Screen().FileList()->topLevelItemCount(), yes ? 0 : 1);
    }
    QVERIFY(HasNote(U("删除共享区文件成功!"), 0));
    Click("Refresh");
    QCOMPARE(Screen().FileList()->topLevelItemCount(), 0);
    QVERIFY(!Enabled("Download"));
  }

  void withoutConnectionTheTreeHoldsTheRootAlone() {
    SignInAs("ann", "secret1");
    Logout(Info());
    Server().Stop();
    QTRY_VERIFY_WITH_TIMEOUT(!api::HasConnectedConnection(Info().Pool()), 10000);
    CloseAllNotes();
    Screen().Opening();
    QCOMPARE(Screen().FolderTree()->topLevelItemCount(), 1);
    QCOMPARE(Screen().FolderTree()->topLevelItem(0)->childCount(), 0);
    QVERIFY2(HasNote(U("网络连接不存在或者未连接上服务器!"), 2), qPrintable(DescribeNotes()));
  }
};

QTEST_MAIN(ShareAreaTest)
#include "ShareAreaTest.moc"
