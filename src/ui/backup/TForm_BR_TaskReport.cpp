#include "ui/backup/TForm_BR_TaskReport.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "api/LogApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/LocalTime.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TPostBag.h"
#include "ui/restore/RunObjectTree.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

enum TRunRole { kTaskIdRole = Qt::UserRole, kKindRole, kSessionRole };
enum TRunColumn { kColName, kColKind, kColDirection, kColStart, kColDone, kColFailed, kRunColumns };
enum TPage { kRunPage, kDetailPage };

const char* const kFigureLabels[TForm_BR_TaskReport::kFigures] = {"文件夹总个数：",
                                                                  "已检测的文件数：",
                                                                  "已检测需要传输的的文件数：",
                                                                  "已检测不需传输的的文件数：",
                                                                  "文件总数：",
                                                                  "成功的文件：",
                                                                  "已成功的文件大小(Byte)：",
                                                                  "失败的文件数："};

// "yyyy-mm-dd hh:nn:ss" of a packed value, without going through a time zone.
QString PackedText(std::uint32_t packed) {
  TLocalDateTime t;
  if (!DecodeDosDateTime(packed, t)) return {};
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                           t.minute, t.second);
}

std::uint32_t PackedAt(const QDate& day, int hour, int minute, int second) {
  return EncodeDosDateTime({day.year(), day.month(), day.day(), hour, minute, second, 0});
}

QDate DateOf(DateTime t) {
  const TLocalDateTime local = ToLocalDateTime(t);
  return QDate(local.year, local.month, local.day);
}

// The date of a shared date-time text; invalid when there is none.
QDate SharedDate(const TPublicInfo& info, const char* name) {
  DateTime at;
  const std::string text = info.SharedParam(name);
  return !text.empty() && ParseDateTime(text, at) ? DateOf(at) : QDate();
}

QDateEdit* NewDateEdit(QWidget* parent, const char* name) {
  auto* edit = new QDateEdit(parent);
  edit->setObjectName(name);
  edit->setCalendarPopup(true);
  edit->setDisplayFormat("yyyy-MM-dd");
  return edit;
}

// Enter on a run opens its details.
class TRunList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void()> onEnter;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && onEnter) {
      onEnter();
      return;
    }
    QTreeWidget::keyPressEvent(e);
  }
};

}  // namespace

TReportFigures TReportFigures::Of(const api::TRunCounters& c) {
  TReportFigures f;
  f.FolderTotal = c.FolderTotalCount;
  f.Checked = c.FileCheckedCount;
  f.CheckedNeedingTransfer =
      std::max<std::int64_t>(0, c.FileCheckedCount - c.FileCheckedAndNoChangeCount);
  f.CheckedUnchanged = c.FileCheckedAndNoChangeCount;
  f.TotalFiles = c.TotalFileCount;
  f.Done = c.FileDoneCount;
  f.DoneBytes = c.TotalDoneFileSize;
  f.Failed = c.FileErrorCount;
  return f;
}

TForm_BR_TaskReport::TForm_BR_TaskReport(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NewScreenHeading(U("任 务 日 志 "), this));
  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_pages->addTab(NewRunPage(), U("选择任务"));
  m_pages->addTab(NewDetailPage(), U("任务详情"));
  layout->addWidget(m_pages, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  m_back = new QPushButton(U("上一步"), this);
  m_back->setObjectName("BackButton");
  m_details = new QPushButton(U("查看详情"), this);
  m_details->setObjectName("DetailsButton");
  buttons->addWidget(m_back);
  buttons->addWidget(m_details);
  layout->addLayout(buttons);
  connect(m_back, &QPushButton::clicked, this, &TForm_BR_TaskReport::GoBack);
  connect(m_details, &QPushButton::clicked, this, &TForm_BR_TaskReport::ShowDetails);
  ShowPage(kRunPage);
}

