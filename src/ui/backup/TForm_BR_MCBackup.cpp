#include "ui/backup/TForm_BR_MCBackup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "client/MailSelection.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/FileTaskScreen.h"
#include "ui/backup/MailPicker.h"
#include "ui/backup/TForm_BR_TaskSetting.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// Both buttons stay off while a sequence runs: its server calls let events
// through, and a second click must not start a second sequence.
class TButtonsOff {
 public:
  TButtonsOff(QPushButton* a, QPushButton* b) : m_a(a), m_b(b) {
    m_a->setEnabled(false);
    m_b->setEnabled(false);
  }
  ~TButtonsOff() {
    m_a->setEnabled(true);
    m_b->setEnabled(true);
  }

 private:
  QPushButton* m_a;
  QPushButton* m_b;
};

}  // namespace

TForm_BR_MCBackup::TForm_BR_MCBackup(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  auto* title = NewScreenHeading(U("邮 件 备 份"), this);
  m_help = new QLabel(QString("<a href=\"help\">%1</a>").arg(U("不明白邮件备份?请点击这里")), this);
  m_help->setObjectName("HelpLink");
  m_help->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(m_help, &QLabel::linkActivated, this, [this] { Shell().ShowHelpPopup(1, 300); });
  auto* header = new QHBoxLayout;
  header->addWidget(title);
  header->addStretch(1);
  header->addWidget(m_help);

  m_picker = new TMailPicker(shell.Info(), false, this);

  m_runNow = new QPushButton(U("立即执行"), this);
  m_runNow->setObjectName("RunNowButton");
  m_saveAsTask = new QPushButton(U("保存为任务"), this);
  m_saveAsTask->setObjectName("SaveAsTaskButton");
  connect(m_runNow, &QPushButton::clicked, this, &TForm_BR_MCBackup::RunNow);
  connect(m_saveAsTask, &QPushButton::clicked, this, &TForm_BR_MCBackup::SaveAsTask);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_runNow);
  buttons->addWidget(m_saveAsTask);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(header);
  layout->addWidget(m_picker, 1);
  layout->addLayout(buttons);
}

void TForm_BR_MCBackup::showEvent(QShowEvent* event) {
  TQorEmbeddedScreen::showEvent(event);
  // Outlook is never installed here: the first client that is takes its
  // place, without a note.
  if (!event->spontaneous() && !m_shown) {
    m_shown = true;
    m_picker->ChooseFirstInstalled();
  }
}

bool TForm_BR_MCBackup::TakeSelection(TMailSelection& selection) {
  selection = m_picker->Selection();
  if (selection.Empty()) ShowNote(U("没有选中任何邮件对象!"), 2);
  return !selection.Empty();
}

void TForm_BR_MCBackup::RunNow() {
  TMailSelection selection;
  if (!TakeSelection(selection)) return;
  TButtonsOff off(m_runNow, m_saveAsTask);
  TPublicInfo& info = Shell().Info();
  const std::int32_t taskId = info.Tasks().NewTaskID(info.Now());
  TTaskObjectPtr task =
      taskId < 0 ? nullptr : CreateTaskObject(kKindMailClient, 0, info.UserCode());
  if (!task) {
    ShowNote(U("保存临时任务失败!"), 2);
    return;
  }
  task->TaskID = taskId;
  task->IsTemporary = true;
  task->CreateDate = info.Now();
  task->TaskName = U("临时任务").toStdString() + std::to_string(taskId);
  // Filled before the list shares it with the engine.
  task->MCInfo.MCKind = selection.Kind;
  task->MCInfo.MCFolders = selection.Folders;
  info.Tasks().Add(task);
  if (!info.Tasks().RequestStart(taskId, false, info.Now())) {
    info.Tasks().Remove(task.get());
    ShowNote(U("启动任务") + TaskIdText(taskId) + U("失败!"), 2);
    return;
  }
  ShowNote(U("任务") + TaskIdText(taskId) + U("已启动,请到执行区查看详情..."), 0);
  m_picker->ClearSelection();
}

void TForm_BR_MCBackup::SaveAsTask() {
  TMailSelection selection;
  if (!TakeSelection(selection)) return;
  TButtonsOff off(m_runNow, m_saveAsTask);
  TPublicInfo& info = Shell().Info();
  TForm_BR_TaskSetting dialog(info, kKindMailClient, this);
  dialog.exec();
  if (dialog.Result() == TForm_BR_TaskSetting::TResult::None) return;

  const std::int32_t taskId = info.Tasks().NewTaskID(info.Now());
  TTaskObjectPtr task = taskId < 0 ? nullptr : dialog.MakeTask(taskId);
  const std::string name = task ? task->TaskName : std::string();
  if (!task || !dialog.InsertTask(task)) {
    ShowNote(U("保存邮件任务信息失败!"), 2);
    return;
  }
  if (!SendMailSelection(info, taskId, selection)) {
    ShowNote(U("发送邮件任务内容失败!"), 2);
    RollBack(taskId, name);
    return;
  }
  ShowNote(U("保存任务信息成功!"), 0);
  if (dialog.Result() == TForm_BR_TaskSetting::TResult::SaveAndRun) Start(taskId);
  m_picker->ClearSelection();
}

void TForm_BR_MCBackup::RollBack(std::int32_t taskId, const std::string& name) {
  TPublicInfo& info = Shell().Info();
  if (info.Tasks().RemoveTask(info, taskId)) return;
  // Not removed on the server: it must not run half defined here.
  if (TTaskObjectPtr task = info.Tasks().FindTask(taskId)) info.Tasks().Remove(task.get());
  ShowNote(U("未保存完整的任务[") + QString::fromStdString(name) +
               U("]未能从服务器删除,请到任务列表中删除!"),
           2);
}

void TForm_BR_MCBackup::Start(std::int32_t taskId) {
  TPublicInfo& info = Shell().Info();
  if (info.Tasks().RequestStart(taskId, false, info.Now()))
    ShowNote(U("任务") + TaskIdText(taskId) + U("已启动,请到执行区查看详情..."), 0);
  else
    ShowNote(U("启动任务") + TaskIdText(taskId) + U("失败!"), 2);
}

}  // namespace solvane
