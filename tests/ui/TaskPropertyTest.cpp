// The property dialogs of named file backup and folder sync tasks against a
// real server: the checks of "确定", what a confirmed dialog stores (read
// back from the server as at the next sign-in), a stored schedule kept while
// it is off, the failure notes, Esc, and the folder and file pickers.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/TaskApi.h"
#include "client/FileTaskSaving.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "platform/LocalTime.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/FilterPage.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/backup/TForm_BR_TaskList_FileBackup.h"
#include "ui/backup/TForm_BR_TaskList_FileSync.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

DateTime LocalAt(int year, int month, int day, int hour, int minute) {
  return *FromLocalDateTime(TLocalDateTime{year, month, day, hour, minute, 0, 0});
}

QStringList Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const auto& line : lines) out << QString::fromStdString(line);
  return out;
}

}  // namespace

class TaskPropertyTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TTaskFilePropertyDialog> m_dialog;
  fs::path m_docs, m_photos, m_file;

  TPublicInfo& Info() { return m_env->Info(); }
  TTaskFilePropertyDialog& Dialog() { return *m_dialog; }

  // A named task on the server, made as the creation screens make one, and
  // the task list loaded again from the server.
  std::int32_t AddTask(int kind, const std::function<void(TTaskObject&)>& fill = {}) {
    TTaskObjectPtr task = CreateTaskObject(kind, 0, TUiTestEnv::kUser);
    task->TaskID = Info().Tasks().NewTaskID(Info().Now());
    task->TaskKind = static_cast<std::int16_t>(kind);
    task->TaskName = kind == kKindFileSync ? "文档同步" : "文档备份";
    task->ScheduleInfo.DelayExcuteMinute = 10;
    task->FileObjects.Items.push_back({m_docs.string(), 1, -1, -1, -1});
    task->FilterInfo.IncludeList = {"*.doc", "*.txt"};
    task->FilterInfo.ExcludeList = {"~", "*.tmp"};
    if (fill) fill(*task);
    if (!InsertTaskOnServer(Info(), *task) || !SendFileTaskContent(Info(), *task)) return -1;
    return Info().Tasks().LoadFromServer(Info()) ? task->TaskID : -1;
  }
  // The record as the next sign-in reads it.
  TTaskObjectPtr Reloaded(std::int32_t taskId) {
    if (!Info().Tasks().LoadFromServer(Info())) return nullptr;
    return Info().Tasks().FindTask(taskId);
  }
  TTaskFilePropertyDialog& Open(int kind, std::int32_t taskId) {
    if (kind == kKindFileSync)
      m_dialog = std::make_unique<TForm_BR_TaskList_FileSync>(*m_shell, taskId);
    else
      m_dialog = std::make_unique<TForm_BR_TaskList_FileBackup>(*m_shell, taskId);
    m_dialog->show();
    return *m_dialog;
  }
  QStringList Rows() {
    QStringList rows;
    QTreeWidget* list = Dialog().ObjectList();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      rows << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
    return rows;
  }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_docs = fs::path(m_env->Scratch()) / "docs";
    m_photos = fs::path(m_env->Scratch()) / "photos";
    m_file = fs::path(m_env->Scratch()) / "notes.txt";
    fs::create_directories(m_docs);
    fs::create_directories(m_photos);
    std::ofstream(m_file) << "notes";
    QVERIFY(Login(Info()));
    Info().Engine().SetEngineActive(false);
    m_shell = std::make_unique<TUiShell>(Info());
  }

  void cleanup() {
    CloseAllNotes();
    m_dialog.reset();
    m_shell.reset();
    m_env.reset();
  }

  void okChecksItsInput_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("error");
    for (int kind : {100, 200}) {
      const QByteArray k = kind == 100 ? "backup, " : "sync, ";
      QTest::newRow(k + "empty name") << kind << "name" << U("任务名称不能为空!");
      QTest::newRow(k + "blank name") << kind << "blank" << U("任务名称不能为空!");
      QTest::newRow(k + "no object") << kind << "objects"
                                     << (kind == 100 ? U("任务对象不能为空!")
                                                     : U("目标文件夹不能为空!"));
      QTest::newRow(k + "weekly without a day")
          << kind << "weekday" << U("当前时间策略下，至少要选中一天!");
    }
  }
  void okChecksItsInput() {
    QFETCH(int, kind);
    QFETCH(QString, change);
    QFETCH(QString, error);
    const std::int32_t id = AddTask(kind);
    QVERIFY(id > 0);
    Open(kind, id);
    QVERIFY(Dialog().Loaded());
    if (change == "name") Dialog().NameBox()->clear();
    if (change == "blank") Dialog().NameBox()->setText("   ");
    if (change == "objects") Dialog().ObjectList()->clear();
    if (change == "weekday") {
      Dialog().NameBox()->setText("改过的名字");
      Dialog().Schedule()->ScheduleSwitch()->setChecked(true);
      Dialog().Schedule()->KindButton(2)->click();
      for (int d = 0; d < 7; ++d) Dialog().Schedule()->WeekDay(d)->setChecked(false);
    }
    Dialog().OkButton()->click();
    QVERIFY2(HasNote(error, 2), qPrintable(DescribeNotes()));
    QVERIFY(Dialog().isVisible());
    QCOMPARE(Dialog().result(), int(QDialog::Rejected));
    // Nothing reached the server or the record.
    const TTaskObjectPtr task = Reloaded(id);
    QCOMPARE(QString::fromStdString(task->TaskName),
             kind == kKindFileSync ? U("文档同步") : U("文档备份"));
    QCOMPARE(task->FileObjects.Items.size(), std::size_t(1));
    QVERIFY(!task->ScheduleInfo.IsEnableSchedule);
  }

  // Everything the file backup dialog shows survives "确定" and a new
  // sign-in: name, two-line remark, delay, backup-set option, a monthly
  // schedule by item index, objects in order, patterns, the size range, the
  // time condition off and the attribute exclusion.
  void fileBackupChangesSurviveAReload() {
    const std::int32_t id = AddTask(kKindFileBackup, [](TTaskObject& t) {
      t.FilterInfo.FilterCreateDate = true;
      t.FilterInfo.MinFileCreateDate = LocalAt(2026, 1, 1, 0, 0);
      t.FilterInfo.MaxFileCreateDate = LocalAt(2026, 2, 1, 0, 0);
    });
    Open(kKindFileBackup, id);
    QCOMPARE(Rows(), QStringList{QString::fromStdString(m_docs.string()) + U("|文件夹")});
    QVERIFY(Dialog().Filter()->TimeSwitch()->isChecked());
    QVERIFY(Dialog().Filter()->CreateTimeButton()->isChecked());

    Dialog().NameBox()->setText("月度备份");
    Dialog().CommentBox()->setPlainText("第一行\n第二行");
    Dialog().DelayBox()->setValue(25);
    Dialog().BackupModeBox()->setChecked(true);
    TSchedulePanel* s = Dialog().Schedule();
    s->ScheduleSwitch()->setChecked(true);
    s->StartDate()->setDate(QDate(2026, 12, 7));
    s->StartTime()->setTime(QTime(9, 30, 15));
    s->KindButton(3)->click();
    s->MonthlyMonths()->setValue(2);
    s->MonthlyPrefix()->setCurrentIndex(3);
    s->MonthlyDay()->setCurrentIndex(5);
    Dialog().AddObject(QString::fromStdString(m_file.string()), false);
    Dialog().AddObject(QString::fromStdString(m_photos.string()), true);
    TFilterPage* f = Dialog().Filter();
    f->IncludeBox()->setPlainText("*.doc\n*.xls");
    f->ExcludeBox()->setPlainText("~\n*.bak\n/tmp");
    f->TimeSwitch()->setChecked(false);
    f->SizeSwitch()->setChecked(true);
    f->MinSize()->setValue(5);
    f->MaxSize()->setValue(50);
    f->AttributeSwitch()->setChecked(true);
    f->HiddenBox()->setChecked(true);

    Dialog().OkButton()->click();
    QVERIFY2(HasNote(U("更新任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QCOMPARE(Dialog().result(), int(QDialog::Accepted));
    // The record in memory took the new values at once.
    QCOMPARE(Info().Tasks().FindTask(id)->TaskName, std::string("月度备份"));

    const TTaskObjectPtr task = Reloaded(id);
    QVERIFY(task);
    QCOMPARE(task->TaskName, std::string("月度备份"));
    QCOMPARE(task->Comment, std::string("第一行\r\n第二行"));
    QVERIFY(task->BackupMode);
    const TTaskScheduleInfo& r = task->ScheduleInfo;
    QVERIFY(r.IsEnableSchedule);
    QCOMPARE(r.DelayExcuteMinute, 25);
    QCOMPARE(QString::fromStdString(FormatDateTime(r.Schedule_StartTime)),
             QString("2026-12-07 09:30:15"));
    QCOMPARE(r.Schedule_Kind, 3);
    QCOMPARE(r.Monthly_Months, 2);
    QCOMPARE(r.Monthly_Prefix, 3);
    QCOMPARE(r.Monthly_Day, 5);
    QCOMPARE(task->FileObjects.Items.size(), std::size_t(3));
    QCOMPARE(task->FileObjects.Items[1].ObjectName, m_file.string());
    QCOMPARE(int(task->FileObjects.Items[1].ObjectKind), 0);
    QCOMPARE(task->FileObjects.Items[2].ObjectName, m_photos.string());
    QCOMPARE(int(task->FileObjects.Items[2].ObjectKind), 1);
    const TTaskFilterInfo& fi = task->FilterInfo;
    QCOMPARE(Lines(fi.IncludeList), (QStringList{"*.doc", "*.xls"}));
    QCOMPARE(Lines(fi.ExcludeList), (QStringList{"~", "*.bak", "/tmp"}));
    QVERIFY(!fi.FilterCreateDate);
    QVERIFY(!fi.FilterUpdateDate);
    QVERIFY(fi.FilterSize);
    QCOMPARE(fi.MinFileSize, 5);
    QCOMPARE(fi.MaxFileSize, 50);
    QVERIFY(fi.FilterAttribute);
    QVERIFY(fi.IsFilterHidden);
    QVERIFY(!fi.IsFilterReadOnly);

    // A new dialog shows what was stored.
    Open(kKindFileBackup, id);
    QCOMPARE(Dialog().NameBox()->text(), U("月度备份"));
    QCOMPARE(Dialog().CommentBox()->toPlainText(), U("第一行\n第二行"));
    QCOMPARE(Dialog().DelayBox()->value(), 25);
    QVERIFY(Dialog().Schedule()->KindButton(3)->isChecked());
    QCOMPARE(Dialog().Schedule()->MonthlyDay()->currentIndex(), 5);
    QCOMPARE(Rows().size(), 3);
    QCOMPARE(Dialog().Filter()->ExcludeBox()->toPlainText(), QString("~\n*.bak\n/tmp"));
    QVERIFY(!Dialog().Filter()->TimeSwitch()->isChecked());
    QVERIFY(!Dialog().Filter()->CreateTimeButton()->isChecked());
    QVERIFY(!Dialog().Filter()->CreateTimeButton()->isEnabled());
  }

  // Emptying both pattern boxes of a folder sync task forgets the patterns
  // on the server too; the folder changed with "变更文件夹" replaces the old.
  void folderSyncEmptiedPatternsAreClearedOnTheServer() {
    const std::int32_t id = AddTask(kKindFileSync);
    QCOMPARE(Info().Tasks().FindTask(id)->FilterInfo.IncludeList.size(), std::size_t(2));
    Open(kKindFileSync, id);
    QVERIFY(!Dialog().BackupModeBox());
    QVERIFY(!Dialog().AddFileButton());
    Dialog().AddObject(QString::fromStdString(m_photos.string()), true);
    QCOMPARE(Rows(), QStringList{QString::fromStdString(m_photos.string()) + U("|文件夹")});
    Dialog().Filter()->IncludeBox()->clear();
    Dialog().Filter()->ExcludeBox()->clear();
    Dialog().OkButton()->click();
    QVERIFY2(HasNote(U("更新任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QVERIFY(Info().Tasks().FindTask(id)->FilterInfo.ExcludeList.empty());

    const TTaskObjectPtr task = Reloaded(id);
    QVERIFY(task->FilterInfo.IncludeList.empty());
    QVERIFY(task->FilterInfo.ExcludeList.empty());
    QCOMPARE(task->FileObjects.Items.size(), std::size_t(1));
    QCOMPARE(task->FileObjects.Items[0].ObjectName, m_photos.string());
    QCOMPARE(int(task->FileObjects.Items[0].ObjectKind), 1);
  }

  // A schedule switched off keeps its settings through the dialog: "确定"
  // sends back what was stored, not the dialog's defaults.
  void scheduleSettingsAreKeptWhileItIsOff_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("file backup") << 100;
    QTest::newRow("folder sync") << 200;
  }
  void scheduleSettingsAreKeptWhileItIsOff() {
    QFETCH(int, kind);
    const std::int32_t id = AddTask(kind, [](TTaskObject& t) {
      TTaskScheduleInfo& s = t.ScheduleInfo;
      s.IsEnableSchedule = false;
      s.Schedule_StartTime = LocalAt(2026, 3, 4, 7, 45);
      s.Schedule_Kind = 2;
      s.Weekly_Weeks = 3;
      s.IsWeekly_Day[0] = s.IsWeekly_Day[3] = true;
      s.Periodical_Days = 2;
      s.Periodical_Hours = 5;
      s.Periodical_Minites = 40;
      s.Daily_Days = 6;
      s.Monthly_Months = 4;
      s.Monthly_Prefix = 2;
      s.Monthly_Day = 3;
      s.DelayExcuteMinute = 30;
    });
    Open(kind, id);
    QVERIFY(!Dialog().Schedule()->ScheduleSwitch()->isChecked());
    QVERIFY(Dialog().Schedule()->KindButton(2)->isChecked());
    QCOMPARE(Dialog().Schedule()->WeeklyWeeks()->value(), 3);
    QCOMPARE(Dialog().DelayBox()->value(), 30);
    Dialog().OkButton()->click();
    QVERIFY2(HasNote(U("更新任务信息成功!"), 0), qPrintable(DescribeNotes()));

    const TTaskScheduleInfo s = Reloaded(id)->ScheduleInfo;
    QVERIFY(!s.IsEnableSchedule);
    QCOMPARE(QString::fromStdString(FormatDateTime(s.Schedule_StartTime)),
             QString("2026-03-04 07:45:00"));
    QCOMPARE(s.Schedule_Kind, 2);
    QCOMPARE(s.Weekly_Weeks, 3);
    QVERIFY(s.IsWeekly_Day[0] && s.IsWeekly_Day[3] && !s.IsWeekly_Day[1]);
    QCOMPARE(s.Periodical_Days, 2);
    QCOMPARE(s.Periodical_Hours, 5);
    QCOMPARE(s.Periodical_Minites, 40);
    QCOMPARE(s.Daily_Days, 6);
    QCOMPARE(s.Monthly_Months, 4);
    QCOMPARE(s.Monthly_Prefix, 2);
    QCOMPARE(s.Monthly_Day, 3);
    QCOMPARE(s.DelayExcuteMinute, 30);
  }

  void failedSaveKeepsTheDialogAndTheRecord_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("error");
    QTest::newRow("backup, server away") << 100 << "server" << U("更新任务信息失败!");
    QTest::newRow("sync, server away") << 200 << "server" << U("更新任务信息失败1");
    QTest::newRow("backup, task gone from the list") << 100 << "gone" << U("更新任务信息失败!");
    QTest::newRow("sync, task never in the list") << 200 << "unknown" << U("更新任务信息失败1");
  }
  void failedSaveKeepsTheDialogAndTheRecord() {
    QFETCH(int, kind);
    QFETCH(QString, cause);
    QFETCH(QString, error);
    const std::int32_t id = AddTask(kind);
    const TTaskObjectPtr task = Info().Tasks().FindTask(id);
    Open(kind, cause == "unknown" ? 4711 : id);
    QCOMPARE(Dialog().Loaded(), cause != "unknown");
    if (cause == "unknown") Dialog().AddObject(QString::fromStdString(m_docs.string()), true);
    Dialog().NameBox()->setText("改名");
    if (cause == "server") m_env->Server().Stop();
    if (cause == "gone") Info().Tasks().Remove(task.get());
    Dialog().OkButton()->click();
    QVERIFY2(HasNote(error, 2), qPrintable(DescribeNotes()));
    QVERIFY(Dialog().isVisible());
    QVERIFY(Dialog().OkButton()->isEnabled());
    QVERIFY(Dialog().CancelButton()->isEnabled());
    {
      auto lock = task->Lock();
      QCOMPARE(task->TaskName, kind == kKindFileSync ? std::string("文档同步")
                                                     : std::string("文档备份"));
    }
  }

  void escapeClosesWithoutSaving() {
    const std::int32_t id = AddTask(kKindFileBackup);
    Open(kKindFileBackup, id);
    Dialog().NameBox()->setText("不要保存");
    QTest::keyClick(&Dialog(), Qt::Key_Escape);
    QVERIFY(!Dialog().isVisible());
    QCOMPARE(Dialog().result(), int(QDialog::Rejected));
    QCOMPARE(Info().Tasks().FindTask(id)->TaskName, std::string("文档备份"));
    QCOMPARE(Reloaded(id)->TaskName, std::string("文档备份"));
  }

  // The buttons of "任务内容": what the picker answers becomes a row.
  void contentButtonsAddAndRemoveRows() {
    QStringList asked;
    QString answer;
    auto picker = [&](QWidget*, const QString& title, bool folder) {
      asked << title + (folder ? "/folder" : "/file");
      return answer;
    };
    Open(kKindFileBackup, AddTask(kKindFileBackup));
    Dialog().SetPathPicker(picker);
    answer = QString::fromStdString(m_photos.string()) + "/";
    Dialog().AddFolderButton()->click();
    answer = QString::fromStdString(m_file.string());
    Dialog().AddFileButton()->click();
    answer.clear();  // cancelled
    Dialog().AddFileButton()->click();
    QCOMPARE(asked, (QStringList{U("选择文件夹/folder"), U("选择文件/file"), U("选择文件/file")}));
    const QString docs = QString::fromStdString(m_docs.string());
    QCOMPARE(Rows(), (QStringList{docs + U("|文件夹"),
                                  QString::fromStdString(m_photos.string()) + U("|文件夹"),
                                  QString::fromStdString(m_file.string()) + U("|文件")}));
    Dialog().ObjectList()->setCurrentItem(Dialog().ObjectList()->topLevelItem(1));
    Dialog().RemoveObjectButton()->click();
    QCOMPARE(Rows().size(), 2);
    QVERIFY(!Rows().join(",").contains("photos"));

    Open(kKindFileSync, AddTask(kKindFileSync));
    Dialog().SetPathPicker(picker);
    QCOMPARE(Dialog().AddFolderButton()->text(), U("变更文件夹"));
    answer = QString::fromStdString(m_photos.string());
    Dialog().AddFolderButton()->click();
    QCOMPARE(asked.last(), U("选择文件夹/folder"));
    QCOMPARE(Rows(), QStringList{QString::fromStdString(m_photos.string()) + U("|文件夹")});
  }
};

QTEST_MAIN(TaskPropertyTest)
#include "TaskPropertyTest.moc"
