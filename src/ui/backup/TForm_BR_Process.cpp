#include "ui/backup/TForm_BR_Process.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "client/Unit_PublicInfo.h"
#include "session/DosDateTime.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kTagRole = Qt::UserRole;  // the row's task ID

enum TColumn { kColMark, kColName, kColKind, kColState, kColStart, kColComment, kColumns };

bool IsActive(std::uint8_t state) {
  return state == kStateWaiting || state == kStateRunning || state == kStatePaused;
}

QString StartText(std::int32_t sessionId) {
  DateTime at;
  if (sessionId <= 0 || !DosToDateTime(static_cast<std::uint32_t>(sessionId), at)) return {};
  return Q(FormatDateTime(at));
}

QString RateText(std::int64_t kbps) { return QString::number(kbps) + "KB/S"; }

QProgressBar* NewBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

}  // namespace

TForm_BR_Process::TForm_BR_Process(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(NewToolbar());

  m_rows = new QTreeWidget(this);
  m_rows->setObjectName("TaskRows");
  m_rows->setColumnCount(kColumns);
  m_rows->setHeaderLabels(
      {QString(), U("任务名"), U("任务类型"), U("任务状态"), U("启动时间"), U("备注")});
  m_rows->setRootIsDecorated(false);
  m_rows->setUniformRowHeights(true);
  m_rows->header()->resizeSection(kColMark, 28);
  m_rows->header()->resizeSection(kColName, 200);
  m_rows->header()->resizeSection(kColStart, 150);
  connect(m_rows, &QTreeWidget::currentItemChanged, this, [this] { ShowSelectedTask(); });
  layout->addWidget(m_rows, 1);

  m_caption = new QLabel(this);
  m_caption->setObjectName("Caption");
  m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(m_caption);
  layout->addWidget(NewEngineGroup());
  layout->addWidget(NewOverallGroup());

  m_timer = new QTimer(this);
  m_timer->setInterval(kTickMs);
  connect(m_timer, &QTimer::timeout, this, [this] { Tick(); });
  m_timer->start();
  ShowNothing();
}

QWidget* TForm_BR_Process::NewToolbar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  const auto button = [&](const char* text, const char* name, void (TForm_BR_Process::*act)()) {
    auto* b = new QPushButton(U(text), bar);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, act);
    row->addWidget(b);
    return b;
  };
  m_refresh = button("刷新", "RefreshButton", &TForm_BR_Process::Refresh);
  m_stop = button("任务停止", "StopButton", &TForm_BR_Process::StopTask);
  m_pause = button("任务暂停", "PauseButton", &TForm_BR_Process::PauseTask);
  m_resume = button("任务重新启动", "ResumeButton", &TForm_BR_Process::ResumeTask);
  row->addStretch(1);
  return bar;
}

QWidget* TForm_BR_Process::NewEngineGroup() {
  auto* group = new QGroupBox(U("基本传输信息"), this);
  auto* grid = new QGridLayout(group);
  for (int i = 0; i < kEngineLines; ++i) {
    TEngineLine& line = m_lines[i];
    line.name = new QLabel(group);
    line.name->setObjectName(QString("EngineName%1").arg(i));
    line.name->setMinimumWidth(320);
    line.bar = NewBar(group);
    line.rate = new QLabel(group);
    line.rate->setMinimumWidth(80);
    line.rate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(line.name, i, 0);
    grid->addWidget(line.bar, i, 1);
    grid->addWidget(line.rate, i, 2);
  }
  grid->addWidget(new QLabel(U("总速率："), group), kEngineLines, 1, Qt::AlignRight);
  m_totalRate = new QLabel(group);
  m_totalRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(m_totalRate, kEngineLines, 2);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  return group;
}

QWidget* TForm_BR_Process::NewOverallGroup() {
  auto* group = new QGroupBox(U("总体传输信息"), this);
  auto* grid = new QGridLayout(group);
  m_folderBar = NewBar(group);
  m_fileBar = NewBar(group);
  m_bytes = new QLabel(group);
  m_bytes->setObjectName("BytesMoved");
  m_timeLeft = new QLabel(group);
  m_timeLeft->setObjectName("TimeLeft");
  grid->addWidget(new QLabel(U("文件夹总进度："), group), 0, 0);
  grid->addWidget(m_folderBar, 0, 1);
  grid->addWidget(new QLabel(U("文件总进度："), group), 1, 0);
  grid->addWidget(m_fileBar, 1, 1);
  grid->addWidget(m_bytes, 1, 2);
  grid->addWidget(m_timeLeft, 1, 3);
  grid->setColumnStretch(1, 1);
  return group;
}

