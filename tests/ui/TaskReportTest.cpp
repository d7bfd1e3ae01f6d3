// The task report after real runs on the real server: the run list, the
// details with the failed file and its reason, the stored tree expanding to
// files, two runs of one two-second step, and the default spans.

#include <fcntl.h>
#include <unistd.h>

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/TaskApi.h"
#include "client/TaskMakers.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "platform/LocalTime.h"
#include "session/DosDateTime.h"
#include "ui/backup/TForm_BR_TaskReport.h"
#include "ui/restore/RunObjectTree.h"
#include "ui/shell/TForm_Process.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

enum { kColName, kColKind, kColDirection, kColStart, kColDone, kColFailed };

// Holds a write lock on a file (as another program would) while it lives.
class THeldFile {
 public:
  explicit THeldFile(const fs::path& path) : m_fd(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    m_held = m_fd >= 0 && ::fcntl(m_fd, F_OFD_SETLK, &lock) == 0;
  }
  ~THeldFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool Held() const { return m_held; }

 private:
  int m_fd = -1;
  bool m_held = false;
};

QDate Today() {
  const TLocalDateTime t = ToLocalDateTime(std::chrono::system_clock::now());
  return QDate(t.year, t.month, t.day);
}

}  // namespace

class TaskReportTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_BR_TaskReport> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_BR_TaskReport& Screen() { return *m_screen; }

  fs::path Source() { return fs::path(m_env->Scratch()) / "docs"; }

  // Backs up the folder once and waits until the run has ended and
  // reported.
  bool RunBackupOf(const fs::path& folder) {
    TTaskObjectPtr task = MakeFileBackupTask(Info(), {{folder.string(), true}});
    if (!task) return false;
    Info().Tasks().Add(task);
    if (!Info().Tasks().RequestStart(task->TaskID, false, Info().Now())) return false;
    const std::int32_t id = task->TaskID;
    return QTest::qWaitFor([&] { return !Info().Tasks().FindTask(id); }, 30000);
  }

  // A run of three good files (one in a sub-folder) and one that another
  // program holds.
  void RunWithOneHeldFile() {
    fs::create_directories(Source());
    std::ofstream(Source() / "a.txt") << "alpha";
    std::ofstream(Source() / "b.txt") << std::string(1500, 'b');
    std::ofstream(Source() / "held.txt") << "busy";
    fs::create_directories(Source() / "sub");
    std::ofstream(Source() / "sub" / "c.txt") << "0123456789";
    THeldFile held(Source() / "held.txt");
    QVERIFY(held.Held());
    QVERIFY(RunBackupOf(Source()));
  }

  QTreeWidgetItem* Run(int i) { return Screen().RunList()->topLevelItem(i); }
  QString FigureText(int i) { return Screen().Figure(i)->text(); }
  void OpenDetailsOf(int row) {
    Screen().RunList()->setCurrentItem(Run(row));
    Screen().DetailsButton()->click();
  }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_screen = std::make_unique<TForm_BR_TaskReport>(*m_shell);
  }

  void cleanup() {
    CloseAllNotes();
    m_screen.reset();
    m_shell.reset();
    m_env.reset();
  }

  void spansComeFromTheNavigationOrAreTheLastWeek() {
    Screen().Opening();
    QCOMPARE(Screen().EndDate()->date(), Today());
    QCOMPARE(Screen().StartDate()->date(), Today().addDays(-7));

    const auto [start, end] = CurrentWeekRange(Info().Now());
    Info().SetSharedParam("TaskReport_StartDate", start);
    Info().SetSharedParam("TaskReport_EndDate", end);
    Screen().Opening();
    QCOMPARE(Screen().StartDate()->date().toString("yyyy-MM-dd"),
             QString::fromStdString(start.substr(0, 10)));
    QCOMPARE(Screen().StartDate()->date().dayOfWeek(), 1);
    QCOMPARE(Screen().EndDate()->date(), Today());
    QVERIFY(!Screen().ShowingDetails());
    QVERIFY(!Screen().BackButton()->isEnabled());
    QVERIFY(Screen().DetailsButton()->isEnabled());
  }

  void withoutConnectionTheListStaysEmpty() {
    Screen().Opening();
    Screen().FindButton()->click();
    QVERIFY2(HasNote(U("网络连接不存在或者未连接上服务器!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Screen().RunList()->topLevelItemCount(), 0);
    QVERIFY(Screen().FindButton()->isEnabled());
  }

  // The whole way: list, details, failed file with its reason, the tree of
  // what was stored, back to the list.
  void aRunWithAFailedFileShowsItsCountsErrorsAndStoredFiles() {
    QVERIFY(Login(Info()));
    RunWithOneHeldFile();
    Screen().Opening();
    Screen().FindButton()->click();
    QCOMPARE(Screen().RunList()->topLevelItemCount(), 1);
    QTreeWidgetItem* run = Run(0);
    QVERIFY(run->text(kColName).startsWith(U("临时任务")));
    QCOMPARE(run->text(kColKind), U("备份文件"));
    QCOMPARE(run->text(kColDirection), U("↑"));
    QCOMPARE(run->text(kColDone), QString("3"));
    QCOMPARE(run->text(kColFailed), QString("1"));
    QVERIFY(run->text(kColStart).startsWith(Today().toString("yyyy-MM-dd ")));
    QVERIFY(run->foreground(kColName).color() != Screen().RunList()->palette().text().color());

    Screen().DetailsButton()->click();  // nothing chosen yet
    QVERIFY2(HasNote(U("请选择一个具体任务"), 1), qPrintable(DescribeNotes()));
    QVERIFY(!Screen().ShowingDetails());

    OpenDetailsOf(0);
    QVERIFY(Screen().ShowingDetails());
    QVERIFY(Screen().BackButton()->isEnabled());
    QVERIFY(!Screen().DetailsButton()->isEnabled());
    QCOMPARE(FigureText(0), QString("2"));      // folders
    QCOMPARE(FigureText(1), QString("4"));      // checked
    QCOMPARE(FigureText(4), QString("4"));      // files
    QCOMPARE(FigureText(5), QString("3"));      // done
    QCOMPARE(FigureText(6), QString("1,515"));  // bytes of the three stored files
    QCOMPARE(FigureText(7), QString("1"));      // failed

    QCOMPARE(Screen().ErrorList()->topLevelItemCount(), 1);
    QTreeWidgetItem* error = Screen().ErrorList()->topLevelItem(0);
    QCOMPARE(error->text(0), QString("held.txt"));
    QVERIFY2(error->text(2).contains(U("文件正被其他程序使用")), qPrintable(error->text(2)));

    TRunObjectTree* tree = Screen().ObjectTree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    const int subAt = TRunObjectTree::ServerFolder(tree->topLevelItem(0)).ends_with("/sub") ? 0 : 1;
    QTreeWidgetItem* folder = tree->topLevelItem(1 - subAt);
    QTreeWidgetItem* sub = tree->topLevelItem(subAt);
    QVERIFY(TRunObjectTree::IsFolderNode(folder));
    QCOMPARE(folder->childCount(), 0);  // files come on expansion
    folder->setExpanded(true);
    QCOMPARE(folder->childCount(), 2);
    QStringList names{folder->child(0)->text(0), folder->child(1)->text(0)};
    names.sort();
    QCOMPARE(names, QStringList({"a.txt", "b.txt"}));
    QTreeWidgetItem* b = folder->child(0)->text(0) == "b.txt" ? folder->child(0) : folder->child(1);
    QCOMPARE(b->text(1), QString("1,500"));
    QCOMPARE(TRunObjectTree::FileSize(b), 1500);
    QVERIFY(b->text(2).startsWith(Today().toString("yyyy-MM-dd")));
    QCOMPARE(TRunObjectTree::ServerFolder(b), TRunObjectTree::ServerFolder(folder));
    sub->setExpanded(true);  // a second folder, after the first
    QCOMPARE(sub->childCount(), 1);
    QVERIFY(sub->isExpanded());
    QCOMPARE(sub->child(0)->text(0), QString("c.txt"));

    Screen().BackButton()->click();
    QVERIFY(!Screen().ShowingDetails());
    QCOMPARE(Screen().RunList()->topLevelItemCount(), 1);  // kept
  }

  // Two workstations of one user start runs within one two-second step:
  // the one-run report gives both records; each row shows its own.
  void twoRunsOfOneStepShowTheirOwnCounts() {
    QVERIFY(Login(Info()));
    const TLocalDateTime now = ToLocalDateTime(std::chrono::system_clock::now());
    const std::int32_t session = static_cast<std::int32_t>(EncodeDosDateTime(now));
    const std::int32_t ids[2] = {session - 200, session - 100};
    for (int i = 0; i < 2; ++i) {
      const api::TRunHead head{"ann", ids[i], "run" + std::to_string(i), 100, 0, session, false};
      QVERIFY(api::TaskStart(Info().Pool(), head));
      api::TRunCounters c;
      c.FolderTotalCount = 1;
      c.TotalFileCount = c.FileCheckedCount = 10 * (i + 1);
      c.FileCheckedAndNoChangeCount = 40;  // more than checked for the first
      c.FileDoneCount = 3 + i;
      QVERIFY(api::TaskStop(Info().Pool(), head, "", c));
    }
    Screen().Opening();
    Screen().FindButton()->click();
    QCOMPARE(Screen().RunList()->topLevelItemCount(), 2);
    for (int row = 0; row < 2; ++row) {
      const TReportRun run = TForm_BR_TaskReport::RunOf(Run(row));
      const int i = run.TaskID == ids[0] ? 0 : 1;
      QCOMPARE(run.TaskID, ids[i]);
      QCOMPARE(run.SessionID, static_cast<std::uint32_t>(session));
      if (row == 0) {
        OpenDetailsOf(row);
      } else {  // Enter on a run opens it as well
        Screen().RunList()->setCurrentItem(Run(row));
        QTest::keyClick(Screen().RunList(), Qt::Key_Return);
        QVERIFY(Screen().ShowingDetails());
      }
      QCOMPARE(FigureText(1), QString::number(10 * (i + 1)));
      QCOMPARE(FigureText(2), QString("0"));  // unchanged above checked
      QCOMPARE(FigureText(5), QString::number(3 + i));
      Screen().BackButton()->click();
    }
  }

  void figuresNeedingTransferNeverGoBelowZero_data() {
    QTest::addColumn<qint64>("checked");
    QTest::addColumn<qint64>("unchanged");
    QTest::addColumn<qint64>("needing");
    QTest::newRow("some changed") << qint64(10) << qint64(4) << qint64(6);
    QTest::newRow("none changed") << qint64(10) << qint64(10) << qint64(0);
    QTest::newRow("more unchanged than checked") << qint64(3) << qint64(9) << qint64(0);
  }
  void figuresNeedingTransferNeverGoBelowZero() {
    QFETCH(qint64, checked);
    QFETCH(qint64, unchanged);
    QFETCH(qint64, needing);
    api::TRunCounters c;
    c.FileCheckedCount = checked;
    c.FileCheckedAndNoChangeCount = unchanged;
    QCOMPARE(TReportFigures::Of(c).CheckedNeedingTransfer, needing);
  }
};

QTEST_MAIN(TaskReportTest)
#include "TaskReportTest.moc"
