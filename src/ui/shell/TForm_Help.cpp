#include "ui/shell/TForm_Help.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace solvane {

namespace {

struct THelpEntry {
  int topic;
  int subTopic;
  const char* title;
  const char* lines[3];
};

// clang-format off
constexpr THelpEntry kHelpTexts[] = {
    {1, 100, "文件备份",
     {"将若干个目录/文件的数据传送到Server上的过程:第一次执行将全备,以后每次会自动增量.另外,您可以按照意愿,设定自己的过滤条件...",
      "如果您是一次性备份的,则点击立即执行按钮即可...",
      "如果您需要以后周期性的执行,则可先保存为任务,在需要的时候执行"}},
    {1, 200, "文件夹同步",
     {"将某个本地目录和Server端的某目录完全对应起来的过程:第一次执行将全备,以后每次会自动比较差异.另外,您可以按照意愿,设定自己的过滤条件...",
      "如果您是一次性执行的,则点击立即执行按钮即可...",
      "如果您需要以后周期性的执行,则可先保存为任务,在需要的时候执行"}},
    {1, 300, "邮件备份",
     {"将本地的各种邮件数据上传到Server的过程:第一次执行将全备,以后每次会自动增量.另外,您既可以备份整个邮箱数据,也可以选择单封邮件进行备份...",
      "如果您是一次性执行的,则点击立即执行按钮即可...",
      "如果您需要以后周期性的执行,则可先保存为任务,在需要的时候执行"}},
    {1, 500, "任务列表",
     {"这里列出的都是您的周期性任务:您可以马上启动它,或者修改任务的属性等...",
      "如果此任务是系统管理员给您缺省分配的,您只能执行,无法进行属性修改和任务进行删除...",
      "如果是您自己定义的任务,即便您在这里不手工执行,它也会根据您设定的任务时间策略,在需要的时候自动执行..."}},
    {2, 100, "公共数据区",
     {"方便小组或者部门共享文件之用:您可以设定密码,只有知道密码的用户才能进行访问...",
      "一般情况下,您可以采用此功能,发布公告通知,共享一些工具软件,软件升级包及文档等...",
      "无论您是上传文件还是下载文件,具体执行过程都可以在进度区中找到..."}},
    {2, 300, "授权数据区",
     {"方便您查看您有权限的其他人的数据的功能,但这是跟整个系统的安全模式相关的.在标准模式下,您是部门领导的话,才有权看下属的数据...",
      "如果目前整个系统若处在安全模式下,您想看某人的数据,必须发送请求,在征得对方同意的情况下,您才能够进行查看...",
      "在安全模式下,若您的数据不想为其他人所看,请您务必进行撤销动作..."}},
};
// clang-format on

// Each line begins with four blanks; an empty line follows the first.
QString HelpText(const THelpEntry& entry) {
  const QString indent = QStringLiteral("    ");
  return indent + QString::fromUtf8(entry.lines[0]) + QStringLiteral("\n\n") + indent +
         QString::fromUtf8(entry.lines[1]) + QLatin1Char('\n') + indent +
         QString::fromUtf8(entry.lines[2]);
}

const THelpEntry* FindHelp(int topic, int subTopic) {
  const auto* found = std::find_if(
      std::begin(kHelpTexts), std::end(kHelpTexts),
      [&](const THelpEntry& entry) { return entry.topic == topic && entry.subTopic == subTopic; });
  return found == std::end(kHelpTexts) ? nullptr : found;
}

}  // namespace

TForm_Help::TForm_Help(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TForm_Help"));
  setFixedSize(kWidth, kHeight);
  // The one-pixel margin around the children shows as a grey frame.
  QPalette frame = palette();
  frame.setColor(QPalette::Window, QColor(119, 119, 119));
  setPalette(frame);
  setAutoFillBackground(true);

  m_title = new QLabel(this);
  m_title->setObjectName(QStringLiteral("title"));
  m_title->setFixedHeight(22);
  m_title->setContentsMargins(6, 0, 6, 0);
  m_title->setAutoFillBackground(true);
  QPalette caption = m_title->palette();
  caption.setColor(QPalette::Window, QColor(10, 36, 106));
  caption.setColor(QPalette::WindowText, Qt::white);
  m_title->setPalette(caption);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);

  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("text"));
  m_text->setTextFormat(Qt::PlainText);
  m_text->setWordWrap(true);
  m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_text->setContentsMargins(kTextMargin, kTextMargin, kTextMargin, kTextMargin);
  m_text->setAutoFillBackground(true);
  QPalette paper = m_text->palette();
  paper.setColor(QPalette::Window, QColor(255, 255, 225));
  paper.setColor(QPalette::WindowText, Qt::black);
  m_text->setPalette(paper);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  layout->addWidget(m_title);
  layout->addWidget(m_text, 1);
  setFocusPolicy(Qt::StrongFocus);

  // Keys and clicks reach the popup's children first; one application-wide
  // filter sees them all, and the right button anywhere in the program.
  qApp->installEventFilter(this);
}

TForm_Help::~TForm_Help() {
  if (qApp) qApp->removeEventFilter(this);
}

void TForm_Help::SetTopic(int topic, int subTopic) {
  const THelpEntry* entry = FindHelp(topic, subTopic);
  if (!entry) return;
  m_title->setText(QString::fromUtf8(entry->title));
  m_text->setText(HelpText(*entry));
  FitText();
}

// The texts are longer than the window's 109 pixels hold in most fonts, and
// the popup closes on the first key or click, so nothing could scroll: the
// window grows downwards until the whole text shows.
void TForm_Help::FitText() {
  const int textHeight = m_text->heightForWidth(kWidth - 2);
  setFixedSize(kWidth, std::max(kHeight, 1 + m_title->height() + textHeight + 1));
}

QString TForm_Help::Title() const { return m_title->text(); }

QString TForm_Help::Text() const { return m_text->text(); }

void TForm_Help::Popup(int topic, int subTopic, QPoint mouse) {
  SetTopic(topic, subTopic);
  QScreen* screen = QGuiApplication::screenAt(mouse);
  if (!screen) screen = QGuiApplication::primaryScreen();
  PlaceHelpPopup(*this, mouse, screen ? screen->geometry() : QRect());
  show();
  raise();
  activateWindow();
  setFocus();
}

bool TForm_Help::IsMine(QObject* object) const {
  auto* widget = qobject_cast<QWidget*>(object);
  return widget && widget->window() == this;
}

bool TForm_Help::eventFilter(QObject* watched, QEvent* event) {
  if (!isVisible() || !watched->isWidgetType()) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      if (IsMine(watched)) close();
      break;
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (IsMine(watched) || mouse->button() == Qt::RightButton) close();
      break;
    }
    default:
      break;
  }
  return false;
}

void PlaceHelpPopup(TForm_Help& popup, QPoint mouse, QRect screen) {
  const int left = std::max(mouse.x() - popup.width(), screen.left() + 20);
  // Near the screen's bottom it rises just enough to show whole.
  const int screenBottom = screen.y() + screen.height();
  const int top = std::max(screen.top(), std::min(mouse.y(), screenBottom - popup.height()));
  popup.move(left, top);
}

}  // namespace solvane
