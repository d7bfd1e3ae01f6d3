// The shared pieces of the task screens against a real server: the schedule
// controls and the filter page fill a task record, the record is saved as a
// named task (definition, objects, patterns, extended filter), and a reload
// of the task list from the server brings back what was saved.

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QStackedWidget>
#include <QtTest>
#include <vector>
#include <memory>

#include "UiTestSupport.h"
#include "client/FileTaskSaving.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/FilterPage.h"
#include "ui/backup/SchedulePanel.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

class TaskSavingTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  TPublicInfo& Info() { return m_env->Info(); }

  // A named task of kind with id from the list, not yet in it.
  TTaskObjectPtr NewTask(int kind) {
    auto task = CreateTaskObject(kind, 0, Info().UserCode());
    task->TaskID = Info().Tasks().NewTaskID(Info().Now());
    task->TaskName = "文档";
    task->CreateDate = Info().Now();
    return task;
  }

  // Saves task as new, reloads the list from the server, returns the copy.
  TTaskObjectPtr SaveAndReload(const TTaskObjectPtr& task, bool insert = true) {
    if (insert) {
      const auto inserted = InsertTaskOnServer(Info(), *task);
      if (!inserted) qWarning() << inserted.Describe().c_str();
      if (!inserted) return nullptr;
    }
    const auto sent = SendFileTaskContent(Info(), *task);
    if (!sent) qWarning() << sent.Describe().c_str();
    if (!sent) return nullptr;
    if (!Info().Tasks().LoadFromServer(Info())) return nullptr;
    return Info().Tasks().FindTask(task->TaskID);
  }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    QVERIFY(Login(Info()));
    // Only this test loads the list: no reload or scheduled start between.
    Info().Engine().SetEngineActive(false);
  }
  void cleanup() { m_env.reset(); }

  void scheduleControlsFollowTheSwitchAndKeepEveryField() {
    TSchedulePanel panel;
    QVERIFY(!panel.ScheduleSwitch()->isChecked());
    QVERIFY(!panel.StartDate()->isEnabled());
    QCOMPARE(panel.StartTime()->time(), QTime(9, 0, 0));
    QCOMPARE(panel.PeriodicalMinutes()->minimum(), 10);
    QCOMPARE(panel.DailyDays()->minimum(), 1);
    panel.ScheduleSwitch()->setChecked(true);
    QVERIFY(panel.StartDate()->isEnabled());
    panel.KindButton(3)->click();
    QCOMPARE(panel.KindPanels()->currentWidget(), panel.KindPanel(3));

    // Off, monthly: every field survives Load -> Save.
    TTaskScheduleInfo in;
    in.IsEnableSchedule = false;
    in.Schedule_StartTime = FromQDateTime(QDateTime(QDate(2006, 6, 26), QTime(9, 30, 15)));
    in.Schedule_Kind = 3;
    in.Periodical_Days = 2;
    in.Periodical_Hours = 5;
    in.Periodical_Minites = 45;
    in.Daily_Days = 3;
    in.Weekly_Weeks = 2;
    in.IsWeekly_Day[0] = in.IsWeekly_Day[3] = true;
    in.Monthly_Months = 4;
    in.Monthly_Prefix = 3;
    in.Monthly_Day = 5;
    in.DelayExcuteMinute = 33;
    panel.Load(in);
    QVERIFY(!panel.StartDate()->isEnabled());
    QCOMPARE(panel.KindPanels()->currentWidget(), panel.KindPanel(3));
    TTaskScheduleInfo out;
    out.DelayExcuteMinute = 33;
    panel.Save(out);
    QCOMPARE(FormatDateTime(out.Schedule_StartTime), std::string("2006-06-26 09:30:15"));
    const auto fields = [](const TTaskScheduleInfo& s) {
      return std::vector<int>{s.Schedule_Kind, s.Periodical_Days, s.Periodical_Hours,
                              s.Periodical_Minites, s.Daily_Days, s.Weekly_Weeks,
                              s.IsWeekly_Day[0], s.IsWeekly_Day[1], s.IsWeekly_Day[3],
                              s.IsWeekly_Day[6], s.Monthly_Months, s.Monthly_Prefix,
                              s.Monthly_Day, s.DelayExcuteMinute};
    };
    QCOMPARE(fields(out), fields(in));
    QCOMPARE(out.IsEnableSchedule, false);
  }

  void scheduleChecks_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("weekday");
    QTest::addColumn<QString>("message");
    QTest::newRow("weekly without a day") << true << 2 << false << U("当前时间策略下，至少要选中一天!");
    QTest::newRow("weekly with a day") << true << 2 << true << QString();
    QTest::newRow("off, weekly without a day") << false << 2 << false << QString();
    QTest::newRow("monthly") << true << 3 << false << QString();
  }
  void scheduleChecks() {
    QFETCH(bool, on);
    QFETCH(int, kind);
    QFETCH(bool, weekday);
    QFETCH(QString, message);
    TSchedulePanel panel;
    panel.ScheduleSwitch()->setChecked(on);
    panel.KindButton(kind)->click();
    panel.WeekDay(4)->setChecked(weekday);
    QCOMPARE(panel.CheckSchedule(), message);
  }

  void zeroPeriodIsRefused() {
    TSchedulePanel panel;
    TTaskScheduleInfo s;
    s.IsEnableSchedule = true;
    s.Schedule_Kind = 0;
    panel.Load(s);  // the minutes box keeps its least value
    QCOMPARE(panel.CheckSchedule(), QString());
    panel.PeriodicalMinutes()->setMinimum(0);
    panel.PeriodicalMinutes()->setValue(0);
    panel.PeriodicalDays()->setValue(0);
    QCOMPARE(panel.CheckSchedule(), U("不能全部为0!"));
  }

  void filterPageEnablesAndDefaults() {
    TFilterPage page(TFilterPage::TStyle::FileBackupScreen);
    QCOMPARE(page.ExcludeBox()->toPlainText().split('\n'), DefaultExcludeLines());
    QVERIFY(page.IncludeBox()->toPlainText().isEmpty());
    QVERIFY(page.ModifyTimeButton()->isChecked());
    QCOMPARE(page.ModifyFrom()->date(), QDate::currentDate().addDays(-1));
    QCOMPARE(page.ModifyTo()->date(), QDate::currentDate());
    QVERIFY(!page.ModifyFrom()->isEnabled());
    page.TimeSwitch()->setChecked(true);
    QVERIFY(page.ModifyFrom()->isEnabled());
    QVERIFY(!page.CreateFrom()->isEnabled());
    page.CreateTimeButton()->click();
    QVERIFY(page.CreateFrom()->isEnabled());
    QVERIFY(!page.ModifyFrom()->isEnabled());

    page.AttributeSwitch()->setChecked(true);
    page.HiddenBox()->setChecked(true);
    page.AttributeSwitch()->setChecked(false);
    QVERIFY(!page.HiddenBox()->isChecked());

    TFilterPage sync(TFilterPage::TStyle::FolderSyncScreen);
    sync.AttributeSwitch()->setChecked(true);
    sync.HiddenBox()->setChecked(true);
    sync.AttributeSwitch()->setChecked(false);
    QVERIFY(sync.HiddenBox()->isChecked());
    QVERIFY(!sync.HiddenBox()->isEnabled());

    TFilterPage dialog(TFilterPage::TStyle::PropertyDialog);
    QVERIFY(!dialog.CreateTimeButton()->isChecked() && !dialog.ModifyTimeButton()->isChecked());
    QVERIFY(!dialog.CreateTimeButton()->isEnabled());
    dialog.TimeSwitch()->setChecked(true);
    QVERIFY(dialog.CreateTimeButton()->isEnabled());
    dialog.ModifyTimeButton()->click();
    dialog.TimeSwitch()->setChecked(false);
    QVERIFY(!dialog.ModifyTimeButton()->isChecked());
    TTaskFilterInfo f;
    dialog.Save(f);
    QVERIFY(!f.FilterCreateDate && !f.FilterUpdateDate);
  }

  // Definition, objects, 12 patterns and the extended filter come back from
  // the server as the widgets set them.
  void savedBackupTaskComesBackFromTheServer() {
    auto task = NewTask(kKindFileBackup);
    task->Comment = "first line\r\nsecond line";
    task->BackupMode = true;
    TSchedulePanel schedule;
    schedule.ScheduleSwitch()->setChecked(true);
    schedule.KindButton(2)->click();
    schedule.WeekDay(0)->setChecked(true);
    schedule.WeekDay(3)->setChecked(true);
    schedule.StartDate()->setDate(QDate(2006, 6, 26));
    schedule.StartTime()->setTime(QTime(9, 30, 15));
    schedule.Save(task->ScheduleInfo);
    task->ScheduleInfo.DelayExcuteMinute = 25;
    task->FileObjects.Add("/home/ann/docs", 1);
    task->FileObjects.Add("/home/ann/notes.txt", 0);

    TFilterPage filter(TFilterPage::TStyle::FileBackupScreen);
    filter.IncludeBox()->setPlainText("*.doc\n/home/ann/work\n");
    filter.ExcludeBox()->appendPlainText("*.bak\n/var/cache");
    filter.SizeSwitch()->setChecked(true);
    filter.MinSize()->setValue(5);
    filter.MaxSize()->setValue(50);
    filter.Save(task->FilterInfo);
    QCOMPARE(task->FilterInfo.IncludeList.size() + task->FilterInfo.ExcludeList.size(), 12u);

    auto back = SaveAndReload(task);
    QVERIFY(back);
    QCOMPARE(back->TaskName, task->TaskName);
    QCOMPARE(back->Comment, std::string("first line\r\nsecond line"));
    QVERIFY(back->BackupMode);
    const TTaskScheduleInfo& s = back->ScheduleInfo;
    QVERIFY(s.IsEnableSchedule);
    QCOMPARE(s.Schedule_Kind, 2);
    QCOMPARE(FormatDateTime(s.Schedule_StartTime), std::string("2006-06-26 09:30:15"));
    QVERIFY(s.IsWeekly_Day[0] && s.IsWeekly_Day[3]);
    QCOMPARE(std::count(std::begin(s.IsWeekly_Day), std::end(s.IsWeekly_Day), true), 2);
    QCOMPARE(s.DelayExcuteMinute, 25);
    QCOMPARE(back->FileObjects.Items.size(), 2u);
    QCOMPARE(back->FileObjects.Items[0].ObjectName, std::string("/home/ann/docs"));
    QCOMPARE(int(back->FileObjects.Items[0].ObjectKind), 1);
    QCOMPARE(int(back->FileObjects.Items[1].ObjectKind), 0);
    QCOMPARE(back->FilterInfo.IncludeList, task->FilterInfo.IncludeList);
    QCOMPARE(back->FilterInfo.ExcludeList, task->FilterInfo.ExcludeList);
    QVERIFY(back->FilterInfo.FilterSize);
    QCOMPARE(back->FilterInfo.MinFileSize, 5);
    QCOMPARE(back->FilterInfo.MaxFileSize, 50);
    QVERIFY(!back->FilterInfo.FilterCreateDate && !back->FilterInfo.FilterUpdateDate);

    // The page shows the reloaded filter as it was typed.
    TFilterPage shown(TFilterPage::TStyle::FileBackupScreen);
    shown.Load(back->FilterInfo);
    TTaskFilterInfo again;
    shown.Save(again);
    QCOMPARE(again.ExcludeList, task->FilterInfo.ExcludeList);

    // Emptied boxes clear the patterns on the server.
    back->FilterInfo.IncludeList.clear();
    back->FilterInfo.ExcludeList.clear();
    auto cleared = SaveAndReload(back, false);
    QVERIFY(cleared);
    QVERIFY(cleared->FilterInfo.IncludeList.empty());
    QVERIFY(cleared->FilterInfo.ExcludeList.empty());
    QCOMPARE(cleared->FileObjects.Items.size(), 2u);
  }

  void syncTaskSendsOneFolderAndUpdateChangesTheDefinition() {
    auto task = NewTask(kKindFileSync);
    task->BackupMode = true;  // not a file backup: not kept
    task->FileObjects.Add("/home/ann/mirror", 1);
    auto back = SaveAndReload(task);
    QVERIFY(back);
    QCOMPARE(back->FileObjects.Items.size(), 1u);
    QCOMPARE(back->FileObjects.Items[0].ObjectName, std::string("/home/ann/mirror"));
    QCOMPARE(int(back->FileObjects.Items[0].ObjectKind), 1);
    QVERIFY(back->FilterInfo.ExcludeList.empty());

    {
      auto lock = back->Lock();
      back->TaskName = "镜像";
      back->ScheduleInfo.IsEnableSchedule = true;
      back->ScheduleInfo.Schedule_Kind = 1;
      back->ScheduleInfo.Daily_Days = 3;
    }
    QVERIFY(UpdateTaskOnServer(Info(), *back));
    QVERIFY(Info().Tasks().LoadFromServer(Info()));
    auto updated = Info().Tasks().FindTask(task->TaskID);
    QVERIFY(updated);
    QCOMPARE(updated->TaskName, std::string("镜像"));
    QCOMPARE(updated->ScheduleInfo.Daily_Days, 3);
    QCOMPARE(updated->ScheduleInfo.Schedule_Kind, 1);
  }

  void refusedInsertSendsNothingFurther() {
    auto task = NewTask(kKindFileBackup);
    task->FileObjects.Add("/home/ann/docs", 1);
    QVERIFY(InsertTaskOnServer(Info(), *task));
    const auto again = InsertTaskOnServer(Info(), *task);  // the same TaskID
    QVERIFY(!again);
    QCOMPARE(again.failure, api::TApiFailure::Refused);
  }
};

QTEST_MAIN(TaskSavingTest)
#include "TaskSavingTest.moc"