QWidget* TForm_BR_TaskReport::NewRunPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* span = new QHBoxLayout;
  m_start = NewDateEdit(page, "StartDate");
  m_end = NewDateEdit(page, "EndDate");
  m_find = new QPushButton(U("查找"), page);
  m_find->setObjectName("FindButton");
  span->addWidget(new QLabel(U("开始日期："), page));
  span->addWidget(m_start);
  span->addWidget(new QLabel(U("结束日期："), page));
  span->addWidget(m_end);
  span->addWidget(m_find);
  span->addStretch(1);
  layout->addLayout(span);
  connect(m_find, &QPushButton::clicked, this, &TForm_BR_TaskReport::FindRuns);

  auto* runs = new TRunList(page);
  runs->onEnter = [this] { ShowDetails(); };
  m_runs = runs;
  m_runs->setObjectName("RunList");
  m_runs->setColumnCount(kRunColumns);
  m_runs->setHeaderLabels(
      {U("任务名称"), U("类型"), U("方向"), U("执行时间"), U("成功个数"), U("失败个数")});
  m_runs->setRootIsDecorated(false);
  m_runs->setUniformRowHeights(true);
  m_runs->header()->resizeSection(kColName, 220);
  m_runs->header()->resizeSection(kColStart, 160);
  connect(m_runs, &QTreeWidget::itemDoubleClicked, this, [this] { ShowDetails(); });
  layout->addWidget(m_runs, 1);
  return page;
}

QWidget* TForm_BR_TaskReport::NewDetailPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* basics = new QGroupBox(U("基本信息"), page);
  auto* grid = new QGridLayout(basics);
  for (int i = 0; i < kFigures; ++i) {
    m_figures[i] = new QLabel("0", basics);
    m_figures[i]->setObjectName(QString("Figure%1").arg(i));
    m_figures[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_figures[i]->setMinimumWidth(110);
    const int row = i / 2, col = (i % 2) * 3;  // a gap column between the pairs
    grid->addWidget(new QLabel(U(kFigureLabels[i]), basics), row, col);
    grid->addWidget(m_figures[i], row, col + 1);
  }
  grid->setColumnMinimumWidth(2, 40);
  // The figures stay beside their labels; the room left goes to the right.
  grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 5);
  grid->setColumnStretch(5, 1);
  layout->addWidget(basics);
  layout->addWidget(new QLabel(U("具体对象信息："), page));

  m_objectPages = new QTabWidget(page);
  m_errors = new QTreeWidget(m_objectPages);
  m_errors->setObjectName("ErrorList");
  m_errors->setHeaderLabels({U("文件名"), U("路径信息"), U("备注")});
  m_errors->setRootIsDecorated(false);
  m_errors->header()->resizeSection(0, 200);
  m_errors->header()->resizeSection(1, 300);
  m_tree = new TRunObjectTree(Shell().Info(), m_objectPages);
  m_tree->setObjectName("ObjectTree");
  m_objectPages->addTab(m_errors, U("错误对象"));
  m_objectPages->addTab(m_tree, U("成功对象"));
  layout->addWidget(m_objectPages, 1);
  return page;
}

void TForm_BR_TaskReport::ShowPage(int page) {
  m_pages->setTabVisible(page, true);
  m_pages->setCurrentIndex(page);
  m_pages->setTabVisible(page == kRunPage ? kDetailPage : kRunPage, false);
  m_back->setEnabled(page == kDetailPage);
  m_details->setEnabled(page == kRunPage);
}

bool TForm_BR_TaskReport::ShowingDetails() const { return m_pages->currentIndex() == kDetailPage; }

void TForm_BR_TaskReport::Opening() {
  TPublicInfo& info = Shell().Info();
  QDate start = SharedDate(info, "TaskReport_StartDate");
  QDate end = SharedDate(info, "TaskReport_EndDate");
  if (!start.isValid() || !end.isValid()) {
    end = DateOf(info.Now());
    start = end.addDays(-7);
  }
  m_start->setDate(start);
  m_end->setDate(end);
  m_runs->clear();
  ShowPage(kRunPage);
}

void TForm_BR_TaskReport::SetBusy(bool busy) {
  // The calls pump events: nothing may start a second one meanwhile.
  m_busy = busy;
  m_find->setEnabled(!busy);
  m_runs->setEnabled(!busy);
  if (busy) {
    m_details->setEnabled(false);
    m_back->setEnabled(false);
  } else {
    m_back->setEnabled(ShowingDetails());
    m_details->setEnabled(!ShowingDetails());
  }
}

