#include "ui/backup/TForm_BR_TaskSetting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "api/ApiCall.h"
#include "client/FileTaskSaving.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/SchedulePanel.h"
#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kMaxDelayMinutes = 99999;

// Windows line breaks, as the remark travels and is kept.
std::string WithCrLf(const QString& text) {
  QString crlf = text;
  crlf.replace("\r\n", "\n");
  crlf.replace('\n', "\r\n");
  return crlf.toStdString();
}

}  // namespace

TForm_BR_TaskSetting::TForm_BR_TaskSetting(TPublicInfo& info, int taskKind, QWidget* parent)
    : QDialog(parent), m_info(info), m_kind(taskKind) {
  setObjectName("TForm_BR_TaskSetting");
  setWindowTitle(U("设置任务属性"));
  setModal(true);
  m_pages = new QTabWidget;
  m_pages->addTab(BuildGeneralPage(), U("常规"));
  m_schedule = new TSchedulePanel(U("启动时间策略"));
  m_pages->addTab(m_schedule, U("时间策略设置"));

  m_save = new QPushButton(U("保存"));
  m_save->setObjectName("RzBitBtn_Save");
  m_save->setDefault(true);
  m_saveAndRun = new QPushButton(U("保存且执行"));
  m_saveAndRun->setObjectName("RzBitBtn_StartNow");
  m_back = new QPushButton(U("返回"));
  m_back->setObjectName("RzBitBtn_Back");
  connect(m_save, &QPushButton::clicked, this, [this] { Confirm(TResult::Save); });
  connect(m_saveAndRun, &QPushButton::clicked, this, [this] { Confirm(TResult::SaveAndRun); });
  connect(m_back, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {m_save, m_saveAndRun, m_back}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pages, 1);
  layout->addLayout(buttons);

  // The delay applies to scheduled starts only.
  auto followSchedule = [this](bool on) {
    m_delay->setEnabled(on);
    for (QLabel* label : m_delayLabels) label->setEnabled(on);
  };
  connect(m_schedule, &TSchedulePanel::ScheduleSwitched, this, followSchedule);
  followSchedule(false);
  setTabOrder(m_name, m_comment);
  resize(520, 420);
}

QWidget* TForm_BR_TaskSetting::BuildGeneralPage() {
  auto* page = new QWidget;
  m_name = new QLineEdit;
  m_name->setObjectName("RzEdit_TaskName");
  m_name->setMaxLength(100);
  m_comment = new QPlainTextEdit;
  m_comment->setObjectName("RzMemo_Comments");
  m_comment->setTabChangesFocus(true);
  m_backupMode = new QCheckBox(U("采用备份集方案"));
  m_backupMode->setObjectName("RzCheckBox_BackupMode");
  m_backupMode->setVisible(m_kind == kKindFileBackup);
  m_delay = new QSpinBox;
  m_delay->setObjectName("RzSpinEdit_DelayExcuteMinute");
  m_delay->setRange(0, kMaxDelayMinutes);
  m_delay->setValue(10);
  m_delayLabels[0] = new QLabel(U("任务在规定的时间内，可以延迟"));
  m_delayLabels[1] = new QLabel(U("分钟"));

  auto* nameLabel = new QLabel(U("设定任务名  ："));
  nameLabel->setBuddy(m_name);
  auto* commentLabel = new QLabel(U("设定备注信息："));
  commentLabel->setBuddy(m_comment);
  auto* grid = new QGridLayout(page);
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(m_name, 0, 1);
  grid->addWidget(commentLabel, 1, 0, Qt::AlignTop);
  grid->addWidget(m_comment, 1, 1);
  grid->addWidget(m_backupMode, 2, 1);
  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(m_delayLabels[0]);
  delayRow->addWidget(m_delay);
  delayRow->addWidget(m_delayLabels[1]);
  delayRow->addStretch(1);
  grid->addLayout(delayRow, 3, 0, 1, 2);
  grid->setRowStretch(1, 1);
  return page;
}

void TForm_BR_TaskSetting::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_pages->setCurrentIndex(0);
  m_schedule->StartToday();
  m_name->setFocus();
}

void TForm_BR_TaskSetting::Confirm(TResult result) {
  if (m_name->text().trimmed().isEmpty()) {
    ShowNote(U("任务名称不能为空"), 2);
    m_pages->setCurrentIndex(0);
    m_name->setFocus();
    return;
  }
  if (const QString problem = m_schedule->CheckSchedule(); !problem.isEmpty()) {
    ShowNote(problem, 2);
    m_pages->setCurrentWidget(m_schedule);
    return;
  }
  m_result = result;
  accept();
}

TTaskObjectPtr TForm_BR_TaskSetting::MakeTask(std::int32_t taskId) const {
  TTaskObjectPtr task = CreateTaskObject(m_kind, 0, m_info.UserCode());
  if (!task) return nullptr;
  task->TaskID = taskId;
  task->IsTemporary = false;
  task->TaskName = m_name->text().trimmed().toStdString();
  task->CreateDate = m_info.Now();
  task->BackupMode = m_kind == kKindFileBackup && m_backupMode->isChecked();
  task->Comment = WithCrLf(m_comment->toPlainText());
  m_schedule->Save(task->ScheduleInfo);
  task->ScheduleInfo.DelayExcuteMinute = m_delay->value();
  return task;
}

TTaskObjectPtr TForm_BR_TaskSetting::Insert(std::int32_t taskId) {
  TTaskObjectPtr task = MakeTask(taskId);
  return InsertTask(task) ? task : nullptr;
}

bool TForm_BR_TaskSetting::InsertTask(const TTaskObjectPtr& task) {
  if (!task) return false;
  if (!api::HasConnectedConnection(m_info.Pool())) {
    ShowNote(U("网络连接不存在或者未连接上服务器!"), 2);
    return false;
  }
  if (!InsertTaskOnServer(m_info, *task)) return false;
  m_info.Tasks().Add(task);
  return true;
}

}  // namespace solvane
