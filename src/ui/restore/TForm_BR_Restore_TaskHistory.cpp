#include "ui/restore/TForm_BR_Restore_TaskHistory.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "api/LogApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TPostBag.h"
#include "ui/restore/RestoreOptionsPage.h"
#include "ui/restore/RestoreStart.h"
#include "ui/restore/RunObjectTree.h"
#include "ui/restore/ServerTreeParts.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kRoleTaskID = Qt::UserRole + 1;
constexpr int kRoleSessionID = Qt::UserRole + 2;
constexpr int kRoleKind = Qt::UserRole + 3;

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// The ticked files of a run: a ticked folder brings every file the run
// logged in it (loaded now when it was not opened).
std::vector<TRunObjectChoice> TickedFiles(TRunObjectTree& tree) {
  std::vector<TRunObjectChoice> files;
  for (const TRunObjectChoice& c : tree.Checked()) {
    if (!c.IsFolder) {
      files.push_back(c);
      continue;
    }
    QTreeWidgetItem* folder = tree.FindFolder(c.Folder);
    if (!folder || !tree.LoadFiles(folder)) continue;
    for (int i = 0; i < folder->childCount(); ++i) {
      QTreeWidgetItem* file = folder->child(i);
      files.push_back({c.Folder, false, file->text(0).toStdString(),
                       TRunObjectTree::FileSize(file), TRunObjectTree::FileDate(file)});
    }
  }
  return files;
}

}  // namespace