void TForm_BR_TaskReport::FindRuns() {
  if (m_busy) return;
  SetBusy(true);
  m_runs->clear();
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(NotConnectedText(), kNoteError);
  } else {
    const auto runs =
        api::TaskSelectReport(info.Pool(), info.UserCode(), PackedAt(m_start->date(), 0, 0, 0),
                              PackedAt(m_end->date(), 23, 59, 59));
    if (runs)
      for (const api::TRunReport& run : runs.value) AddRunRow(run);
  }
  SetBusy(false);
}

void TForm_BR_TaskReport::AddRunRow(const api::TRunReport& run) {
  auto* row = new QTreeWidgetItem;
  row->setText(kColName, Q(run.TaskName));
  row->setText(kColKind, Q(TaskKindName(static_cast<int>(run.TaskKind))));
  row->setText(kColDirection, run.IsDownload ? U("↓") : U("↑"));
  row->setText(kColStart, PackedText(run.SessionID));
  row->setText(kColDone, QString::number(run.Counters.FileDoneCount));
  row->setText(kColFailed, QString::number(run.Counters.FileErrorCount));
  row->setTextAlignment(kColDone, Qt::AlignRight | Qt::AlignVCenter);
  row->setTextAlignment(kColFailed, Qt::AlignRight | Qt::AlignVCenter);
  row->setData(kColName, kTaskIdRole, run.TaskID);
  row->setData(kColName, kKindRole, QVariant::fromValue<qint64>(run.TaskKind));
  row->setData(kColName, kSessionRole, QVariant::fromValue<qint64>(run.SessionID));
  if (run.Counters.FileErrorCount > 0)  // runs with failed files stand out
    for (int c = 0; c < kRunColumns; ++c) row->setForeground(c, QColor(0xC0, 0x10, 0x10));
  m_runs->addTopLevelItem(row);
}

TReportRun TForm_BR_TaskReport::RunOf(const QTreeWidgetItem* row) {
  if (!row) return {};
  return {row->data(kColName, kTaskIdRole).toInt(), row->data(kColName, kKindRole).toLongLong(),
          static_cast<std::uint32_t>(row->data(kColName, kSessionRole).toLongLong())};
}

void TForm_BR_TaskReport::ShowDetails() {
  if (m_busy) return;
  QTreeWidgetItem* row = m_runs->currentItem();
  if (!row || !row->isSelected()) {
    ShowNote(U("请选择一个具体任务"), kNoteWarning);
    return;
  }
  SetBusy(true);
  LoadDetails(RunOf(row));
  ShowPage(kDetailPage);
  SetBusy(false);
}

void TForm_BR_TaskReport::SetFigures(const TReportFigures& f) {
  const std::int64_t values[kFigures] = {f.FolderTotal,      f.Checked,    f.CheckedNeedingTransfer,
                                         f.CheckedUnchanged, f.TotalFiles, f.Done,
                                         f.DoneBytes,        f.Failed};
  for (int i = 0; i < kFigures; ++i) m_figures[i]->setText(Q(GroupThousands(values[i])));
}

void TForm_BR_TaskReport::LoadDetails(const TReportRun& run) {
  SetFigures({});
  m_errors->clear();
  m_tree->ClearRun();
  m_objectPages->setCurrentIndex(0);
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  const std::string user = info.UserCode();
  // Two runs that began within one two-second step share the session
  // value; the run's own record is the one with its TaskID.
  const auto reports = api::TaskSelectReport(info.Pool(), user, run.SessionID, run.SessionID);
  if (reports) {
    const api::TRunReport* mine = nullptr;
    int matches = 0;
    for (const api::TRunReport& r : reports.value)
      if (r.TaskID == run.TaskID) mine = &r, ++matches;
    if (matches == 1) SetFigures(TReportFigures::Of(mine->Counters));
  }
  const auto errors = api::LogTaskLogSelectErrorObject(
      info.Pool(), user, run.TaskID, static_cast<std::int32_t>(run.TaskKind), run.SessionID);
  if (errors)
    for (const api::TRunLogError& e : errors.value)
      m_errors->addTopLevelItem(
          new QTreeWidgetItem({Q(e.ObjectName), Q(e.ObjectFolder), Q(e.ObjectComment)}));
  m_tree->LoadRun(run.TaskID, run.SessionID);
}

void TForm_BR_TaskReport::GoBack() {
  if (m_busy) return;
  ShowPage(kRunPage);
}

}  // namespace solvane