void TForm_BR_Process::Opening() { Tick(); }

void TForm_BR_Process::Tick() {
  // Each half on its own: a fault in one must not stop the other or the timer.
  try {
    Refresh();
  } catch (...) {
  }
  try {
    ShowSelectedTask();
  } catch (...) {
  }
}

std::int32_t TForm_BR_Process::RowTaskId(const QTreeWidgetItem* row) {
  bool ok = false;
  const int id = row ? row->data(kColMark, kTagRole).toInt(&ok) : -1;
  return ok ? id : -1;
}

void TForm_BR_Process::AddRow(const TTaskObject& task) {
  auto* row = new QTreeWidgetItem;
  std::string name, comment;
  std::int32_t sessionId = -1;
  {
    auto lock = task.Lock();  // names may be rewritten by an edit meanwhile
    name = task.TaskName;
    comment = task.Comment;
    sessionId = task.SessionID;
  }
  row->setData(kColMark, kTagRole, task.TaskID);
  row->setText(kColMark, task.TaskDirection == 1 ? U("↓") : U("↑"));
  row->setText(kColName, Q(name));
  row->setText(kColKind, Q(TaskKindName(task.TaskKind)));
  row->setText(kColState, Q(TaskStateName(task.State())));
  row->setText(kColStart, StartText(sessionId));
  row->setText(kColComment, Q(comment).replace("\r\n", " "));
  m_rows->addTopLevelItem(row);
}

void TForm_BR_Process::Refresh() {
  m_refresh->setEnabled(false);
  m_timer->stop();
  const QSignalBlocker quiet(m_rows);  // the panels follow after the rows
  std::vector<bool> seen(static_cast<std::size_t>(m_rows->topLevelItemCount()), false);
  try {
    for (const TTaskObjectPtr& task : Shell().Info().Tasks().Snapshot()) {
      const std::uint8_t state = task->State();
      if (!IsActive(state)) continue;
      bool found = false;
      for (int i = 0; i < static_cast<int>(seen.size()); ++i) {
        QTreeWidgetItem* row = m_rows->topLevelItem(i);
        if (RowTaskId(row) != task->TaskID) continue;
        seen[i] = found = true;
        row->setText(kColState, Q(TaskStateName(state)));
        break;
      }
      if (!found) AddRow(*task);  // appended after the rows looked at
    }
    for (int i = static_cast<int>(seen.size()) - 1; i >= 0; --i)
      if (!seen[i]) delete m_rows->takeTopLevelItem(i);
  } catch (...) {
  }
  m_timer->start();
  m_refresh->setEnabled(true);
}

QTreeWidgetItem* TForm_BR_Process::ShownRow() const {
  if (QTreeWidgetItem* row = m_rows->currentItem()) return row;
  return m_rows->topLevelItemCount() > 0 ? m_rows->topLevelItem(0) : nullptr;
}

TTaskObjectPtr TForm_BR_Process::TaskOfRow(const QTreeWidgetItem* row) {
  return Shell().Info().Tasks().FindTask(RowTaskId(row));
}

void TForm_BR_Process::ShowSelectedTask() {
  if (m_showing) return;  // removing a row changes the current one
  m_showing = true;
  ShowShownRow();
  m_showing = false;
}

void TForm_BR_Process::ShowShownRow() {
  QTreeWidgetItem* row = ShownRow();
  if (!row) {
    ShowNothing();
    return;
  }
  const bool chosen = row == m_rows->currentItem();
  const std::int32_t taskId = RowTaskId(row);
  TTaskObjectPtr task = TaskOfRow(row);
  if (!task) return;
  const std::uint8_t state = task->State();
  if (state == kStateIdle || state == kStateTerminated) {
    delete row;
    if (m_rows->topLevelItemCount() == 0) ShowNothing();
    return;
  }
  if (chosen) SetButtonsFor(state);
  ShowTask(*task, taskId);
}

