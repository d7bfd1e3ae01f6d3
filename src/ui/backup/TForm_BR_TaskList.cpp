#include "ui/backup/TForm_BR_TaskList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "tasks/TPostBag.h"
#include "ui/backup/ScheduleWords.h"
#include "ui/backup/TaskPropertyDialogs.h"
#include "ui/shell/MenuScreen.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QPushButton* ToolButton(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(U(text), parent);
  button->setObjectName(name);
  button->setMinimumWidth(72);
  button->setAutoDefault(false);
  return button;
}

QTreeWidgetItem* RowOf(const TTaskObject& task) {
  auto* row = new QTreeWidgetItem;
  row->setText(TForm_BR_TaskList::kColName, QString::fromStdString(task.TaskName));
  row->setText(TForm_BR_TaskList::kColKind, QString::fromStdString(TaskKindName(task.TaskKind)));
  row->setText(TForm_BR_TaskList::kColDefault, task.IsSystemDefault ? U("√") : QString());
  row->setTextAlignment(TForm_BR_TaskList::kColDefault, Qt::AlignCenter);
  row->setText(TForm_BR_TaskList::kColCreated, QString::fromStdString(FormatDateTime(task.CreateDate)));
  // One line in the cell; the whole remark in the tooltip.
  const QString comment = QString::fromStdString(task.Comment);
  row->setText(TForm_BR_TaskList::kColComment, QString(comment).replace("\r\n", " "));
  row->setData(0, TForm_BR_TaskList::kKeyRole, QString::number(task.TaskID));
  row->setData(0, TForm_BR_TaskList::kKindRole, static_cast<int>(task.TaskKind));
  const QString schedule = U("时间策略：") + ScheduleInWords(task.ScheduleInfo);
  for (int c = 0; c < TForm_BR_TaskList::kColumns; ++c) row->setToolTip(c, schedule);
  if (!comment.isEmpty())
    row->setToolTip(TForm_BR_TaskList::kColComment, schedule + "\n" + comment);
  return row;
}

}  // namespace

TForm_BR_TaskList::TForm_BR_TaskList(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("TForm_BR_TaskList");
  setWindowTitle(U("任 务 列 表"));

  m_start = ToolButton("启动", "RzToolButton_TaskList_Start", this);
  m_delete = ToolButton("删除", "RzToolButton_TaskList_Delete", this);
  m_property = ToolButton("属性", "RzToolButton_TaskList_Property", this);
  m_refresh = ToolButton("刷新", "RzToolButton_Refresh", this);
  m_start->setToolTip(U("立即启动选中的任务"));
  m_delete->setToolTip(U("从服务器上删除选中的任务 (Delete)"));
  m_property->setToolTip(U("修改选中任务的属性 (Enter)"));
  m_refresh->setToolTip(U("重新列出任务 (F5)"));
  connect(m_start, &QPushButton::clicked, this, &TForm_BR_TaskList::StartTask);
  connect(m_delete, &QPushButton::clicked, this, &TForm_BR_TaskList::DeleteTask);
  connect(m_property, &QPushButton::clicked, this, &TForm_BR_TaskList::ShowProperties);
  connect(m_refresh, &QPushButton::clicked, this, &TForm_BR_TaskList::Refresh);

  m_tree = new QTreeWidget(this);
  m_tree->setObjectName("ctTree_TaskList");
  m_tree->setColumnCount(kColumns);
  m_tree->setHeaderLabels({U("任务名"), U("任务类型"), U("缺省任务"), U("创建时间"), U("备注")});
  m_tree->setRootIsDecorated(false);
  m_tree->setUniformRowHeights(true);
  m_tree->setAlternatingRowColors(true);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->header()->setStretchLastSection(true);
  m_tree->setColumnWidth(kColName, 200);
  m_tree->setColumnWidth(kColKind, 100);
  m_tree->setColumnWidth(kColDefault, 70);
  m_tree->setColumnWidth(kColCreated, 150);
  m_tree->installEventFilter(this);
  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &TForm_BR_TaskList::UpdateButtons);
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { ShowProperties(); });

  m_help = new TLinkButton(U("不明白任务列表?请点击这里"), "RzURLLabel_Help", this);
  connect(m_help, &QPushButton::clicked, this, [this] { Shell().ShowHelpPopup(1, 500); });

  auto* tools = new QHBoxLayout;
  tools->setSpacing(6);
  for (QPushButton* b : {m_start, m_delete, m_property, m_refresh}) tools->addWidget(b);
  tools->addStretch();

  auto* caption = new QLabel(U("所有任务列表"), this);
  caption->setObjectName("ListCaption");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(8);
  layout->addWidget(NewScreenHeading(U("任 务 列 表"), this));
  layout->addLayout(tools);
  layout->addWidget(caption);
  layout->addWidget(m_tree, 1);
  layout->addWidget(m_help, 0, Qt::AlignLeft);
  setTabOrder(m_tree, m_start);
  UpdateButtons();
}

void TForm_BR_TaskList::Opening() {
  Refresh();
  m_tree->setFocus();
}

