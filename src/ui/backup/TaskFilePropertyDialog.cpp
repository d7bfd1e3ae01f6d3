#include "ui/backup/TaskFilePropertyDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/FileTaskSaving.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/FilterPage.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kFolderRole = Qt::UserRole;

// The remark box shows line feeds; the record keeps CR LF.
QString CommentForBox(const std::string& comment) {
  return QString::fromStdString(comment).replace("\r\n", "\n");
}
std::string CommentForRecord(const QString& text) {
  return QString(text).replace("\r\n", "\n").replace("\n", "\r\n").toStdString();
}

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(U(text), parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// A picked path without a trailing separator (the root stays "/").
QString CleanPath(const QString& path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

QString DesktopPicker(QWidget* parent, const QString& title, bool folder) {
  return folder ? QFileDialog::getExistingDirectory(parent, title)
                : QFileDialog::getOpenFileName(parent, title);
}

}  // namespace

TTaskFilePropertyDialog::TTaskFilePropertyDialog(TUiShell& shell, std::int32_t taskId, int kind,
                                                 QWidget* parent)
    : QDialog(parent), m_shell(shell), m_taskId(taskId), m_kind(kind), m_picker(DesktopPicker) {
  setObjectName(IsSync() ? "TForm_BR_TaskList_FileSync" : "TForm_BR_TaskList_FileBackup");
  setWindowTitle(IsSync() ? U("文件同步") : U("文件备份"));
  setModal(true);

  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_pages->addTab(BuildBasicPage(), U("基本信息"));
  m_pages->addTab(BuildContentPage(), U("任务内容"));
  m_filter = new TFilterPage(TFilterPage::TStyle::PropertyDialog, this);
  m_pages->addTab(m_filter, U("过滤器"));

  m_ok = new QPushButton(U("确定"), this);
  m_ok->setObjectName("OkButton");
  m_ok->setDefault(true);
  m_cancel = Button("取消", "CancelButton", this);
  connect(m_ok, &QPushButton::clicked, this, &TTaskFilePropertyDialog::OkClicked);
  connect(m_cancel, &QPushButton::clicked, this, &TTaskFilePropertyDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pages, 1);
  layout->addLayout(buttons);

  Load();
  m_pages->setCurrentIndex(0);
  m_name->setFocus();
  // Fixed border: the size the pages need, not to be dragged.
  adjustSize();
  setFixedSize(sizeHint().expandedTo(QSize(620, 520)));
}

QWidget* TTaskFilePropertyDialog::BuildBasicPage() {
  auto* page = new QWidget(this);
  m_name = new QLineEdit(page);
  m_name->setObjectName("TaskName");
  m_comment = new QPlainTextEdit(page);
  m_comment->setObjectName("Comments");
  m_comment->setTabChangesFocus(true);
  m_comment->setFixedHeight(60);
  m_delay = new QSpinBox(page);
  m_delay->setObjectName("DelayExcuteMinute");
  m_delay->setRange(0, 99999);
  m_delay->setValue(10);
  m_schedule = new TSchedulePanel(U("时间策略"), page);

  auto* grid = new QGridLayout(page);
  int row = 0;
  grid->addWidget(new QLabel(U("任 务 名："), page), row, 0);
  grid->addWidget(m_name, row++, 1);
  grid->addWidget(new QLabel(U("备    注："), page), row, 0, Qt::AlignTop);
  grid->addWidget(m_comment, row++, 1);
  auto* delay = new QHBoxLayout;
  delay->addWidget(new QLabel(U("任务在规定的时间内，可以延迟"), page));
  delay->addWidget(m_delay);
  delay->addWidget(new QLabel(U("分钟"), page));
  delay->addStretch();
  if (!IsSync()) {
    m_backupMode = new QCheckBox(U("采用备份集方案"), page);
    m_backupMode->setObjectName("BackupMode");
    delay->addSpacing(16);
    delay->addWidget(m_backupMode);
  }
  grid->addLayout(delay, row++, 1);
  grid->addWidget(new QLabel(U("时间策略："), page), row, 0, Qt::AlignTop);
  grid->addWidget(m_schedule, row++, 1);
  grid->setRowStretch(row, 1);
  return page;
}

QWidget* TTaskFilePropertyDialog::BuildContentPage() {
  auto* page = new QWidget(this);
  m_objects = new QTreeWidget(page);
  m_objects->setObjectName("ObjectList");
  m_objects->setColumnCount(2);
  m_objects->setHeaderLabels({U("对象名称"), U("对象类型")});
  m_objects->setRootIsDecorated(false);
  m_objects->header()->setStretchLastSection(false);
  m_objects->header()->setSectionResizeMode(0, QHeaderView::Stretch);

  auto* buttons = new QHBoxLayout;
  if (IsSync()) {
    m_addFolder = Button("变更文件夹", "ChangeFolder", page);
    buttons->addWidget(m_addFolder);
  } else {
    m_addFile = Button("增加文件", "AddFile", page);
    m_addFolder = Button("增加文件夹", "AddFolder", page);
    m_removeObject = Button("删除对象", "RemoveObject", page);
    connect(m_addFile, &QPushButton::clicked, this, [this] { Pick(false); });
    connect(m_removeObject, &QPushButton::clicked, this, [this] {
      delete m_objects->currentItem();
    });
    buttons->addWidget(m_addFile);
    buttons->addWidget(m_addFolder);
    buttons->addWidget(m_removeObject);
  }
  connect(m_addFolder, &QPushButton::clicked, this, [this] { Pick(true); });
  buttons->addStretch();

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(m_objects, 1);
  layout->addLayout(buttons);
  return page;
}

void TTaskFilePropertyDialog::AddObject(const QString& path, bool isFolder) {
  if (IsSync()) m_objects->clear();
  auto* row = new QTreeWidgetItem(m_objects);
  row->setText(0, path);
  row->setText(1, isFolder ? U("文件夹") : U("文件"));
  row->setData(0, kFolderRole, isFolder);
  m_objects->setCurrentItem(row);
}

void TTaskFilePropertyDialog::Load() {
  const TTaskObjectPtr task = m_shell.Info().Tasks().FindTask(m_taskId);
  if (!task) return;
  auto lock = task->Lock();
  if (task->IsTemporary) return;
  m_name->setText(QString::fromStdString(task->TaskName));
  m_comment->setPlainText(CommentForBox(task->Comment));
  m_delay->setValue(task->ScheduleInfo.DelayExcuteMinute);
  if (m_backupMode) m_backupMode->setChecked(task->BackupMode);
  // Every schedule field, also when the schedule is off: "确定" sends them
  // back as they were stored.
  m_schedule->Load(task->ScheduleInfo);
  m_objects->clear();
  for (const TTaskFileObject& o : task->FileObjects.Items) {
    auto* row = new QTreeWidgetItem(m_objects);
    row->setText(0, QString::fromStdString(o.ObjectName));
    row->setText(1, o.ObjectKind == 1 ? U("文件夹") : U("文件"));
    row->setData(0, kFolderRole, o.ObjectKind == 1);
  }
  m_filter->Load(task->FilterInfo);
  m_loaded = true;
}

QString TTaskFilePropertyDialog::CheckInput() const {
  if (m_name->text().trimmed().isEmpty()) return U("任务名称不能为空!");
  if (m_objects->topLevelItemCount() == 0)
    return IsSync() ? U("目标文件夹不能为空!") : U("任务对象不能为空!");
  return m_schedule->CheckSchedule();
}

void TTaskFilePropertyDialog::OkClicked() {
  if (m_busy) return;
  if (const QString problem = CheckInput(); !problem.isEmpty()) {
    ShowNote(problem, kNoteError);
    return;
  }
  const TTaskObjectPtr task = m_shell.Info().Tasks().FindTask(m_taskId);
  SetBusy(true);
  const bool saved = task && !task->IsTemporary && Save(task);
  SetBusy(false);
  if (!saved) {
    ShowNote(IsSync() ? U("更新任务信息失败1") : U("更新任务信息失败!"), kNoteError);
    return;
  }
  ShowNote(U("更新任务信息成功!"), kNoteInformation);
  accept();
}

TTaskObjectPtr TTaskFilePropertyDialog::Draft(const TTaskObject& task) const {
  TTaskObjectPtr draft = CreateTaskObject(m_kind, 0, m_shell.Info().UserCode());
  {
    auto lock = task.Lock();
    draft->ScheduleInfo = task.ScheduleInfo;
    draft->BackupMode = task.BackupMode;
  }
  draft->TaskID = m_taskId;
  draft->TaskKind = static_cast<std::int16_t>(m_kind);
  draft->TaskName = m_name->text().toStdString();
  draft->Comment = CommentForRecord(m_comment->toPlainText());
  if (m_backupMode) draft->BackupMode = m_backupMode->isChecked();
  m_schedule->Save(draft->ScheduleInfo);
  draft->ScheduleInfo.DelayExcuteMinute = m_delay->value();
  for (int i = 0; i < m_objects->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = m_objects->topLevelItem(i);
    draft->FileObjects.Items.push_back({row->text(0).toStdString(),
                                        std::uint8_t(row->data(0, kFolderRole).toBool() ? 1 : 0),
                                        -1, -1, -1});
  }
  m_filter->Save(draft->FilterInfo);
  return draft;
}

// The record follows the server step by step: what the server did not take
// stays as it was, so the task never runs with settings the server lacks.
bool TTaskFilePropertyDialog::Save(const TTaskObjectPtr& task) {
  TPublicInfo& info = m_shell.Info();
  const TTaskObjectPtr draft = Draft(*task);
  if (!UpdateTaskOnServer(info, *draft)) return false;
  {
    auto lock = task->Lock();
    task->TaskName = draft->TaskName;
    task->Comment = draft->Comment;
    if (!IsSync()) task->BackupMode = draft->BackupMode;
    task->ScheduleInfo = draft->ScheduleInfo;
  }
  TFileTaskStep failed = TFileTaskStep::Objects;
  const bool sent = static_cast<bool>(SendFileTaskContent(info, *draft, &failed));
  auto lock = task->Lock();
  if (sent || failed != TFileTaskStep::Objects) task->FileObjects = draft->FileObjects;
  if (sent || failed == TFileTaskStep::FilterEx) {
    task->FilterInfo.IncludeList = draft->FilterInfo.IncludeList;
    task->FilterInfo.ExcludeList = draft->FilterInfo.ExcludeList;
  }
  if (sent) task->FilterInfo = draft->FilterInfo;
  return sent;
}

void TTaskFilePropertyDialog::Pick(bool folder) {
  const QString title = folder ? U("选择文件夹") : U("选择文件");
  const QString path = m_picker(this, title, folder);
  if (!path.isEmpty()) AddObject(CleanPath(path), folder);
}

void TTaskFilePropertyDialog::SetBusy(bool busy) {
  m_busy = busy;
  for (QPushButton* b : {m_ok, m_cancel, m_addFile, m_addFolder, m_removeObject})
    if (b) b->setEnabled(!busy);
  setCursor(busy ? Qt::BusyCursor : Qt::ArrowCursor);
}

// While the server calls run, Esc and the window's close button wait.
void TTaskFilePropertyDialog::reject() {
  if (!m_busy) QDialog::reject();
}

void TTaskFilePropertyDialog::closeEvent(QCloseEvent* event) {
  if (m_busy) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace solvane