TForm_BR_Restore_TaskHistory::TForm_BR_Restore_TaskHistory(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("RestoreTaskHistory");
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(U("按 任 务 恢 复"), this);
  title->setObjectName("ScreenTitle");
  title->setStyleSheet("QLabel { font-size: 14pt; font-weight: bold; color: #1f4e8c; }");
  layout->addWidget(title);
  m_pages = new QStackedWidget(this);

  auto* runsPage = new QWidget(this);
  auto* runsLayout = new QVBoxLayout(runsPage);
  auto* span = new QHBoxLayout;
  m_startDate = new QDateEdit(runsPage);
  m_endDate = new QDateEdit(runsPage);
  for (QDateEdit* d : {m_startDate, m_endDate}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat("yyyy-MM-dd");
  }
  m_find = new QPushButton(U("查找"), runsPage);
  m_find->setObjectName("Find");
  connect(m_find, &QPushButton::clicked, this, [this] { FindRuns(); });
  span->addWidget(new QLabel(U("选择任务"), runsPage));
  span->addStretch();
  span->addWidget(m_startDate);
  span->addWidget(new QLabel(U("至"), runsPage));
  span->addWidget(m_endDate);
  span->addWidget(m_find);
  runsLayout->addLayout(span);
  m_runs = new QTreeWidget(runsPage);
  m_runs->setObjectName("Runs");
  m_runs->setRootIsDecorated(false);
  m_runs->setHeaderLabels({U("任务名称"), U("类型"), U("执行时间")});
  m_runs->header()->resizeSection(0, 260);
  connect(m_runs, &QTreeWidget::itemDoubleClicked, this, [this] { Next(); });
  connect(m_runs, &QTreeWidget::itemActivated, this, [this] { Next(); });
  runsLayout->addWidget(m_runs, 1);
  m_pages->addWidget(runsPage);

  m_objects = new TRunObjectTree(shell.Info(), this);
  m_objects->setObjectName("RunObjects");
  m_objects->SetCheckable(true);
  m_pages->addWidget(m_objects);
  m_options = new TRestoreOptionsPage(this);
  m_pages->addWidget(m_options);
  layout->addWidget(m_pages, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  m_back = new QPushButton(U("上一步"), this);
  m_next = new QPushButton(U("下一步"), this);
  m_run = new QPushButton(U("立即执行"), this);
  m_back->setObjectName("Back");
  m_next->setObjectName("Next");
  m_run->setObjectName("Run");
  connect(m_back, &QPushButton::clicked, this, [this] { Back(); });
  connect(m_next, &QPushButton::clicked, this, [this] { Next(); });
  connect(m_run, &QPushButton::clicked, this, [this] { RunRestore(); });
  for (auto* b : {m_back, m_next, m_run}) buttons->addWidget(b);
  layout->addLayout(buttons);
  Opening();
}

int TForm_BR_Restore_TaskHistory::Page() const { return m_pages->currentIndex(); }

void TForm_BR_Restore_TaskHistory::Opening() {
  const QDate today = QDate::currentDate();
  m_startDate->setDate(today.addDays(-7));
  m_endDate->setDate(today);
  m_runs->clear();
  m_options->Reset();
  ShowPage(Page() == kPageOptions ? kPageObjects : kPageRuns);
}

void TForm_BR_Restore_TaskHistory::ShowPage(int page) {
  m_pages->setCurrentIndex(page);
  m_back->setEnabled(page > kPageRuns);
  m_next->setVisible(page != kPageOptions);
  m_run->setVisible(page == kPageOptions);
}

void TForm_BR_Restore_TaskHistory::FindRuns() {
  m_find->setEnabled(false);
  m_runs->clear();
  TPublicInfo& info = Shell().Info();
  if (api::HasConnectedConnection(info.Pool())) {
    api::TApiResult<std::vector<api::TRunLogRow>> rows;
    {
      TBusyScreen busy(this);
      rows = api::LogTaskLogSelect(info.Pool(), info.UserCode(),
                                   PackedOf(m_startDate->date().startOfDay()),
                                   PackedOf(QDateTime(m_endDate->date(), QTime(23, 59, 59))));
    }
    for (const api::TRunLogRow& r : rows.value) {
      auto* row = new QTreeWidgetItem(m_runs);
      row->setText(0, QString::fromStdString(r.TaskName));
      row->setText(1, QString::fromStdString(TaskKindName(static_cast<int>(r.TaskKind))));
      row->setText(2, PackedDateText(r.SessionID));
      row->setData(0, kRoleTaskID, r.TaskID);
      row->setData(0, kRoleSessionID, static_cast<qlonglong>(r.SessionID));
      row->setData(0, kRoleKind, static_cast<qlonglong>(r.TaskKind));
    }
  }
  m_find->setEnabled(true);
}

bool TForm_BR_Restore_TaskHistory::LoadRunFolders() {
  QTreeWidgetItem* row = m_runs->currentItem();
  if (!row) {
    ShowNote(U("还没选中任务!"), kNoteWarning);
    return false;
  }
  if (!api::HasConnectedConnection(Shell().Info().Pool())) {
    ShowNote(U("网络未连接,请检查!"), kNoteError);
    return false;
  }
  m_runKind = row->data(0, kRoleKind).toInt();
  TBusyScreen busy(this);
  m_objects->LoadRun(row->data(0, kRoleTaskID).toInt(),
                     static_cast<std::uint32_t>(row->data(0, kRoleSessionID).toLongLong()));
  return true;
}

void TForm_BR_Restore_TaskHistory::Next() {
  const int page = Page();
  if (page == kPageRuns) {
    if (!LoadRunFolders()) return;
  }
  if (page < kPageOptions) ShowPage(page + 1);
}

void TForm_BR_Restore_TaskHistory::Back() {
  if (Page() > kPageRuns) ShowPage(Page() - 1);
}

bool TForm_BR_Restore_TaskHistory::CollectOrder(TRestoreOrder& order) {
  order.TaskKind = m_runKind;
  std::vector<TRunObjectChoice> files;
  {
    TBusyScreen busy(this);  // a ticked folder that was not opened asks for its files
    files = TickedFiles(*m_objects);
  }
  if (m_runKind == kKindMailClient) {
    // A mail run logged message files in "/<client>/<ParentID>/".
    std::map<std::int64_t, std::int64_t> parents;
    for (const TRunObjectChoice& f : files) {
      const auto parts = ParseMailMessageFileName(f.Name);
      const auto place =
          ParseMailStoreFolder(WithoutTrailingSlashes(ToSlashes(f.Folder)) + "/" +
                               (parts ? std::to_string(parts->FolderID) : std::string("x")));
      if (!parts || !place) continue;
      order.MailKind = place->MailKind;
      order.Mail.Messages.emplace_back(parts->FolderID, parts->MessageID);
      parents[parts->FolderID] = place->ParentID;
    }
    order.Mail.ParentOf = [parents](std::int64_t id) {
      auto it = parents.find(id);
      return it == parents.end() ? std::int64_t{-1} : it->second;
    };
    return !order.Mail.Messages.empty();
  }
  if (m_runKind != kKindFileBackup && m_runKind != kKindFileSync) return false;
  for (const TRunObjectChoice& f : files)
    order.Objects.push_back(
        {JoinPath(ToSlashes(f.Folder), f.Name), false, f.Size, f.Date, -1});
  return !order.Objects.empty();
}

void TForm_BR_Restore_TaskHistory::RunRestore() {
  m_started.clear();
  TPublicInfo& info = Shell().Info();
  const auto target = m_options->Check(info);
  if (!target) return;
  TRestoreOrder order;
  if (!CollectOrder(order)) {
    ShowNote(U("恢复目标为空!"), kNoteError);
    return;
  }
  order.Target = *target;
  m_started = StartRestores(info, {order});
  if (m_started.empty()) return;
  ShowPage(kPageRuns);
  Opening();
}

}  // namespace solvane
