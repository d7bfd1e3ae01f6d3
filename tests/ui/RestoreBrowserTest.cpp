// The restore wizard, the server browser and the recycle bin against a real
// server: a real backup browsed, searched, deleted, put back and restored
// through the screens, with the restored bytes compared.

#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "ServerProcess.h"
#include "UiTestSupport.h"
#include "api/BrowseApi.h"
#include "client/RestoreTask.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "tasks/TTaskObject_File.h"
#include "ui/restore/RestoreOptionsPage.h"
#include "ui/restore/ServerTreeParts.h"
#include "ui/restore/TForm_BR_RestoreWizard.h"
#include "ui/restore/TForm_BR_Restore_Browser.h"
#include "ui/restore/TForm_BR_Restore_Recycle.h"
#include "ui/shell/UiShell.h"

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
  return {std::istreambuf_iterator<char>(in), {}};
}

// One object put into a store the way the transfer engine sends it.
bool StoreObject(const TServerProcess& server, const std::string& user, const std::string& kind,
                 const std::string& folder, const std::string& name, const std::string& content,
                 const std::string& objectData = "-1", const std::string& cargo = "") {
  TTestClient client;
  const std::string password = user == TUiTestEnv::kUser ? TUiTestEnv::kPassword : "pw";
  if (!client.Connect(server.Port()) || !client.Login(user, password)) return false;
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"UCode", user},       {"TaskID", "946164070"}, {"TaskKind", kind},
      {"ObjectName", name},  {"ObjectFolder", folder}, {"ObjectData", objectData},
      {"ObjectCargo", cargo}, {"ObjectCargo2", ""},
      {"ObjectSize", std::to_string(content.size())}, {"ObjectDate", "1500000000"}};
  auto check = fields;
  check.insert(check.end(), {{"ObjectID", "1"}, {"Position", "0"}, {"Action", "0"}});
  TQorPack checkRequest = MakeRequest("TUpDown.Check", check);
  if (!client.CallOk(checkRequest)) return false;
  auto upload = fields;
  upload.insert(upload.end(), {{"SessionID", "946164071"}, {"SegmentCount", "1"},
                               {"SegmentOrder", "1"}, {"Source_Offset", "0"},
                               {"Source_Size", std::to_string(content.size())}});
  TQorPack uploadRequest = MakeRequest("TUpDown.UpLoad", upload);
  return client.CallOk(uploadRequest, content);
}

bool Execute(const fs::path& db, const std::string& sql) {
  sqlite3* h = nullptr;
  bool ok = sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_busy_timeout(h, 5000);
    ok = sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close(h);
  return ok;
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* node, const QString& name) {
  for (int i = 0; i < node->childCount(); ++i)
    if (node->child(i)->text(0) == name) return node->child(i);
  return nullptr;
}

}  // namespace

class RestoreBrowserTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<QWidget> m_panel;
  fs::path m_src, m_out;
  int m_outCount = 0;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_Restore_Browser* Browser() {
    return TForm_BR_Restore_Browser::OpenOwnStore(*m_shell);
  }
  // A fresh folder to restore into.
  fs::path NewOut() {
    const fs::path out = m_out / std::to_string(++m_outCount);
    fs::create_directories(out);
    return out;
  }

  bool RunToEnd(const TTaskObjectPtr& task) {
    const bool started = AddAndStartRestore(Info(), task);
    return started && QTest::qWaitFor(
                          [&] {
                            return task->State() == kStateTerminated &&
                                   Info().Engine().CurrentTask() == nullptr;
                          },
                          30000);
  }
  bool WaitForRestores(TForm_BR_Restore_Browser* browser) {
    if (browser->StartedTasks().empty()) return false;
    for (const TTaskObjectPtr& task : browser->StartedTasks()) {
      if ( !QTest::qWaitFor([&] { return task->State() == kStateTerminated; }, 30000))
        return false;
    }
    return QTest::qWaitFor([&] { return Info().Engine().CurrentTask() == nullptr; }, 10000);
  }

  // Expands the browser's tree down the server path of a local path.
  QTreeWidgetItem* ExpandTo(TForm_BR_Restore_Browser* browser, int area, const fs::path& path) {
    QTreeWidget* tree = browser->Tree(area);
    QTreeWidgetItem* node = tree->topLevelItem(0);
    node->setExpanded(false);
    node->setExpanded(true);
    for (const auto& part : path) {
      QTreeWidgetItem* child = ChildNamed(node, QString::fromStdString(part.string()));
      if (!child) return nullptr;
      node = child;
      if (!IsFileNode(node)) {
        node->setExpanded(false);
        node->setExpanded(true);
      }
    }
    tree->setCurrentItem(node);
    return node;
  }

  void Restore(TForm_BR_Restore_Browser* browser, QRadioButton* where, const fs::path& folder,
               bool overwrite = false) {
    browser->Next();
    where->setChecked(true);
    browser->Options()->Folder()->setText(QString::fromStdString(folder.string()));
    (overwrite ? browser->Options()->Overwrite() : browser->Options()->Skip())->setChecked(true);
    browser->RunRestore();
  }

 private slots:
  void initTestCase() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_env->Server().AddUser("bob", "pw", {"--manager", TUiTestEnv::kUser});
    m_src = fs::path(m_env->Scratch()) / "src";
    m_out = fs::path(m_env->Scratch()) / "out";
    WriteFile(m_src / "docs" / "a.txt", "alpha, first version");
    WriteFile(m_src / "docs" / "sub" / "b.txt", "bravo in sub");
    WriteFile(m_src / "docs" / "c.txt", "charlie");
    WriteFile(m_src / "docs" / "d.txt", "delta");
    WriteFile(m_src / "sync" / "s.txt", "sierra of the sync store");
    QVERIFY(Login(Info()));
    QVERIFY(RunToEnd(MakeFileBackupTask(Info(), {{(m_src / "docs").string(), true}})));
    // A second version of a.txt, of another size.
    WriteFile(m_src / "docs" / "a.txt", "alpha, the second and newest version");
    QVERIFY(RunToEnd(MakeFileBackupTask(Info(), {{(m_src / "docs" / "a.txt").string(), false}})));
    QVERIFY(RunToEnd(MakeFolderSyncTask(Info(), {{(m_src / "sync").string(), true}})));
    m_shell = std::make_unique<TUiShell>(Info());
    m_panel = std::make_unique<QWidget>();
    m_panel->resize(900, 600);
    m_shell->SetContentPanel(m_panel.get());
  }

  void cleanupTestCase() {
    m_shell.reset();
    m_panel.reset();
    m_env.reset();
  }

  void cleanup() { CloseAllNotes(); }

  void wizardShowsHelpAndOpensTheWays() {
    auto* wizard = m_shell->Screens().Embed<TForm_BR_RestoreWizard>(m_panel.get(), false);
    m_panel->show();
    QVERIFY(wizard->ShownHelp().isEmpty());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(wizard->WayButton(TForm_BR_RestoreWizard::kWayRecycle), &enter);
    QVERIFY(wizard->ShownHelp().startsWith(U("    如果您删除了Server端的数据")));
    QVERIFY(wizard->ShownHelp().contains(U("\r\n\r\n    步骤及注意事项:\r\n\r\n          1.有备份区")));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(wizard, &move);
    QVERIFY(wizard->ShownHelp().isEmpty());

    // The selective way leaves an authorised view and shows the own store.
    Info().SetAuthArea({true, "bob"});
    wizard->WayButton(TForm_BR_RestoreWizard::kWaySelective)->click();
    auto* browser = m_shell->Screens().Screen<TForm_BR_Restore_Browser>();
    QVERIFY(browser);
    QVERIFY(!Info().AuthArea().Active);
    QCOMPARE(browser->Title(), U("选 择 性 恢 复"));
    QCOMPARE(browser->ViewUser(), std::string(TUiTestEnv::kUser));
    wizard->WayButton(TForm_BR_RestoreWizard::kWayRecycle)->click();
    QVERIFY(m_shell->Screens().Screen<TForm_BR_Restore_Recycle>());
    m_panel->hide();
  }

  void areasHaveTheirRootsAndTheSeparatorChangesNothing() {
    auto* browser = Browser();
    QCOMPARE(browser->Tree(0)->topLevelItem(0)->text(0), U("备份文件"));
    browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySync);
    QCOMPARE(browser->Tree(1)->topLevelItem(0)->text(0), U("同步文件"));
    browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySeparator);
    QVERIFY2(HasNote(U("请选择具体方法!"), 1), qPrintable(DescribeNotes()));
    QCOMPARE(browser->Area(), int(TForm_BR_Restore_Browser::kAreaSync));
    QCOMPARE(browser->AreaSelector()->currentIndex(), int(TForm_BR_Restore_Browser::kEntrySync));
    QCOMPARE(browser->AreaSelector()->itemText(3), QString(30, '-'));
  }

  void everyExpansionAsksTheServerAgain() {
    auto* browser = Browser();
    QTreeWidgetItem* root = browser->Tree(0)->topLevelItem(0);
    root->setExpanded(true);
    QCOMPARE(root->childCount(), 1);
    QCOMPARE(root->child(0)->text(0), QString("/"));
    QTreeWidgetItem* docs = ExpandTo(browser, 0, m_src / "docs");
    QVERIFY(docs);
    QVERIFY(ChildNamed(docs, "sub") && ChildNamed(docs, "c.txt"));
    QTreeWidgetItem* a = ChildNamed(docs, "a.txt");
    QCOMPARE(a->text(1), QString("36"));
    QVERIFY(!a->text(2).isEmpty());
    QVERIFY(!ChildNamed(docs, "e.txt"));
    // Stored meanwhile by another client: the next expansion shows it.
    QVERIFY(StoreObject(m_env->Server(), TUiTestEnv::kUser, "100", (m_src / "docs").string(),
                        "e.txt", "echo"));
    docs->setExpanded(false);
    docs->setExpanded(true);
    QVERIFY(ChildNamed(docs, "e.txt"));
  }

  void restoreGoesToTheChosenPlace() {
    struct Case {
      const char* what;
      int where;  // 0 original, 1 below a folder with the path, 2 flat
    };
    for (const Case c : {Case{"原始路径", 0}, Case{"重新指定", 1}, Case{"重新指定但不带全路径", 2}}) {
      const fs::path out = NewOut();
      const fs::path original = m_src / "docs" / "c.txt";
      if (c.where == 0) fs::remove(original);
      auto* browser = Browser();
      QTreeWidgetItem* node = ExpandTo(browser, 0, original);
      QVERIFY2(node, c.what);
      node->setCheckState(0, Qt::Checked);
      TRestoreOptionsPage* o = browser->Options();
      Restore(browser, c.where == 0 ? o->Original() : c.where == 1 ? o->Respecify() : o->Flat(),
              out);
      QVERIFY2(WaitForRestores(browser), c.what);
      const fs::path expected = c.where == 0   ? original
                                : c.where == 1 ? out / original.relative_path()
                                               : out / "c.txt";
      QVERIFY2(ReadFile(expected) == "charlie", c.what);
      QVERIFY(HasNote(U("任务") + QString::number(browser->StartedTasks()[0]->TaskID) +
                          U("已启动,请到执行区查看详情..."),
                      0));
      CloseAllNotes();
    }
  }

  void badChoicesAreRefusedBeforeATaskIsMade() {
    auto* browser = Browser();
    const std::size_t tasks = Info().Tasks().Count();
    // Nothing checked.
    browser->Next();
    browser->RunRestore();
    QVERIFY2(HasNote(U("恢复目标为空!"), 2), qPrintable(DescribeNotes()));
    // A relative folder.
    CloseAllNotes();
    browser->Back();
    ExpandTo(browser, 0, m_src / "docs" / "c.txt")->setCheckState(0, Qt::Checked);
    Restore(browser, browser->Options()->Respecify(), "relative/out");
    QVERIFY2(HasNote(U("目标路径不合法，请正确设置您的路径!"), 2), qPrintable(DescribeNotes()));
    QVERIFY(browser->Options()->Folder()->text().isEmpty());
    // A folder that is not there and may not be made.
    CloseAllNotes();
    const fs::path missing = m_out / "not-yet";
    AnswerNextQuestion(false);
    Restore(browser, browser->Options()->Respecify(), missing);
    QVERIFY(!fs::exists(missing));
    QCOMPARE(Info().Tasks().Count(), tasks);
    QVERIFY(browser->StartedTasks().empty());
  }

  void aFolderWithItsChildIsRestoredOnce() {
    const fs::path out = NewOut();
    auto* browser = Browser();
    QTreeWidgetItem* docs = ExpandTo(browser, 0, m_src / "docs");
    docs->setCheckState(0, Qt::Checked);
    QTreeWidgetItem* sub = ChildNamed(docs, "sub");
    sub->setExpanded(true);
    ChildNamed(sub, "b.txt")->setCheckState(0, Qt::Checked);
    ChildNamed(docs, "a.txt")->setCheckState(0, Qt::Checked);
    Restore(browser, browser->Options()->Respecify(), out);
    QVERIFY(WaitForRestores(browser));
    TTaskObjectPtr task = browser->StartedTasks()[0];
    QCOMPARE(task->FileObjects.Items.size(), std::size_t{1});
    QCOMPARE(task->PostBag.Counters().FileErrorCount.load(), 0);
    const fs::path docsOut = out / (m_src / "docs").relative_path();
    QCOMPARE(ReadFile(docsOut / "sub" / "b.txt"), std::string("bravo in sub"));
    QCOMPARE(ReadFile(docsOut / "a.txt"), std::string("alpha, the second and newest version"));
  }

  void skipKeepsTheLocalFileAndOverwriteKeepsItsOldCopy() {
    for (bool overwrite : {false, true}) {
      const fs::path out = NewOut();
      WriteFile(out / "d.txt", "local edit of d");
      auto* browser = Browser();
      ExpandTo(browser, 0, m_src / "docs" / "d.txt")->setCheckState(0, Qt::Checked);
      Restore(browser, browser->Options()->Flat(), out, overwrite);
      QVERIFY(WaitForRestores(browser));
      QCOMPARE(ReadFile(out / "d.txt"), std::string(overwrite ? "delta" : "local edit of d"));
      QCOMPARE(fs::exists(out / "d.txt.tmp"), overwrite);
      if (overwrite) {
        QCOMPARE(ReadFile(out / "d.txt.tmp"), std::string("local edit of d"));
      }
    }
  }

  void searchResultsRestoreFromTheirOwnStore() {
    QVERIFY(StoreObject(m_env->Server(), TUiTestEnv::kUser, "500", "\\Foxmail\\3\\",
                        "3001-17.eml", "From: x\r\n\r\nmail body", "3001", "0"));
    struct Case {
      const char* name;
      const char* storeName;
      fs::path local;  // where it lands below the folder ("重新指定")
      std::string content;
    };
    const Case cases[] = {
        {"a.txt", "文件备份区", (m_src / "docs" / "a.txt").relative_path(),
         "alpha, the second and newest version"},
        {"s.txt", "文件同步区", (m_src / "sync" / "s.txt").relative_path(), "sierra of the sync store"},
        {"3001-17", "邮件区", fs::path("Foxmail") / "3" / "3001" / "3001-17.eml",
         "From: x\r\n\r\nmail body"},
    };
    for (const Case& c : cases) {
      const fs::path out = NewOut();
      auto* browser = Browser();
      browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySearch);
      browser->SearchName()->setText(c.name);
      browser->Search();
      QTreeWidget* results = browser->Results();
      QCOMPARE(results->topLevelItemCount(), 1);
      QTreeWidgetItem* hit = results->topLevelItem(0);
      QCOMPARE(hit->text(4), U(c.storeName));
      hit->setCheckState(0, Qt::Checked);
      Restore(browser, browser->Options()->Respecify(), out);
      QVERIFY2(WaitForRestores(browser), c.name);
      QVERIFY2(ReadFile(out / c.local) == c.content, qPrintable(QString::fromStdString(
                                                          (out / c.local).string())));
    }
  }

  void anOlderVersionFoundBySearchComesBackOlder() {
    const fs::path out = NewOut();
    auto* browser = Browser();
    browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySearch);
    browser->SearchName()->setText("a.txt");
    browser->OnlyLastVersion()->setChecked(false);
    browser->Search();
    QTreeWidget* results = browser->Results();
    QCOMPARE(results->topLevelItemCount(), 2);
    // Both versions at once would write one file twice.
    for (int i = 0; i < 2; ++i) results->topLevelItem(i)->setCheckState(0, Qt::Checked);
    Restore(browser, browser->Options()->Flat(), out);
    QVERIFY(browser->StartedTasks().empty());
    QVERIFY(DescribeNotes().contains(U("多个恢复对象将写入同一个本地文件")));
    for (int i = 0; i < 2; ++i) {
      QTreeWidgetItem* hit = results->topLevelItem(i);
      hit->setCheckState(0, NodeSize(hit) == 20 ? Qt::Checked : Qt::Unchecked);
    }
    browser->Back();
    Restore(browser, browser->Options()->Flat(), out);
    QVERIFY(WaitForRestores(browser));
    QCOMPARE(ReadFile(out / "a.txt"), std::string("alpha, first version"));
  }

  void deleteNeedsTheRightAndTheBinPutsBackOrDeletesForGood() {
    TConfig_Of_Profile profile = Info().Profile();
    profile.IsCanDelete = false;
    Info().SetProfile(profile);
    auto* browser = Browser();
    QTreeWidgetItem* e = ExpandTo(browser, 0, m_src / "docs" / "e.txt");
    QVERIFY(e);
    QVERIFY(!browser->DeleteButton()->isEnabled());
    QTest::keyClick(browser, Qt::Key_Delete);
    QVERIFY(OpenNoteTexts().isEmpty());

    // With the right: e.txt into the bin, c.txt too.
    QCOMPARE(m_env->Server().Admin({"user", "set", TUiTestEnv::kUser, "--can-delete", "1"}).exitCode, 0);
    profile.IsCanDelete = true;
    Info().SetProfile(profile);
    for (const char* name : {"e.txt", "c.txt"}) {
      browser = Browser();
      QTreeWidgetItem* node = ExpandTo(browser, 0, m_src / "docs" / name);
      QVERIFY(browser->DeleteButton()->isEnabled());
      auto asked = AnswerNextQuestion(true);
      QTest::keyClick(browser, Qt::Key_Delete);
      QVERIFY(asked->Seen);
      QCOMPARE(asked->Text, U("确认要删除如下对象?\r\n\r\n文件:") +
                                QString::fromStdString((m_src / "docs" / name).string()));
      QVERIFY2(HasNote(U("对象删除成功!"), 0), qPrintable(DescribeNotes()));
      Q_UNUSED(node);
      QVERIFY(!ChildNamed(ExpandTo(browser, 0, m_src / "docs"), name));
      CloseAllNotes();
    }

    auto* bin = m_shell->Screens().Embed<TForm_BR_Restore_Recycle>(m_panel.get(), false);
    bin->Opening();
    QCOMPARE(bin->List()->topLevelItemCount(), 2);
    auto Select = [&](const char* name) {
      for (int i = 0; i < bin->List()->topLevelItemCount(); ++i)
        if (bin->List()->topLevelItem(i)->text(0) == name)
          bin->List()->setCurrentItem(bin->List()->topLevelItem(i));
    };
    Select("e.txt");
    bin->RevertButton()->click();
    QVERIFY(HasNote(U("对象还原成功!"), 0));
    Select("c.txt");
    AnswerNextQuestion(true);
    bin->DeleteButton()->click();
    QVERIFY(HasNote(U("对象删除成功!"), 0));
    QCOMPARE(bin->List()->topLevelItemCount(), 0);
    QVERIFY(!bin->DeleteButton()->isEnabled() && !bin->RevertButton()->isEnabled());
    QTreeWidgetItem* docs = ExpandTo(Browser(), 0, m_src / "docs");
    QVERIFY(ChildNamed(docs, "e.txt"));
    QVERIFY(!ChildNamed(docs, "c.txt"));
  }

  void sizesOfThreeGigabytesStayExact() {
    QVERIFY(StoreObject(m_env->Server(), TUiTestEnv::kUser, "100", (m_src / "big").string(),
                        "disk.img", "small for now"));
    QVERIFY(Execute(m_env->Server().DataDir() / "solvane.db",
                    "UPDATE versions SET size=3000000000 WHERE object_id IN "
                    "(SELECT id FROM objects WHERE name='disk.img')"));
    auto* browser = Browser();
    QTreeWidgetItem* node = ExpandTo(browser, 0, m_src / "big" / "disk.img");
    QVERIFY(node);
    QCOMPARE(node->text(1), QString("3,000,000,000"));
    QCOMPARE(NodeSize(node), std::int64_t{3000000000});
    TRestoreOrder order;
    order.Objects = {{NodeServerPath(node), false, NodeSize(node), NodeDate(node), -1}};
    order.Target.Folder = NewOut().string();
    const TRestoreMade made = CreateRestoreTask(Info(), order);
    QVERIFY(made.Task);
    QCOMPARE(made.Task->FileObjects.Items[0].ObjectSize, std::int64_t{3000000000});
  }

  void theAuthorisedViewIsReadOnlyAndSearchesThatUsersStore() {
    QVERIFY(StoreObject(m_env->Server(), "bob", "100", "/home/bob", "bob.txt", "bob's words"));
    auto* browser = TForm_BR_Restore_Browser::OpenAuthorisedView(*m_shell, "bob");
    QCOMPARE(browser->Title(), U(" 授 权 区 恢 复--目标用户:bob"));
    QCOMPARE(browser->ViewUser(), std::string("bob"));
    QVERIFY(!browser->Options()->Original()->isEnabled());
    QVERIFY(browser->Options()->Respecify()->isChecked());
    QTreeWidgetItem* home = browser->Tree(0)->topLevelItem(0);
    home->setExpanded(true);
    QTreeWidgetItem* slash = ChildNamed(home, "/");
    QVERIFY(slash);
    slash->setExpanded(true);
    QTreeWidgetItem* homes = ChildNamed(slash, "home");
    QVERIFY(homes);
    homes->setExpanded(true);
    QTreeWidgetItem* bobHome = ChildNamed(homes, "bob");
    QVERIFY(bobHome);
    browser->Tree(0)->setCurrentItem(bobHome);
    QVERIFY(!browser->DeleteButton()->isEnabled());
    QTest::keyClick(browser, Qt::Key_Delete);
    QVERIFY(OpenNoteTexts().isEmpty());

    browser->SelectEntry(TForm_BR_Restore_Browser::kEntrySearch);
    browser->SearchName()->setText("bob.txt");
    browser->Search();
    QCOMPARE(browser->Results()->topLevelItemCount(), 1);
    browser->Results()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    const fs::path out = NewOut();
    Restore(browser, browser->Options()->Flat(), out);
    QVERIFY(WaitForRestores(browser));
    QCOMPARE(browser->StartedTasks()[0]->UCode, std::string("bob"));
    QCOMPARE(ReadFile(out / "bob.txt"), std::string("bob's words"));
    Info().SetAuthArea({false, ""});
  }
};

QTEST_MAIN(RestoreBrowserTest)
#include "RestoreBrowserTest.moc"
