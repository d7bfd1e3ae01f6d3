// The task list screen against a real server: what it lists and how, the
// start button, the refusals for default and current tasks, deleting on the
// server (with the second look after the question), and the schedule told in
// words.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/TaskApi.h"
#include "client/TaskMakers.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "platform/LocalTime.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/ScheduleWords.h"
#include "ui/backup/TForm_BR_TaskList.h"
#include "ui/backup/TaskFilePropertyDialog.h"
#include "ui/shell/TForm_Help.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

DateTime LocalAt(int year, int month, int day, int hour, int minute) {
  return *FromLocalDateTime(TLocalDateTime{year, month, day, hour, minute, 0, 0});
}

// Answers "no" to every message box shown while it lives and counts them, so
// a test can tell that no question was asked (and never hangs on one).
class TQuestionCounter {
 public:
  TQuestionCounter() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++m_count;
        ClickButton(box, "no");
      }
    });
    m_timer.start(10);
  }
  int Count() const { return m_count; }

 private:
  QTimer m_timer;
  int m_count = 0;
};

TTaskScheduleInfo Weekly(std::initializer_list<int> days, int weeks = 1) {
  TTaskScheduleInfo s;
  s.IsEnableSchedule = true;
  s.Schedule_StartTime = LocalAt(2026, 12, 7, 9, 0);
  s.Schedule_Kind = 2;
  s.Weekly_Weeks = weeks;
  for (int d : days) s.IsWeekly_Day[d] = true;
  return s;
}

}  // namespace

class TaskListTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_BR_TaskList> m_screen;
  fs::path m_folder;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_TaskList& Screen() { return *m_screen; }
  QTreeWidget* Tree() { return Screen().TaskTree(); }
  api::TCaller Caller() { return {TUiTestEnv::kUser, "127.0.0.1", "00-0C-29-3A-5B-7C"}; }

  // A named task of the user on the server with one folder of files, then
  // the task list loaded again from the server (as at the next sign-in).
  std::int32_t AddNamedTask(const std::string& name, int kind,
                            const std::string& comment = "", bool weekly = true) {
    api::TTaskDefinition t;
    t.UCode = TUiTestEnv::kUser;
    t.TaskID = Info().Tasks().NewTaskID(Info().Now());
    t.Kind = kind;
    t.Name = name;
    t.Comment = comment;
    if (weekly) {
      t.Schedule.IsEnableSchedule = true;
      t.Schedule.Schedule_StartTime = LocalAt(2026, 12, 7, 9, 0);
      t.Schedule.Schedule_Kind = 2;
      t.Schedule.Weekly_Weeks = 1;
      t.Schedule.IsWeekly_Day[0] = t.Schedule.IsWeekly_Day[3] = true;
    }
    if (!api::TaskInsert(Info().Pool(), Caller(), t)) return -1;
    if (!api::TaskSetFileObject(Info().Pool(), Caller(), TUiTestEnv::kUser, t.TaskID,
                                {{m_folder.string(), true}}))
      return -1;
    return Info().Tasks().LoadFromServer(Info()) ? t.TaskID : -1;
  }
  bool OnServer(std::int32_t taskId) {
    const auto listed = api::TaskSelectByUser(Info().Pool(), TUiTestEnv::kUser);
    if (!listed) qWarning("task list not read: %s", listed.status.Describe().c_str());
    for (const auto& t : listed.value)
      if (t.ID == taskId) return true;
    return false;
  }
  int RowOf(std::int32_t taskId) {
    for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
      if (Tree()->topLevelItem(i)->data(0, TForm_BR_TaskList::kKeyRole).toString() ==
          QString::number(taskId))
        return i;
    return -1;
  }
  void Choose(std::int32_t taskId) { QVERIFY(Screen().SelectTask(taskId)); }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_folder = fs::path(m_env->Scratch()) / "docs";
    fs::create_directories(m_folder);
    std::ofstream(m_folder / "a.txt") << "first file";
    std::ofstream(m_folder / "b.txt") << "second file";
    QVERIFY(Login(Info()));
    // Started tasks stay waiting unless a test lets the dispatcher run.
    Info().Engine().SetEngineActive(false);
    m_shell = std::make_unique<TUiShell>(Info());
    m_screen = std::make_unique<TForm_BR_TaskList>(*m_shell);
  }

  void cleanup() {
    CloseAllNotes();
    Info().Engine().ClearCurrentTask();
    m_screen.reset();
    m_shell.reset();
    m_env.reset();
  }

  void listsNamedTasksWithTheirColumns() {
    QCOMPARE(m_env->Server()
                 .Admin({"task", "add-default", U("部门文档").toStdString(), "--kind", "200",
                         "--folder", m_folder.string(), "--assign", TUiTestEnv::kUser})
                 .exitCode,
             0);
    const std::int32_t named = AddNamedTask("周报备份", 100, "第一行\r\n第二行");
    QVERIFY(named > 0);
    // A one-off run is in the list too, but not on this screen.
    TTaskObjectPtr once = MakeFileBackupTask(Info(), {{m_folder.string(), true}});
    Info().Tasks().Add(once);

    Screen().Opening();
    QCOMPARE(Tree()->topLevelItemCount(), 2);
    QVERIFY(Tree()->hasFocus() || !Screen().isVisible());
    QCOMPARE(Tree()->currentItem(), Tree()->topLevelItem(0));
    QVERIFY(Screen().StartButton()->isEnabled());
    QVERIFY(Screen().DeleteButton()->isEnabled());
    QVERIFY(Screen().PropertyButton()->isEnabled());

    const int row = RowOf(named);
    QVERIFY(row >= 0);
    QTreeWidgetItem* item = Tree()->topLevelItem(row);
    const TTaskObjectPtr task = Info().Tasks().FindTask(named);
    QCOMPARE(item->text(TForm_BR_TaskList::kColName), U("周报备份"));
    QCOMPARE(item->text(TForm_BR_TaskList::kColKind), U("备份文件"));
    QCOMPARE(item->text(TForm_BR_TaskList::kColDefault), QString());
    QCOMPARE(item->text(TForm_BR_TaskList::kColCreated),
             QString::fromStdString(FormatDateTime(task->CreateDate)));
    QCOMPARE(item->text(TForm_BR_TaskList::kColComment), U("第一行 第二行"));
    QCOMPARE(item->data(0, TForm_BR_TaskList::kKindRole).toInt(), 100);
    QVERIFY2(item->toolTip(TForm_BR_TaskList::kColName).contains(U("每周一、四 09:00")),
             qPrintable(item->toolTip(0)));
    QTreeWidgetItem* byDefault = Tree()->topLevelItem(1 - row);
    QCOMPARE(byDefault->text(TForm_BR_TaskList::kColDefault), U("√"));
    QCOMPARE(byDefault->text(TForm_BR_TaskList::kColKind), U("同步文件"));

    // No row chosen: nothing to start, delete or open.
    Tree()->clearSelection();
    QVERIFY(!Screen().StartButton()->isEnabled());
    QVERIFY(!Screen().DeleteButton()->isEnabled());
    QVERIFY(!Screen().PropertyButton()->isEnabled());
    QVERIFY(Screen().RefreshButton()->isEnabled());
  }

  // "刷新" reads the list in memory only: it works with the server gone.
  void refreshShowsANewTaskWithoutTheServer() {
    Screen().Opening();
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QVERIFY(!Screen().StartButton()->isEnabled());
    m_env->Server().Stop();
    TTaskObjectPtr task = CreateTaskObject(200, 0, TUiTestEnv::kUser);
    task->TaskID = 4242;
    task->TaskName = "夜间同步";
    Info().Tasks().Add(task);
    Screen().RefreshButton()->click();
    QCOMPARE(Tree()->topLevelItemCount(), 1);
    QCOMPARE(Tree()->topLevelItem(0)->text(0), U("夜间同步"));
    QCOMPARE(Tree()->currentItem(), Tree()->topLevelItem(0));
    QVERIFY(Screen().RefreshButton()->isEnabled());
  }

  void startTwiceIsRefusedTheSecondTime() {
    const std::int32_t id = AddNamedTask("周报备份", 100);
    Screen().Opening();
    Choose(id);
    Screen().StartButton()->click();
    const QString number = QString::number(id);
    QVERIFY2(HasNote(U("任务") + number + U("已启动,请到执行区查看详情..."), 0),
             qPrintable(DescribeNotes()));
    QCOMPARE(Info().Tasks().FindTask(id)->State(), std::uint8_t(kStateWaiting));
    Screen().StartButton()->click();
    QVERIFY2(HasNote(U("启动任务") + number + U("失败!"), 2), qPrintable(DescribeNotes()));
  }

  // With the dispatcher on, the started task runs and its files reach the
  // server.
  void startedTaskRunsToTheEnd() {
    const std::int32_t id = AddNamedTask("周报备份", 100, "", false);
    Info().Engine().SetEngineActive(true);  // reloads the list from the server
    Screen().Opening();
    Choose(id);
    Screen().StartButton()->click();
    const TTaskObjectPtr task = Info().Tasks().FindTask(id);
    QVERIFY(task);
    QTRY_VERIFY_WITH_TIMEOUT(task->State() == kStateTerminated && !Info().CurrentTask(), 20000);
    QCOMPARE(task->PostBag.Counters().FileDoneCount.load(), std::int64_t(2));
    QCOMPARE(task->PostBag.Counters().FileErrorCount.load(), std::int64_t(0));
  }

  void defaultAndCurrentTasksAreRefused_data() {
    QTest::addColumn<QString>("which");  // default, current, paused
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("warning");
    const QString deleteRefused = U("这是系统缺省任务，不能删除!");
    const QString running = U("当前任务正在运行，不能删除!");
    QTest::newRow("default, delete") << "default" << "delete" << deleteRefused;
    QTest::newRow("default, properties") << "default" << "property"
                                         << U("这是系统缺省任务，不能修改属性!");
    QTest::newRow("default, double click") << "default" << "double"
                                           << U("这是系统缺省任务，不能修改属性!");
    QTest::newRow("current, delete") << "current" << "delete" << running;
    QTest::newRow("current and paused, delete") << "paused" << "delete" << running;
  }
  void defaultAndCurrentTasksAreRefused() {
    QFETCH(QString, which);
    QFETCH(QString, button);
    QFETCH(QString, warning);
    std::int32_t id = -1;
    if (which == "default") {
      const auto added = m_env->Server().Admin({"task", "add-default", "defaults", "--kind", "100",
                                                "--folder", m_folder.string(), "--assign",
                                                TUiTestEnv::kUser});
      QCOMPARE(added.exitCode, 0);
      QVERIFY(Info().Tasks().LoadFromServer(Info()));
      QCOMPARE(Info().Tasks().Count(), std::size_t(1));
      id = Info().Tasks().Snapshot().front()->TaskID;
    } else {
      id = AddNamedTask("周报备份", 100);
      const TTaskObjectPtr task = Info().Tasks().FindTask(id);
      QVERIFY(task->RequestStart(false, Info().Now()));
      if (which == "paused") QVERIFY(task->Pause(false));
      Info().Engine().BeginRun(task);
    }
    Screen().Opening();
    Choose(id);
    TQuestionCounter questions;
    if (button == "delete") Screen().DeleteButton()->click();
    if (button == "property") Screen().PropertyButton()->click();
    if (button == "double")
      emit Tree()->itemDoubleClicked(Tree()->currentItem(), 0);
    QVERIFY2(HasNote(warning, 1), qPrintable(DescribeNotes()));
    QCOMPARE(questions.Count(), 0);
    QVERIFY(OnServer(id));
    QVERIFY(Info().Tasks().FindTask(id));
    QVERIFY(RowOf(id) >= 0);
  }

  void deleteAsksThenRemovesOnTheServer() {
    const std::int32_t keep = AddNamedTask("保留", 200);
    const std::int32_t id = AddNamedTask("周报备份", 100);
    Screen().Opening();
    Choose(id);

    auto no = AnswerNextQuestion(false);
    Screen().DeleteButton()->click();
    QVERIFY(no->Seen);
    QCOMPARE(no->Text, U("确认要删除当前任务?\r\n\r\n任务名称:周报备份"));
    QVERIFY(OnServer(id));
    QCOMPARE(Tree()->topLevelItemCount(), 2);

    auto yes = AnswerNextQuestion(true);
    Screen().DeleteButton()->click();
    QVERIFY(yes->Seen);
    QVERIFY2(HasNote(U("任务[周报备份]删除成功!"), 0), qPrintable(DescribeNotes()));
    QVERIFY(!OnServer(id));
    QVERIFY(OnServer(keep));
    QVERIFY(!Info().Tasks().FindTask(id));
    QCOMPARE(Tree()->topLevelItemCount(), 1);
    QCOMPARE(RowOf(id), -1);
    QVERIFY(Screen().RefreshButton()->isEnabled());
  }

  // The dispatcher may start the task while the question is open: the
  // screen looks again before it removes anything.
  void deleteLooksAgainAfterTheQuestion() {
    const std::int32_t id = AddNamedTask("周报备份", 100);
    Screen().Opening();
    Choose(id);
    auto yes = OnNextModal([&](QWidget* box) {
      const TTaskObjectPtr task = Info().Tasks().FindTask(id);
      task->RequestStart(false, Info().Now());
      Info().Engine().BeginRun(task);
      ClickButton(box, "yes");
    });
    Screen().DeleteButton()->click();
    QVERIFY(yes->Seen);
    QVERIFY2(HasNote(U("当前任务正在运行，不能删除!"), 1), qPrintable(DescribeNotes()));
    QVERIFY(!HasNote(U("任务[周报备份]删除成功!"), 0));
    QVERIFY(OnServer(id));
    QVERIFY(RowOf(id) >= 0);
    QVERIFY(Screen().DeleteButton()->isEnabled());
  }

  void deleteFailuresAreReported_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("task gone from the list") << "gone";
    QTest::newRow("server away") << "server";
  }
  void deleteFailuresAreReported() {
    QFETCH(QString, cause);
    const std::int32_t id = AddNamedTask("周报备份", 100);
    Screen().Opening();
    Choose(id);
    if (cause == "gone") Info().Tasks().Remove(Info().Tasks().FindTask(id).get());
    if (cause == "server") m_env->Server().Stop();
    auto yes = AnswerNextQuestion(true);
    Screen().DeleteButton()->click();
    QVERIFY(yes->Seen);
    QVERIFY2(HasNote(U("任务[周报备份]删除失败!"), 2), qPrintable(DescribeNotes()));
    QVERIFY(RowOf(id) >= 0);
    QVERIFY(Screen().DeleteButton()->isEnabled());
    if (cause == "gone") {
      QVERIFY(OnServer(id));
    } else {
      QVERIFY(Info().Tasks().FindTask(id));
    }
  }

  // The dialog of the row's kind opens; after its "确定" the list shows the
  // new values and the same task stays chosen.
  void propertiesSavedRedrawAndReselect_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("kind");
    QTest::newRow("button, file backup") << "button" << 100;
    QTest::newRow("double click, folder sync") << "double" << 200;
    QTest::newRow("Enter, file backup") << "enter" << 100;
  }
  void propertiesSavedRedrawAndReselect() {
    QFETCH(QString, how);
    QFETCH(int, kind);
    AddNamedTask("第一个", 100);
    const std::int32_t id = AddNamedTask("周报", kind);
    AddNamedTask("第三个", 200);
    Screen().Opening();
    Choose(id);
    auto seen = OnNextModal([](QWidget* w) {
      auto* dialog = qobject_cast<TTaskFilePropertyDialog*>(w);
      if (!dialog) return;
      dialog->NameBox()->setText(U("周报（新）"));
      dialog->OkButton()->click();
    });
    if (how == "button") Screen().PropertyButton()->click();
    if (how == "double") emit Tree()->itemDoubleClicked(Tree()->currentItem(), 0);
    if (how == "enter") QTest::keyClick(Tree(), Qt::Key_Return);
    QVERIFY(seen->Seen);
    QCOMPARE(seen->Caption, kind == 100 ? U("文件备份") : U("文件同步"));
    QVERIFY2(HasNote(U("更新任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QCOMPARE(Tree()->topLevelItemCount(), 3);
    QVERIFY(Tree()->currentItem());
    QCOMPARE(Tree()->currentItem()->text(TForm_BR_TaskList::kColName), U("周报（新）"));
    QCOMPARE(Tree()->currentItem()->data(0, TForm_BR_TaskList::kKeyRole).toString(),
             QString::number(id));
    QVERIFY(Screen().PropertyButton()->isEnabled());
  }

  void helpLinkOpensTheTaskListTopic() {
    Screen().HelpLink()->click();
    TForm_Help* popup = m_shell->HelpPopup();
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->Title(), U("任务列表"));
  }

  void scheduleInWords_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("words");
    QTest::newRow("off") << 0 << U("未启用时间策略，仅手动启动");
    QTest::newRow("weekly Monday and Thursday") << 1 << U("每周一、四 09:00");
    QTest::newRow("every second week, Sunday") << 2 << U("每2周的周日 09:00");
    QTest::newRow("weekly without a day") << 3 << U("每周（未选中任何一天，不会执行）");
    QTest::newRow("daily") << 4 << U("每天 09:00");
    QTest::newRow("every third day") << 5 << U("每3天 09:00");
    QTest::newRow("periodical") << 6 << U("自2026-12-07 09:00起每隔1天30分钟");
    QTest::newRow("periodical zero") << 7 << U("周期为0，不会执行");
    QTest::newRow("monthly") << 8 << U("每月第一个星期一 09:00");
    QTest::newRow("every two months, last Sunday") << 9 << U("每2个月的最后一个星期天 09:00");
  }
  void scheduleInWords() {
    QFETCH(int, which);
    QFETCH(QString, words);
    TTaskScheduleInfo s = Weekly({0, 3});
    switch (which) {
      case 0: s.IsEnableSchedule = false; break;
      case 1: break;
      case 2: s = Weekly({6}, 2); break;
      case 3: s = Weekly({}); break;
      case 4: case 5: s.Schedule_Kind = 1; s.Daily_Days = which == 4 ? 1 : 3; break;
      case 6: case 7:
        s.Schedule_Kind = 0;
        s.Periodical_Days = which == 6 ? 1 : 0;
        s.Periodical_Minites = which == 6 ? 30 : 0;
        break;
      case 8: case 9:
        s.Schedule_Kind = 3;
        s.Monthly_Months = which == 8 ? 1 : 2;
        s.Monthly_Prefix = which == 8 ? 0 : 3;
        s.Monthly_Day = which == 8 ? 1 : 0;
        break;
    }
    QCOMPARE(ScheduleInWords(s), words);
  }
};

QTEST_MAIN(TaskListTest)
#include "TaskListTest.moc"
