// The file backup and folder sync screens on real folders against a real
// server: the tri-state choice in the folder tree and the file list, the
// one-off run that backs files up, and saving as a named task that comes
// back from the server as it was set.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/BrowseApi.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "ui/backup/FilterPage.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/backup/ShellSelection.h"
#include "ui/backup/ShellViews.h"
#include "ui/backup/TForm_BR_FileBackup.h"
#include "ui/backup/TForm_BR_FileSync.h"
#include "ui/backup/TForm_BR_Process.h"
#include "ui/backup/TForm_BR_TaskSetting.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
}

QStringList PathsOf(const QVector<TShellObject>& objects) {
  QStringList paths;
  for (const TShellObject& o : objects) paths << o.Path;
  paths.sort();
  return paths;
}

QWidget* Front(QWidget* panel) {
  for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isVisible()) return child;
  return nullptr;
}

}  // namespace

class FileBackupTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<QWidget> m_panel;
  TForm_BR_FileBackup* m_screen = nullptr;
  QString m_home;
  QByteArray m_oldHome;

  TPublicInfo& Info() { return m_env->Info(); }
  TShellTree& Tree() { return *m_screen->Tree(); }
  TShellList& List() { return *m_screen->List(); }
  TShellSelection& Selection() { return *m_screen->Selection(); }
  QTreeWidgetItem* Home() { return Tree().Desktop()->child(0); }
  QString H(const QString& rel) { return rel.isEmpty() ? m_home : m_home + "/" + rel; }

  // Selects the node of rel (below the home folder) and waits for the list.
  QTreeWidgetItem* Select(const QString& rel) {
    if (!Tree().Reveal(Home(), H(rel))) return nullptr;
    if (!QTest::qWaitFor([&] { return !List().IsLoading() && List().Folder() == H(rel); }))
      return nullptr;
    return Tree().currentItem();
  }
  QTreeWidgetItem* Expanded(const QString& rel) {
    QTreeWidgetItem* node = Select(rel);
    if (!node) return nullptr;
    node->setExpanded(true);
    return QTest::qWaitFor([&] { return Tree().IsLoaded(node); }) ? node : nullptr;
  }
  // What the view does when the user clicks a check mark or box.
  void Click(QTreeWidgetItem* node) {
    node->setCheckState(0, node->checkState(0) == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
  }
  void Tick(const QString& name) { Click(List().ItemByName(name)); }
  TShellMark Mark(const QString& rel) {
    QTreeWidgetItem* node = Home();
    for (const QString& part : rel.split('/', Qt::SkipEmptyParts))
      node = TShellTree::ChildByCaption(node, part);
    return Tree().Mark(node);
  }
  QStringList Chosen() { return PathsOf(Selection().Normalised()); }
  // The default exclude lines are substring tests: a checkout below "/tmp"
  // or "/run" would exclude the fixture itself. Keep the others.
  void KeepFixtureIncluded(TFilterPage* filter) {
    QStringList lines;
    for (const QString& line : DefaultExcludeLines())
      if (!m_home.contains(line)) lines << line;
    filter->ExcludeBox()->setPlainText(lines.join('\n'));
  }

  // The names the server holds in the backup store folder.
  QStringList Stored(const QString& folder) {
    QStringList names;
    for (const auto& e : api::BrowerShowFileObject(Info().Pool(), "ann", 100,
                                                   folder.toStdString()).value)
      names << QString::fromStdString(e.ObjectName);
    names.sort();
    return names;
  }

 private slots:
  void initTestCase() {
    m_oldHome = qgetenv("HOME");
    m_home = QDir::cleanPath(QDir::tempPath() + "/../filebackup-home");
    QDir(m_home).removeRecursively();
    for (const char* f : {"a/doc/d1.txt", "a/docs2/x.txt", "a/docs2/y.txt", "b/f1.txt",
                          "b/f2.txt", "b/f3.txt", "c/sub1/s.txt", "c/sub2/t.txt",
                          "e/only/z.txt", "e/e1.txt", "far/g1.txt", "far/g2.txt", "far/g3.txt"})
      WriteFile(H(f), QByteArray("content of ") + f);
    qputenv("HOME", m_home.toUtf8());
  }
  void cleanupTestCase() {
    qputenv("HOME", m_oldHome);
    QDir(m_home).removeRecursively();
  }

  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_panel = std::make_unique<QWidget>();
    m_panel->resize(900, 600);
    m_shell->SetContentPanel(m_panel.get());
    m_screen = m_shell->Screens().Embed<TForm_BR_FileBackup>(m_panel.get(), false);
    m_panel->show();
    QCOMPARE(Home()->text(0), U("主文件夹"));
    QCOMPARE(Tree().Desktop()->child(1)->text(0), U("文件系统"));
  }
  void cleanup() {
    CloseAllNotes();
    m_shell->Screens().Clear();
    m_panel.reset();
    m_shell.reset();
    m_env.reset();
  }

  void treeListsFoldersFirstWithoutSystemFolders() {
    QTreeWidgetItem* fs = Tree().Desktop()->child(1);
    fs->setExpanded(true);
    QVERIFY(QTest::qWaitFor([&] { return Tree().IsLoaded(fs); }));
    for (const char* hidden : {"proc", "sys", "dev", "run"})
      QVERIFY2(!TShellTree::ChildByCaption(fs, hidden), hidden);
    QVERIFY(Tree().Desktop()->data(0, Qt::CheckStateRole).isNull());  // "桌面" has no mark
    QVERIFY(Select("e"));
    QCOMPARE(List().Count(), 2);
    QCOMPARE(List().Item(0)->text(0), QString("only"));  // folders first
    QCOMPARE(List().Item(1)->text(2), U("文件"));
    QVERIFY(List().Item(1)->text(1).endsWith(" B"));
  }

  void checkedFolderWithLoadedSubfoldersSendsOnlyTheFolder() {
    QTreeWidgetItem* c = Expanded("c");
    QVERIFY(c && c->childCount() == 2);
    Click(c);
    QCOMPARE(Mark("c"), kMarkChosen);
    QCOMPARE(Mark("c/sub1"), kMarkChosen);
    QCOMPARE(Mark(""), kMarkPartly);
    QCOMPARE(Chosen(), QStringList{H("c")});
    QVERIFY(List().IsChecked(List().ItemByName("sub1")));
  }

  void twoOfThreeFilesMarkTheFolderPartlyChosen() {
    QVERIFY(Select("b"));
    Tick("f1.txt");
    Tick("f3.txt");
    QCOMPARE(Mark("b"), kMarkPartly);
    QCOMPARE(Chosen(), (QStringList{H("b/f1.txt"), H("b/f3.txt")}));
    Tick("f2.txt");
    QCOMPARE(Mark("b"), kMarkChosen);
    QCOMPARE(Chosen(), QStringList{H("b")});
    for (const char* f : {"f1.txt", "f2.txt", "f3.txt"}) Tick(f);
    QCOMPARE(Mark("b"), kMarkUnchosen);
    QCOMPARE(Mark(""), kMarkUnchosen);
    QVERIFY(Selection().IsEmpty());

    // Space ticks the current item as a click does.
    List().setFocus();
    List().setCurrentItem(List().ItemByName("f2.txt"));
    QTest::keyClick(&List(), Qt::Key_Space);
    QCOMPARE(Chosen(), QStringList{H("b/f2.txt")});
  }

  // "/a/doc" must not take "/a/docs2/x" along.
  void uncheckingAFolderKeepsItsNamesakes() {
    QVERIFY(Expanded("a"));
    Click(TShellTree::ChildByCaption(Tree().currentItem(), "doc"));
    QVERIFY(Select("a/docs2"));
    Tick("x.txt");
    QCOMPARE(Chosen(), (QStringList{H("a/doc"), H("a/docs2/x.txt")}));
    QTreeWidgetItem* doc = TShellTree::ChildByCaption(Tree().currentItem()->parent(), "doc");
    Click(doc);
    QCOMPARE(Chosen(), QStringList{H("a/docs2/x.txt")});
    QCOMPARE(Mark("a"), kMarkPartly);
  }

  // A folder holding files beside its only subfolder is not taken whole
  // when just the subfolder is ticked.
  void tickingTheOnlySubfolderLeavesTheFilesOut() {
    QVERIFY(Expanded("e"));
    QVERIFY(Select("b"));  // the list shows another folder
    Click(TShellTree::ChildByCaption(TShellTree::ChildByCaption(Home(), "e"), "only"));
    QCOMPARE(Mark("e"), kMarkPartly);
    QCOMPARE(Chosen(), QStringList{H("e/only")});
  }

  void nodesLoadedBelowAChosenFolderAreChosen() {
    QVERIFY(Select("a"));
    Click(Tree().currentItem());
    QTreeWidgetItem* a = Tree().currentItem();
    a->setExpanded(true);
    QVERIFY(QTest::qWaitFor([&] { return Tree().IsLoaded(a); }));
    QCOMPARE(Mark("a/docs2"), kMarkChosen);
    QCOMPARE(Chosen(), QStringList{H("a")});
  }

  void nothingChosenIsRefused() {
    m_screen->RunNowButton()->click();
    QVERIFY2(HasNote(U("文件目标为空"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Info().Tasks().Count(), 0u);
  }

  // A folder and two files elsewhere, backed up once: the files reach the
  // server, the monitor comes to the front, the one-off task leaves the list
  // and the choice is cleared.
  void runNowBacksUpTheChoice() {
    QVERIFY(Login(Info()));
    auto* monitor = m_shell->Screens().Embed<TForm_BR_Process>(m_panel.get(), false,
                                                                      "TaskWatch");
    m_shell->Screens().Embed<TForm_BR_FileBackup>(m_panel.get(), false);
    QVERIFY(Select("c"));
    Click(Tree().currentItem());
    QVERIFY(Select("far"));
    Tick("g1.txt");
    Tick("g3.txt");
    KeepFixtureIncluded(m_screen->Filter());
    m_screen->RunNowButton()->click();
    QCOMPARE(Info().Tasks().Count(), 1u);
    const auto task = Info().Tasks().Snapshot().at(0);
    QVERIFY(task->IsTemporary);
    QCOMPARE(task->TaskName, U("临时任务").toStdString() + std::to_string(task->TaskID));
    QVERIFY2(HasNote(U("任务") + QString::number(task->TaskID) + U("已启动."), 0),
             qPrintable(DescribeNotes()));
    QCOMPARE(Front(m_panel.get()), static_cast<QWidget*>(monitor));
    QVERIFY(Selection().IsEmpty());
    QCOMPARE(Mark("c"), kMarkUnchosen);
    QTRY_VERIFY_WITH_TIMEOUT(Info().Tasks().Count() == 0, 20000);
    QCOMPARE(Stored(H("far")), (QStringList{"g1.txt", "g3.txt"}));
    QCOMPARE(Stored(H("c/sub2")), QStringList{"t.txt"});
  }

  // Done-check of the screen: ticked folder and files, an extra exclude
  // pattern and a weekly Monday/Thursday schedule, saved and started; the
  // task comes back from the server as set and its files are stored.
  void saveAsTaskAndRun() {
    QVERIFY(Login(Info()));
    QVERIFY(Select("a/docs2"));
    Click(Tree().currentItem());
    QVERIFY(Select("far"));
    Tick("g1.txt");
    Tick("g2.txt");
    KeepFixtureIncluded(m_screen->Filter());
    m_screen->Filter()->ExcludeBox()->appendPlainText("y.txt");
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      QVERIFY(d);
      QCOMPARE(d->TaskKind(), 100);
      QVERIFY(d->BackupModeBox()->isVisibleTo(d));
      d->NameField()->setText(U("每周文档"));
      d->CommentField()->setPlainText("line one\nline two");
      TSchedulePanel* s = d->Schedule();
      s->ScheduleSwitch()->setChecked(true);
      s->KindButton(2)->click();
      s->WeekDay(0)->setChecked(true);
      s->WeekDay(3)->setChecked(true);
      d->SaveAndRunButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("保存任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QVERIFY(Selection().IsEmpty());
    QCOMPARE(Info().Tasks().Count(), 1u);
    const auto task = Info().Tasks().Snapshot().at(0);
    QVERIFY(HasNote(U("任务") + QString::number(task->TaskID) + U("已启动,请到执行区查看详情..."), 0));
    QTRY_VERIFY_WITH_TIMEOUT(task->State() == kStateTerminated, 20000);
    QCOMPARE(Stored(H("far")), (QStringList{"g1.txt", "g2.txt"}));
    QCOMPARE(Stored(H("a/docs2")), QStringList{"x.txt"});  // y.txt excluded

    QTRY_VERIFY_WITH_TIMEOUT(Info().Tasks().ReloadWhenIdle(Info()), 10000);
    const auto back = Info().Tasks().FindTask(task->TaskID);
    QVERIFY(back);
    auto lock = back->Lock();
    QCOMPARE(back->TaskName, std::string("每周文档"));
    QCOMPARE(back->Comment, std::string("line one\r\nline two"));
    QVERIFY(back->ScheduleInfo.IsEnableSchedule);
    QCOMPARE(back->ScheduleInfo.Schedule_Kind, 2);
    QVERIFY(back->ScheduleInfo.IsWeekly_Day[0] && back->ScheduleInfo.IsWeekly_Day[3]);
    QCOMPARE(back->ScheduleInfo.DelayExcuteMinute, 10);
    QCOMPARE(back->FileObjects.Items.size(), 3u);
    QCOMPARE(back->FilterInfo.ExcludeList.back(), std::string("y.txt"));
    QCOMPARE(back->FilterInfo.ExcludeList.front(), std::string("~"));
  }

  void dialogChecksOnBothButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("weeklyWithoutDay");
    QTest::addColumn<QString>("note");
    QTest::newRow("empty name") << QString() << false << U("任务名称不能为空");
    QTest::newRow("weekly without a day") << U("x") << true << U("当前时间策略下，至少要选中一天!");
  }
  void dialogChecksOnBothButtons() {
    QFETCH(QString, name);
    QFETCH(bool, weeklyWithoutDay);
    QFETCH(QString, note);
    for (bool andRun : {false, true}) {
      TForm_BR_TaskSetting d(Info(), 200);
      d.show();
      QVERIFY(!d.BackupModeBox()->isVisibleTo(&d));
      QCOMPARE(d.DelayBox()->value(), 10);
      QVERIFY(!d.DelayBox()->isEnabled());
      d.NameField()->setText(name);
      d.Schedule()->ScheduleSwitch()->setChecked(weeklyWithoutDay);
      d.Schedule()->KindButton(2)->click();
      (andRun ? d.SaveAndRunButton() : d.SaveButton())->click();
      QVERIFY2(HasNote(note, 2), qPrintable(DescribeNotes()));
      QVERIFY(d.isVisible());
      QCOMPARE(d.Result(), TForm_BR_TaskSetting::TResult::None);
      CloseAllNotes();
    }
  }

  void escapeClosesTheDialogWithoutSaving() {
    TForm_BR_TaskSetting d(Info(), 100);
    d.show();
    d.NameField()->setText("n");
    QTest::keyClick(d.NameField(), Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.Result(), TForm_BR_TaskSetting::TResult::None);
  }

  // A sync task saved with both filter boxes emptied: one folder without a
  // kind on the server, and no patterns left from before.
  void folderSyncSavedAsTaskComesBack() {
    QVERIFY(Login(Info()));
    auto* sync = m_shell->Screens().Embed<TForm_BR_FileSync>(m_panel.get(), false);
    QVERIFY(sync->Tree()->Reveal(sync->Tree()->Desktop()->child(0), H("far")));
    sync->Filter()->ExcludeBox()->clear();
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      QVERIFY(!d->BackupModeBox()->isVisibleTo(d));
      d->NameField()->setText(U("镜像"));
      d->SaveButton()->click();
    });
    sync->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("保存任务信息成功!"), 0), qPrintable(DescribeNotes()));
    const auto id = Info().Tasks().Snapshot().at(0)->TaskID;
    QVERIFY(Info().Tasks().ReloadWhenIdle(Info()));
    const auto back = Info().Tasks().FindTask(id);
    QVERIFY(back);
    auto lock = back->Lock();
    QCOMPARE(back->TaskKind, std::int16_t(200));
    QCOMPARE(back->FileObjects.Items.size(), 1u);
    QCOMPARE(QString::fromStdString(back->FileObjects.Items[0].ObjectName), H("far"));
    QCOMPARE(int(back->FileObjects.Items[0].ObjectKind), 1);
    QVERIFY(back->FilterInfo.ExcludeList.empty() && back->FilterInfo.IncludeList.empty());
    QCOMPARE(sync->Tree()->SelectedPath(), H("far"));
  }

  void refusedInsertAddsNothingAndKeepsTheChoice() {
    QVERIFY(Login(Info()));
    QVERIFY(Select("b"));
    Tick("f1.txt");
    m_env->Server().Stop();
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      d->NameField()->setText("n");
      d->SaveButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("保存任务信息失败!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Info().Tasks().Count(), 0u);
    QCOMPARE(Chosen(), QStringList{H("b/f1.txt")});
    QVERIFY(m_screen->SaveAsTaskButton()->isEnabled());
  }

  // The server refuses the patterns after it took the task: the half-made
  // task is removed again, on the server and in the list.
  void failedContentRemovesTheNewTask() {
    QVERIFY(Login(Info()));
    QVERIFY(Select("b"));
    Tick("f1.txt");
    m_screen->Filter()->IncludeBox()->setPlainText("bad\tpattern");
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      d->NameField()->setText("half");
      d->SaveButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("发送任务过滤信息失败!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Info().Tasks().Count(), 0u);
    Info().Engine().SetEngineActive(false);
    QVERIFY(!Info().Tasks().LoadFromServer(Info()));  // nothing on the server
    QCOMPARE(Info().Tasks().Count(), 0u);
    QCOMPARE(Chosen(), QStringList{H("b/f1.txt")});
  }

  void folderSyncMirrorsAFolderOnce() {
    QVERIFY(Login(Info()));
    auto* sync = m_shell->Screens().Embed<TForm_BR_FileSync>(m_panel.get(), false);
    QVERIFY(sync->Tree()->Desktop()->child(0)->data(0, Qt::CheckStateRole).isNull());
    sync->Tree()->setCurrentItem(sync->Tree()->Desktop());
    sync->RunNowButton()->click();
    QVERIFY2(HasNote(U("还未选择目标!"), 2), qPrintable(DescribeNotes()));
    QVERIFY(sync->Tree()->Reveal(sync->Tree()->Desktop()->child(0), H("b")));
    KeepFixtureIncluded(sync->Filter());
    sync->RunNowButton()->click();
    QCOMPARE(Info().Tasks().Count(), 1u);
    const auto id = Info().Tasks().Snapshot().at(0)->TaskID;
    QVERIFY(HasNote(U("任务") + QString::number(id) + U("已启动,请到执行区查看详情..."), 0));
    QCOMPARE(Front(m_panel.get()), static_cast<QWidget*>(sync));
    QTRY_VERIFY_WITH_TIMEOUT(Info().Tasks().Count() == 0, 20000);
    QStringList mirrored;
    for (const auto& e : api::BrowerShowFileObject(Info().Pool(), "ann", 200,
                                                   H("b").toStdString()).value)
      mirrored << QString::fromStdString(e.ObjectName);
    mirrored.sort();
    QCOMPARE(mirrored, (QStringList{"f1.txt", "f2.txt", "f3.txt"}));
    QCOMPARE(sync->Tree()->SelectedPath(), H("b"));  // the choice stays
  }

  void helpLinksOpenTheirTopics() {
    m_screen->HelpLink()->linkActivated("help");
    QVERIFY(m_shell->HelpPopup());
    QCOMPARE(m_screen->HelpLink()->text().contains(U("不明白文件备份?请点击这里")), true);
  }
};

QTEST_MAIN(FileBackupTest)
#include "FileBackupTest.moc"
