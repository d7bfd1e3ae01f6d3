#include "ui/restore/TForm_BR_RestoreWizard.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/restore/TForm_BR_Restore_Browser.h"
#include "ui/restore/TForm_BR_Restore_Recycle.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// The first line and the line ending in a colon are indented by four
// blanks, the numbered lines by ten.
QString HelpOf(std::initializer_list<const char*> lines) {
  QStringList out;
  for (const char* line : lines) {
    const QString text = U(line);
    const bool numbered = !text.isEmpty() && text[0].isDigit();
    out << QString(numbered ? 10 : 4, ' ') + text;
  }
  return out.join("\r\n\r\n");
}

}  // namespace

QString TForm_BR_RestoreWizard::HelpText(int way) {
  switch (way) {
    case kWaySelective:
      return HelpOf({"通过类似文件管理器的界面,全面的显示目前Server端所有对象信息,并可自由选择进行恢复...",
                     "注意:", "1.有备份区/同步区/邮件区等区域划分,您要确定好您的操作范围",
                     "2.如果选择好了要恢复的目标对象,请根据导航,点击下一步按钮即可",
                     "3.若您选择了删除对象,则此对象默认将转移到回收站", "4.您可以搜索您的目标对象"});
    case kWayByTask:
      return HelpOf({"您可以根据当时的任务执行情况,按任务恢复对象....", "步骤及注意事项:",
                     "1.您必须先搜索确定您要恢复哪个任务的备份对象",
                     "2.如果选择好了要恢复的目标对象,请根据导航,点击下一步按钮即可"});
    case kWayRecycle:
      return HelpOf({"如果您删除了Server端的数据,系统会自动将这些数据移到回收站中,您可以真正删除它,"
                     "反之,也可以将其复原到原来位置....",
                     "步骤及注意事项:", "1.有备份区/同步区/邮件区等区域划分,您要确定好您的操作范围",
                     "2.如果选择好了目标对象,请点击工具栏上的具体功能按钮即可...",
                     "3.若您选择了删除对象,则此对象将被真正删除",
                     "4.若数据真删除且数据量较大时,可能会耗费一定时间..."});
    default:
      return {};
  }
}

TForm_BR_RestoreWizard::TForm_BR_RestoreWizard(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("RestoreWizard");
  setWindowTitle(U("数据恢复导航"));
  setMouseTracking(true);
  auto* layout = new QVBoxLayout(this);
  auto* header = new QLabel(U(" 数 据 恢 复 导 航"), this);
  header->setObjectName("ScreenTitle");
  header->setStyleSheet("QLabel { font-size: 14pt; font-weight: bold; color: #1f4e8c; }");
  layout->addWidget(header);
  layout->addSpacing(10);
  layout->addWidget(new QLabel(U("请选择您的恢复方式："), this));
  const char* texts[] = {"选择性恢复", "按任务恢复", "回收站"};
  const char* names[] = {"Selective", "ByTask", "Recycle"};
  for (int way = 0; way < 3; ++way) {
    m_ways[way] = new QPushButton(U(texts[way]), this);
    m_ways[way]->setObjectName(names[way]);
    m_ways[way]->setMinimumHeight(36);
    m_ways[way]->installEventFilter(this);
    layout->addWidget(m_ways[way]);
  }
  connect(m_ways[kWaySelective], &QPushButton::clicked, this, [this] { OpenSelective(); });
  connect(m_ways[kWayByTask], &QPushButton::clicked, this, [this] { OpenByTask(); });
  connect(m_ways[kWayRecycle], &QPushButton::clicked, this, [this] { OpenRecycle(); });
  m_ways[kWayByTask]->setEnabled(false);  // restore by task comes in a later version
  m_helpPanel = new QGroupBox(U("[提示信息]"), this);
  m_helpPanel->setObjectName("HelpPanel");
  auto* helpLayout = new QVBoxLayout(m_helpPanel);
  m_help = new QPlainTextEdit(m_helpPanel);
  m_help->setReadOnly(true);
  helpLayout->addWidget(m_help);
  m_helpPanel->hide();
  layout->addWidget(m_helpPanel, 1);
  layout->addStretch();
}

void TForm_BR_RestoreWizard::ShowHelp(int way) {
  m_shown = HelpText(way);
  m_help->setPlainText(m_shown);
  m_helpPanel->show();
}

QString TForm_BR_RestoreWizard::ShownHelp() const {
  return m_helpPanel->isVisible() ? m_shown : QString();
}

bool TForm_BR_RestoreWizard::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::FocusIn) {
    for (int way = 0; way < 3; ++way)
      if (watched == m_ways[way]) ShowHelp(way);
  }
  return TQorEmbeddedScreen::eventFilter(watched, event);
}

void TForm_BR_RestoreWizard::mouseMoveEvent(QMouseEvent* event) {
  m_helpPanel->hide();
  TQorEmbeddedScreen::mouseMoveEvent(event);
}

void TForm_BR_RestoreWizard::OpenSelective() { TForm_BR_Restore_Browser::OpenOwnStore(Shell()); }

void TForm_BR_RestoreWizard::OpenByTask() {}

void TForm_BR_RestoreWizard::OpenRecycle() {
  auto* screen = Shell().Screens().Embed<TForm_BR_Restore_Recycle>(Shell().ContentPanel(), false);
  screen->Opening();
}

}  // namespace solvane