void TForm_BR_TaskList::Refresh() {
  m_refresh->setEnabled(false);
  m_tree->clear();
  for (const TTaskObjectPtr& task : Shell().Info().Tasks().Snapshot()) {
    auto lock = task->Lock();
    if (task->IsTemporary) continue;
    m_tree->addTopLevelItem(RowOf(*task));
  }
  if (m_tree->topLevelItemCount() > 0) m_tree->setCurrentItem(m_tree->topLevelItem(0));
  UpdateButtons();
}

bool TForm_BR_TaskList::SelectTask(std::int32_t taskId) {
  const QString key = QString::number(taskId);
  for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = m_tree->topLevelItem(i);
    if (row->data(0, kKeyRole).toString() != key) continue;
    m_tree->setCurrentItem(row);
    m_tree->scrollToItem(row);
    UpdateButtons();
    return true;
  }
  return false;
}

QTreeWidgetItem* TForm_BR_TaskList::Selected() const {
  const auto rows = m_tree->selectedItems();
  return rows.isEmpty() ? nullptr : rows.first();
}

std::int32_t TForm_BR_TaskList::SelectedTaskID() const {
  QTreeWidgetItem* row = Selected();
  if (!row) return -1;
  bool ok = false;
  const int id = row->data(0, kKeyRole).toString().toInt(&ok);
  return ok ? id : -1;
}

void TForm_BR_TaskList::UpdateButtons() {
  const bool chosen = !m_busy && Selected() != nullptr;
  m_start->setEnabled(chosen);
  m_delete->setEnabled(chosen);
  m_property->setEnabled(chosen);
  m_refresh->setEnabled(!m_busy);
}

void TForm_BR_TaskList::SetBusy(bool busy) {
  m_busy = busy;
  UpdateButtons();
}

void TForm_BR_TaskList::StartTask() {
  if (!Selected()) return;
  const std::int32_t id = SelectedTaskID();
  TPublicInfo& info = Shell().Info();
  const QString number = QString::number(id);
  if (info.Tasks().RequestStart(id, false, info.Now()))
    ShowNote(U("任务") + number + U("已启动,请到执行区查看详情..."), kNoteInformation);
  else
    ShowNote(U("启动任务") + number + U("失败!"), kNoteError);
}

void TForm_BR_TaskList::DeleteTask() {
  QTreeWidgetItem* row = Selected();
  if (!row) return;
  const std::int32_t id = SelectedTaskID();
  const QString name = row->text(kColName);
  TPublicInfo& info = Shell().Info();
  const TTaskObjectPtr task = info.Tasks().FindTask(id);
  auto isCurrent = [&] {
    const TTaskObjectPtr current = info.CurrentTask();
    return task && current && current == task;
  };
  if (task && task->IsSystemDefault) {
    ShowNote(U("这是系统缺省任务，不能删除!"), kNoteWarning);
    return;
  }
  if (isCurrent()) {
    ShowNote(U("当前任务正在运行，不能删除!"), kNoteWarning);
    return;
  }
  SetBusy(true);
  const bool yes = Confirm(U("确认要删除当前任务?\r\n\r\n任务名称:") + name);
  // The dispatcher may have started the task while the question was open.
  if (yes && isCurrent()) {
    SetBusy(false);
    ShowNote(U("当前任务正在运行，不能删除!"), kNoteWarning);
    return;
  }
  const bool removed = yes && info.Tasks().RemoveTask(info, id);
  SetBusy(false);
  if (!yes) return;
  if (!removed) {
    ShowNote(U("任务[") + name + U("]删除失败!"), kNoteError);
    return;
  }
  // The row may have moved while the call pumped events: find it by key.
  const QString key = QString::number(id);
  for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
    if (m_tree->topLevelItem(i)->data(0, kKeyRole).toString() == key) {
      delete m_tree->takeTopLevelItem(i);
      break;
    }
  }
  UpdateButtons();
  ShowNote(U("任务[") + name + U("]删除成功!"), kNoteInformation);
}

void TForm_BR_TaskList::ShowProperties() {
  QTreeWidgetItem* row = Selected();
  if (!row || m_busy) return;
  const std::int32_t id = SelectedTaskID();
  const int kind = row->data(0, kKindRole).toInt();
  const TTaskObjectPtr task = Shell().Info().Tasks().FindTask(id);
  if (task && task->IsSystemDefault) {
    ShowNote(U("这是系统缺省任务，不能修改属性!"), kNoteWarning);
    return;
  }
  if (!HasTaskPropertyDialog(kind)) return;
  SetBusy(true);
  const bool saved = ShowTaskPropertyDialog(Shell(), kind, id, window());
  SetBusy(false);
  if (!saved) return;
  Refresh();
  SelectTask(id);
}

bool TForm_BR_TaskList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_tree && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Delete && m_delete->isEnabled()) {
      DeleteTask();
      return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_property->isEnabled()) {
      ShowProperties();
      return true;
    }
    if (key == Qt::Key_F5 && m_refresh->isEnabled()) {
      Refresh();
      return true;
    }
  }
  return TQorEmbeddedScreen::eventFilter(watched, event);
}

}  // namespace solvane
