// The progress monitor against a real run on the real server: rows follow
// the task list, counters and bars move, pause, resume and stop act on the
// task; and the figures it computes.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "UiTestSupport.h"
#include "client/TaskMakers.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/backup/ProgressFigures.h"
#include "ui/backup/TForm_BR_Process.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kStateColumn = 3;

}  // namespace

class ProgressMonitorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_BR_Process> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_Process& Screen() { return *m_screen; }

  // A folder of many small files in a few sub-folders: long enough a run
  // at the standard pacing to be watched.
  std::string ManyFiles(int folders, int perFolder) {
    const fs::path root = fs::path(m_env->Scratch()) / "source";
    for (int f = 0; f < folders; ++f) {
      const fs::path dir = root / ("folder" + std::to_string(f));
      fs::create_directories(dir);
      for (int i = 0; i < perFolder; ++i)
        std::ofstream(dir / ("file" + std::to_string(i) + ".txt")) << std::string(2048, 'a' + f);
    }
    return root.string();
  }

  TTaskObjectPtr StartBackupOf(const std::string& folder) {
    TTaskObjectPtr task = MakeFileBackupTask(Info(), {{folder, true}});
    if (!task) return nullptr;
    Info().Tasks().Add(task);
    return Info().Tasks().RequestStart(task->TaskID, false, Info().Now()) ? task : nullptr;
  }

  QString RowState() const {
    QTreeWidgetItem* row = m_screen->TaskRows()->topLevelItem(0);
    return row ? row->text(kStateColumn) : QString();
  }
  QString TickedRowState() {
    Screen().Tick();
    return RowState();
  }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    TSettings s = Info().Settings();
    s.Pacing = TPacing::Standard;
    Info().SetSettings(s);
    m_shell = std::make_unique<TUiShell>(Info());
    m_screen = std::make_unique<TForm_BR_Process>(*m_shell);
  }

  void cleanup() {
    m_screen.reset();
    m_shell.reset();
    m_env.reset();
  }

  void overallPercentRules_data() {
    QTest::addColumn<qint64>("part");
    QTest::addColumn<qint64>("whole");
    QTest::addColumn<int>("percent");
    QTest::newRow("nothing to do") << qint64(0) << qint64(0) << 0;
    QTest::newRow("zero divisor") << qint64(7) << qint64(0) << 0;
    QTest::newRow("half") << qint64(50) << qint64(100) << 50;
    QTest::newRow("rounded down") << qint64(2) << qint64(3) << 66;
    QTest::newRow("done plus failed above needed") << qint64(150) << qint64(100) << 100;
    QTest::newRow("beyond 32 bits") << qint64(6000000000) << qint64(12000000000) << 50;
    QTest::newRow("huge, no overflow")
        << qint64(9000000000000000000) << qint64(9100000000000000000) << 98;
  }
  void overallPercentRules() {
    QFETCH(qint64, part);
    QFETCH(qint64, whole);
    QFETCH(int, percent);
    QCOMPARE(OverallPercent(part, whole), percent);
  }

  void longNamesLoseTheirMiddleAndKeepTheFileName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");
    const QString deep = "/home/ann/" + QString(80, 'd') + "/report.txt";
    QTest::newRow("short stays") << "/home/ann/a.txt"
                                 << "/home/ann/a.txt";
    QTest::newRow("seventy stays") << QString(70, 'x') << QString(70, 'x');
    QTest::newRow("deep folder") << deep << deep.left(58) + U("…") + "/report.txt";
    const QString longName = "/d/" + QString(90, 'n') + ".txt";
    QTest::newRow("long file name keeps its end") << longName << U("…") + longName.right(69);
  }
  void longNamesLoseTheirMiddleAndKeepTheFileName() {
    QFETCH(QString, path);
    QFETCH(QString, shown);
    const QString got = ElideMiddle(path);
    QCOMPARE(got, shown);
    QVERIFY(got.size() <= 70);
  }

  void withoutTasksThePanelsAreEmpty() {
    QVERIFY(Screen().Timer()->isActive());
    QCOMPARE(Screen().Timer()->interval(), 1000);
    Screen().Tick();
    QCOMPARE(Screen().TaskRows()->topLevelItemCount(), 0);
    QCOMPARE(Screen().Caption()->text(), U("任 务 执 行 信 息 监 视"));
    QVERIFY(!Screen().StopButton()->isEnabled());
    QCOMPARE(Screen().FileBar()->value(), 0);
    QVERIFY(Screen().TotalRate()->text().isEmpty());
  }

  void captionNamesEveryCounter() {
    QCOMPARE(TForm_BR_Process::CaptionText(4, 1, 900, 300, 250, 120, 3),
             U(" 总文件夹：4 剩余文件夹：1 总文件：900 已检测文件：300 需传输文件：250"
               " 已传输文件：120 传输错误文件: 3"));
  }

  // One run watched from start to stop: the row and its state, moving
  // counters, pause and resume by the toolbar, stop removing the row.
  void followsARealRunThroughPauseResumeAndStop() {
    QVERIFY(Login(Info()));
    TTaskObjectPtr task = StartBackupOf(ManyFiles(6, 250));
    QVERIFY(task);

    QTRY_COMPARE_WITH_TIMEOUT(TickedRowState(), U("运行中"), 10000);
    QTreeWidgetItem* row = Screen().TaskRows()->topLevelItem(0);
    QCOMPARE(row->text(0), U("↑"));
    QCOMPARE(row->text(1), QString::fromStdString(task->TaskName));
    QCOMPARE(row->text(2), U("备份文件"));
    QVERIFY(!row->text(4).isEmpty());

    // Counters move between ticks, and with them the file bar.
    QTRY_VERIFY_WITH_TIMEOUT((Screen().Tick(), task->PostBag.Counters().FileDoneCount > 0), 20000);
    const QString before = Screen().Caption()->text();
    QVERIFY2(before.startsWith(U(" 总文件夹：7 ")), qPrintable(before));  // the root and six
    QTRY_VERIFY_WITH_TIMEOUT((Screen().Tick(), Screen().Caption()->text() != before), 10000);
    QVERIFY(Screen().BytesMoved()->text().startsWith(U("已传输：")));
    QVERIFY(Screen().TotalRate()->text().endsWith("KB/S"));

    Screen().TaskRows()->setCurrentItem(row);
    QVERIFY(Screen().StopButton()->isEnabled());
    QVERIFY(Screen().PauseButton()->isEnabled());
    QVERIFY(!Screen().ResumeButton()->isEnabled());

    Screen().PauseButton()->click();
    QCOMPARE(task->State(), std::uint8_t(kStatePaused));
    QCOMPARE(RowState(), U("暂停中"));
    QVERIFY(!Screen().PauseButton()->isEnabled());
    QVERIFY(Screen().ResumeButton()->isEnabled());

    Screen().ResumeButton()->click();
    QCOMPARE(task->State(), std::uint8_t(kStateRunning));  // it is the current task
    QCOMPARE(RowState(), U("运行中"));
    const std::int64_t doneAtResume = task->PostBag.Counters().FileDoneCount;
    QTRY_VERIFY_WITH_TIMEOUT(task->PostBag.Counters().FileDoneCount > doneAtResume, 10000);

    Screen().StopButton()->click();
    QCOMPARE(QString::fromStdString(TaskStateName(task->State())), U("已终止"));
    QCOMPARE(Screen().TaskRows()->topLevelItemCount(), 0);
    QCOMPARE(Screen().Caption()->text(), U("任 务 执 行 信 息 监 视"));
    QVERIFY(!Screen().StopButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(Info().CurrentTask() != task, 20000);
  }

  // A chosen row whose task ended between two ticks goes when it is shown.
  void aChosenRowOfAnEndedTaskGoesWhenShown() {
    QVERIFY(Login(Info()));
    TTaskObjectPtr task = StartBackupOf(ManyFiles(2, 200));
    QVERIFY(task);
    QTRY_VERIFY_WITH_TIMEOUT((Screen().Refresh(), Screen().TaskRows()->topLevelItemCount() == 1),
                             10000);
    Screen().TaskRows()->setCurrentItem(Screen().TaskRows()->topLevelItem(0));
    Info().Tasks().RequestStop(task->TaskID, false);
    Screen().ShowSelectedTask();
    QCOMPARE(Screen().TaskRows()->topLevelItemCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(Info().CurrentTask() != task, 20000);
  }

  void timeLeftIsKnownOnlyOnceTheWalkIsOver() {
    using namespace std::chrono;
    TTimeLeftEstimate e;
    const auto t0 = TTimeLeftEstimate::Clock::now();
    QVERIFY(!e.Sample(t0, 0, 100, 0));
    QVERIFY(!e.Sample(t0 + seconds(4), 40, 100, 2));  // folders still to walk
    QCOMPARE(e.Sample(t0 + seconds(4), 40, 100, 0).value(), seconds(6));
    QCOMPARE(e.Sample(t0 + seconds(9), 100, 100, 0).value(), seconds(0));
    QCOMPARE(FormatDuration(seconds(3725)), QString("1:02:05"));
    QCOMPARE(FormatBytes(1536), QString("1.50 KB"));
  }
};

QTEST_MAIN(ProgressMonitorTest)
#include "ProgressMonitorTest.moc"