void TForm_BR_Process::ShowNothing() {
  m_caption->setText(U("任 务 执 行 信 息 监 视"));
  for (TEngineLine& line : m_lines) {
    line.name->clear();
    line.rate->clear();
    line.bar->setValue(0);
  }
  m_totalRate->clear();
  m_folderBar->setValue(0);
  m_fileBar->setValue(0);
  m_bytes->clear();
  m_timeLeft->clear();
  m_stop->setEnabled(false);
  m_pause->setEnabled(false);
  m_resume->setEnabled(false);
  m_estimateFor = -1;
}

void TForm_BR_Process::SetButtonsFor(std::uint8_t state) {
  m_stop->setEnabled(IsActive(state));
  m_pause->setEnabled(state == kStateWaiting || state == kStateRunning);
  m_resume->setEnabled(state == kStatePaused);
}

QString TForm_BR_Process::CaptionText(std::int64_t folders, std::int64_t foldersLeft,
                                      std::int64_t files, std::int64_t checked, std::int64_t needed,
                                      std::int64_t done, std::int64_t failed) {
  const auto n = [](std::int64_t v) { return QString::number(v); };
  return U(" 总文件夹：") + n(folders) + U(" 剩余文件夹：") + n(foldersLeft) + U(" 总文件：") +
         n(files) + U(" 已检测文件：") + n(checked) + U(" 需传输文件：") + n(needed) +
         U(" 已传输文件：") + n(done) + U(" 传输错误文件: ") + n(failed);
}

void TForm_BR_Process::ShowTask(TTaskObject& task, std::int32_t taskId) {
  const TPostBagCounters& c = task.PostBag.Counters();
  const std::int64_t folders = task.FolderList.FolderTotalCount();
  const auto foldersLeft = static_cast<std::int64_t>(task.FolderList.Count());
  const std::int64_t needed = c.FileCheckedAndNeedUpCount.load();
  const std::int64_t done = c.FileDoneCount.load();
  const std::int64_t failed = c.FileErrorCount.load();
  m_caption->setText(CaptionText(folders, foldersLeft, c.TotalFileCount.load(),
                                 c.FileCheckedCount.load(), needed, done, failed));

  for (int i = 0; i < kEngineLines; ++i) {
    const TTaskScreenContext screen = task.ScreenContext(i);  // a copy
    const QString name = Q(screen.CurrentObject);
    m_lines[i].name->setText(ElideMiddle(name));
    m_lines[i].name->setToolTip(name);
    m_lines[i].bar->setValue(std::clamp(screen.Percent, 0, 100));
    m_lines[i].rate->setText(RateText(screen.SpeedKBps));
  }
  m_totalRate->setText(RateText(task.TotalSpeed()));

  m_folderBar->setValue(OverallPercent(folders - foldersLeft, folders));
  m_fileBar->setValue(OverallPercent(done + failed, needed));
  m_bytes->setText(U("已传输：") + FormatBytes(c.BytesMoved.load()));

  if (m_estimateFor != taskId) {
    m_estimate.Reset();
    m_estimateFor = taskId;
  }
  const auto left =
      m_estimate.Sample(TTimeLeftEstimate::Clock::now(), done + failed, needed, foldersLeft);
  m_timeLeft->setText(left && task.State() == kStateRunning
                          ? U("剩余时间：约 ") + FormatDuration(*left)
                          : QString());
}

void TForm_BR_Process::StopTask() {
  QTreeWidgetItem* row = m_rows->currentItem();
  if (!row) return;
  Shell().Info().Tasks().RequestStop(RowTaskId(row), false);
  Tick();  // the row goes at once rather than on the next tick
}

void TForm_BR_Process::PauseTask() {
  QTreeWidgetItem* row = m_rows->currentItem();
  if (!row) return;
  Shell().Info().Tasks().Pause(RowTaskId(row), false);
  Tick();
}

void TForm_BR_Process::ResumeTask() {
  QTreeWidgetItem* row = m_rows->currentItem();
  if (!row) return;
  TPublicInfo& info = Shell().Info();
  const TTaskObjectPtr task = TaskOfRow(row);
  const TTaskObjectPtr current = info.CurrentTask();
  info.Tasks().Resume(RowTaskId(row), false, task && task == current);
  Tick();
}

}  // namespace solvane
