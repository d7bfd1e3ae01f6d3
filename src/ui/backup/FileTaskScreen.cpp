#include "ui/backup/FileTaskScreen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "client/FileTaskSaving.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/TForm_BR_TaskSetting.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// The buttons stay off while a sequence runs: its server calls let events
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

QString TaskIdText(std::int32_t taskId) { return QString::number(taskId); }

TFileTaskScreen::TFileTaskScreen(TUiShell& shell, int taskKind, const TTexts& texts,
                                 TFilterPage::TStyle filterStyle, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent), m_kind(taskKind), m_texts(texts) {
  auto* title = NewScreenHeading(U(texts.Title), this);
  m_help = new QLabel(QString("<a href=\"help\">%1</a>").arg(U(texts.HelpLink)), this);
  m_help->setObjectName("HelpLink");
  m_help->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(m_help, &QLabel::linkActivated, this,
          [this] { Shell().ShowHelpPopup(1, m_texts.HelpSubTopic); });
  auto* header = new QHBoxLayout;
  header->addWidget(title);
  header->addStretch(1);
  header->addWidget(m_help);

  m_pages = new QTabWidget(this);
  m_filter = new TFilterPage(filterStyle);
  m_pages->addTab(new QWidget, U(texts.TargetPage));
  m_pages->addTab(m_filter, U("过滤器"));

  m_runNow = new QPushButton(U("立即执行"), this);
  m_runNow->setObjectName("RunNowButton");
  m_saveAsTask = new QPushButton(U("保存为任务"), this);
  m_saveAsTask->setObjectName("SaveAsTaskButton");
  connect(m_runNow, &QPushButton::clicked, this, &TFileTaskScreen::RunNow);
  connect(m_saveAsTask, &QPushButton::clicked, this, &TFileTaskScreen::SaveAsTask);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_runNow);
  buttons->addWidget(m_saveAsTask);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(header);
  layout->addWidget(m_pages, 1);
  layout->addLayout(buttons);
}

void TFileTaskScreen::SetTargetPage(QWidget* page) {
  QWidget* old = m_pages->widget(0);
  m_pages->removeTab(0);
  delete old;
  m_pages->insertTab(0, page, U(m_texts.TargetPage));
  m_pages->setCurrentIndex(0);
}

void TFileTaskScreen::showEvent(QShowEvent* event) {
  TQorEmbeddedScreen::showEvent(event);
  if (!event->spontaneous() && m_kind == kKindFileBackup) m_filter->ResetDates();
}

void TFileTaskScreen::FillContent(TTaskObject& task,
                                  const std::vector<TTaskFileObject>& objects) const {
  task.FileObjects.Items = objects;
  m_filter->Save(task.FilterInfo);
}

void TFileTaskScreen::RunNow() {
  std::vector<TTaskFileObject> objects;
  if (!CollectObjects(objects)) return;
  TButtonsOff off(m_runNow, m_saveAsTask);
  TPublicInfo& info = Shell().Info();
  const std::int32_t taskId = info.Tasks().NewTaskID(info.Now());
  TTaskObjectPtr task = taskId < 0 ? nullptr : CreateTaskObject(m_kind, 0, info.UserCode());
  if (!task) {
    ShowNote(U("保存临时任务失败!"), 2);
    return;
  }
  task->TaskID = taskId;
  task->IsTemporary = true;
  task->CreateDate = info.Now();
  task->TaskName = U("临时任务").toStdString() + std::to_string(taskId);
  FillContent(*task, objects);
  info.Tasks().Add(task);
  if (!info.Tasks().RequestStart(taskId, false, info.Now())) {
    info.Tasks().Remove(task.get());
    ShowNote(U("启动任务") + TaskIdText(taskId) + U("失败!"), 2);
    return;
  }
  RunStarted(taskId);
  ChoiceUsed();
}

void TFileTaskScreen::SaveAsTask() {
  std::vector<TTaskFileObject> objects;
  if (!CollectObjects(objects)) return;
  TButtonsOff off(m_runNow, m_saveAsTask);
  TPublicInfo& info = Shell().Info();
  TForm_BR_TaskSetting dialog(info, m_kind, this);
  dialog.exec();
  if (dialog.Result() == TForm_BR_TaskSetting::TResult::None) return;

  const std::int32_t taskId = info.Tasks().NewTaskID(info.Now());
  TTaskObjectPtr task = taskId < 0 ? nullptr : dialog.MakeTask(taskId);
  if (task) FillContent(*task, objects);
  if (!task || !dialog.InsertTask(task)) {
    ShowNote(U("保存任务信息失败!"), 2);
    return;
  }
  TFileTaskStep failed = TFileTaskStep::Objects;
  if (!SendFileTaskContent(info, *task, &failed)) {
    const char* text = failed == TFileTaskStep::Objects  ? "保存任务内容失败!"
                       : failed == TFileTaskStep::Filter ? m_texts.FilterFailed
                                                         : m_texts.FilterExFailed;
    ShowNote(U(text), 2);
    RollBack(task);
    return;
  }
  ShowNote(U("保存任务信息成功!"), 0);
  if (dialog.Result() == TForm_BR_TaskSetting::TResult::SaveAndRun) StartNamed(taskId);
  ChoiceUsed();
}

void TFileTaskScreen::RollBack(const TTaskObjectPtr& task) {
  TPublicInfo& info = Shell().Info();
  if (info.Tasks().RemoveTask(info, task->TaskID)) return;
  // Not in this session's list either: it must not run half defined.
  info.Tasks().Remove(task.get());
  ShowNote(U("未保存完整的任务[") + QString::fromStdString(task->TaskName) +
               U("]未能从服务器删除,请到任务列表中删除!"),
           2);
}

void TFileTaskScreen::StartNamed(std::int32_t taskId) {
  TPublicInfo& info = Shell().Info();
  if (info.Tasks().RequestStart(taskId, false, info.Now()))
    ShowNote(U("任务") + TaskIdText(taskId) + U("已启动,请到执行区查看详情..."), 0);
  else
    ShowNote(U("启动任务") + TaskIdText(taskId) + U("失败!"), 2);
}

}  // namespace solvane
