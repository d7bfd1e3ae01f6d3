#include "ui/backup/TForm_BR_TaskList_MCBackup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "client/FileTaskSaving.h"
#include "client/MailSelection.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/MailPicker.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// The remark box shows line feeds; the record keeps CR LF.
QString CommentForBox(const std::string& comment) {
  return QString::fromStdString(comment).replace("\r\n", "\n");
}
std::string CommentForRecord(const QString& text) {
  return QString(text).replace("\r\n", "\n").replace("\n", "\r\n").toStdString();
}

}  // namespace

TForm_BR_TaskList_MCBackup::TForm_BR_TaskList_MCBackup(TUiShell& shell, std::int32_t taskId,
                                                       QWidget* parent)
    : QDialog(parent), m_shell(shell), m_taskId(taskId) {
  setObjectName("TForm_BR_TaskList_MCBackup");
  setWindowTitle(U("邮件备份"));
  setModal(true);

  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_pages->addTab(BuildBasicPage(), U("基本信息"));
  m_picker = new TMailPicker(shell.Info(), true, this);
  m_pages->addTab(m_picker, U("任务内容"));

  m_ok = new QPushButton(U("确定"), this);
  m_ok->setObjectName("OkButton");
  m_ok->setDefault(true);
  m_cancel = new QPushButton(U("取消"), this);
  m_cancel->setObjectName("CancelButton");
  m_cancel->setAutoDefault(false);
  connect(m_ok, &QPushButton::clicked, this, &TForm_BR_TaskList_MCBackup::OkClicked);
  connect(m_cancel, &QPushButton::clicked, this, &TForm_BR_TaskList_MCBackup::reject);
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
  adjustSize();
  setFixedSize(sizeHint().expandedTo(QSize(760, 540)));
}

QWidget* TForm_BR_TaskList_MCBackup::BuildBasicPage() {
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
  grid->addLayout(delay, row++, 1);
  grid->addWidget(new QLabel(U("时间策略："), page), row, 0, Qt::AlignTop);
  grid->addWidget(m_schedule, row++, 1);
  grid->setRowStretch(row, 1);
  return page;
}

void TForm_BR_TaskList_MCBackup::Load() {
  const TTaskObjectPtr task = m_shell.Info().Tasks().FindTask(m_taskId);
  if (!task) return;
  TTaskMCInfo saved;
  {
    auto lock = task->Lock();
    if (task->IsTemporary) return;
    m_name->setText(QString::fromStdString(task->TaskName));
    m_comment->setPlainText(CommentForBox(task->Comment));
    m_delay->setValue(task->ScheduleInfo.DelayExcuteMinute);
    m_schedule->Load(task->ScheduleInfo);
    saved = task->MCInfo;  // the folders are replaced whole, never changed in place
  }
  m_loaded = true;
  m_picker->ShowSaved(saved);
}

void TForm_BR_TaskList_MCBackup::OkClicked() {
  if (m_busy) return;
  if (m_name->text().trimmed().isEmpty()) {
    ShowNote(U("任务名称不能为空"), kNoteError);
    return;
  }
  if (const QString problem = m_schedule->CheckSchedule(); !problem.isEmpty()) {
    ShowNote(problem, kNoteError);
    return;
  }
  SetBusy(true);
  const bool saved = Save();
  SetBusy(false);
  if (!saved) {
    // The ticks stay for another try; closing takes them off.
    ShowNote(U("更新任务信息失败1"), kNoteError);
    return;
  }
  ShowNote(U("更新任务信息成功!"), kNoteInformation);
  accept();
}

bool TForm_BR_TaskList_MCBackup::Save() {
  TPublicInfo& info = m_shell.Info();
  const TTaskObjectPtr task = info.Tasks().FindTask(m_taskId);
  if (!task || !m_loaded) return false;
  const TMailSelection selection = m_picker->Selection();
  if (selection.Empty()) {
    ShowNote(U("没有选中任何邮件对象!"), kNoteError);
    return false;
  }
  TTaskObjectPtr draft = CreateTaskObject(kKindMailClient, 0, info.UserCode());
  {
    auto lock = task->Lock();
    draft->ScheduleInfo = task->ScheduleInfo;
  }
  draft->TaskID = m_taskId;
  draft->TaskName = m_name->text().toStdString();
  draft->Comment = CommentForRecord(m_comment->toPlainText());
  m_schedule->Save(draft->ScheduleInfo);
  draft->ScheduleInfo.DelayExcuteMinute = m_delay->value();
  if (!UpdateTaskOnServer(info, *draft)) return false;
  {
    // The list shows what the server now holds.
    auto lock = task->Lock();
    task->TaskName = draft->TaskName;
    task->Comment = draft->Comment;
    task->ScheduleInfo = draft->ScheduleInfo;
  }
  return SendMailSelection(info, m_taskId, selection);
}

void TForm_BR_TaskList_MCBackup::SetBusy(bool busy) {
  m_busy = busy;
  m_ok->setEnabled(!busy);
  m_cancel->setEnabled(!busy);
  setCursor(busy ? Qt::BusyCursor : Qt::ArrowCursor);
}

// Every way out (OK, "取消", Esc, the close button) takes the task's ticks
// off the shared readers; while the server calls run, closing waits.
void TForm_BR_TaskList_MCBackup::done(int result) {
  if (m_busy) return;
  m_picker->ClearSelection();
  QDialog::done(result);
}

}  // namespace solvane
