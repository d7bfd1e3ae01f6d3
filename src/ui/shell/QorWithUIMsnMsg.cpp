#include "ui/shell/QorWithUIMsnMsg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QTextLayout>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace solvane {

namespace {

QMutex& NotesMutex() {
  static QMutex mutex;
  return mutex;
}

QList<TQorFormUIWithMsnMsg*>& NotesList() {
  static QList<TQorFormUIWithMsnMsg*> notes;
  return notes;
}

TNoteTimings& Timings() {
  static TNoteTimings timings;
  return timings;
}

void AddNote(TQorFormUIWithMsnMsg* note) {
  QMutexLocker lock(&NotesMutex());
  NotesList().append(note);
}

void RemoveNote(TQorFormUIWithMsnMsg* note) {
  QMutexLocker lock(&NotesMutex());
  NotesList().removeAll(note);
}

struct TKindLook {
  const char* label;
  QColor to;
};

// Right-hand gradient colour of each kind. The system colour of inactive
// caption text has no role of its own in Qt; the disabled window text is the
// same muted grey.
TKindLook KindLook(int kind) {
  switch (kind) {
    case 1:
      return {"警告", QColor(Qt::yellow)};
    case 2:
      return {"错误", QColor(Qt::magenta)};
    default:
      return {"信息", QApplication::palette().color(QPalette::Disabled, QPalette::WindowText)};
  }
}

int Mix(int from, int to, int x, int width) {
  return width <= 1 ? from : from + (to - from) * x / (width - 1);
}

}  // namespace

// The kind's picture, drawn in code.
class TNoteKindIcon : public QWidget {
 public:
  explicit TNoteKindIcon(QWidget* parent) : QWidget(parent) {
    setFixedSize(32, 32);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  void SetKind(int kind) {
    m_kind = kind;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    if (m_kind == 1) {
      PaintWarning(painter, box);
    } else if (m_kind == 2) {
      PaintError(painter, box);
    } else {
      PaintInformation(painter, box);
    }
  }

 private:
  static void PaintInformation(QPainter& painter, const QRectF& box) {
    painter.setPen(QPen(QColor(20, 70, 160), 1.5));
    painter.setBrush(QColor(40, 110, 220));
    painter.drawEllipse(box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    const QPointF c = box.center();
    painter.drawEllipse(QPointF(c.x(), box.top() + 7), 2.2, 2.2);
    painter.drawRoundedRect(QRectF(c.x() - 2, box.top() + 11, 4, 13), 1, 1);
  }
  static void PaintWarning(QPainter& painter, const QRectF& box) {
    QPainterPath triangle;
    triangle.moveTo(box.center().x(), box.top());
    triangle.lineTo(box.right(), box.bottom() - 1);
    triangle.lineTo(box.left(), box.bottom() - 1);
    triangle.closeSubpath();
    painter.setPen(QPen(QColor(120, 90, 0), 1.5));
    painter.setBrush(QColor(250, 205, 30));
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const qreal cx = box.center().x();
    painter.drawRoundedRect(QRectF(cx - 1.8, box.top() + 8, 3.6, 11), 1, 1);
    painter.drawEllipse(QPointF(cx, box.bottom() - 5), 2, 2);
  }
  static void PaintError(QPainter& painter, const QRectF& box) {
    painter.setPen(QPen(QColor(140, 0, 0), 1.5));
    painter.setBrush(QColor(215, 30, 30));
    painter.drawEllipse(box);
    painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    const QRectF cross = box.adjusted(8.5, 8.5, -8.5, -8.5);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
  }

  int m_kind = 0;
};

// The message label. It wraps at word boundaries and, where a word (a long
// path, an address) is wider than the label, inside the word, so no part of
// a message is cut off at the right edge.
class TNoteTextLabel : public QLabel {
 public:
  explicit TNoteTextLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
  }

  // Height the text needs word-wrapped in `width` pixels.
  static int TextHeight(const QFont& font, int width, const QString& text) {
    QTextLayout layout;
    return LayOut(layout, font, width, text);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QTextLayout layout;
    LayOut(layout, font(), width(), text());
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF(0, 0));
  }

 private:
  static int LayOut(QTextLayout& layout, const QFont& font, int width, QString text) {
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(text);
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      line.setPosition(QPointF(0, y));
      y += line.height();
    }
    layout.endLayout();
    return static_cast<int>(std::ceil(y));
  }
};

void SetNoteTimings(const TNoteTimings& timings) { Timings() = timings; }

TNoteTimings NoteTimings() { return Timings(); }

// A tool-tip type window: every platform keeps it above the others, out of
// the task bar and away from the keyboard focus, whatever the window manager
// would do with an ordinary tool window that merely asks not to be activated.
TQorFormUIWithMsnMsg::TQorFormUIWithMsnMsg(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  setPalette(white);
  setAutoFillBackground(true);

  m_icon = new TNoteKindIcon(this);
  m_icon->move(10, 10);
  m_kindLabel = new QLabel(this);
  m_kindLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont bold = m_kindLabel->font();
  bold.setBold(true);
  m_kindLabel->setFont(bold);
  m_kindLabel->setGeometry(50, 16, 120, 20);
  m_textLabel = new TNoteTextLabel(this);
  m_textLabel->setGeometry((kClientWidth - kTextWidth) / 2, 48, kTextWidth, kTextHeight);

  // Off screen until Start() places it.
  move(-10 * kClientWidth, -10 * kClientHeight);
  AddNote(this);

  const TNoteTimings timings = NoteTimings();
  m_slideInTimer.setInterval(timings.slideMs);
  m_slideOutTimer.setInterval(timings.slideMs);
  m_stayTimer.setInterval(timings.stayMs);
  m_stayTimer.setSingleShot(true);
  connect(&m_slideInTimer, &QTimer::timeout, this, &TQorFormUIWithMsnMsg::SlideInTick);
  connect(&m_stayTimer, &QTimer::timeout, this, &TQorFormUIWithMsnMsg::SlideOut);
  connect(&m_slideOutTimer, &QTimer::timeout, this, &TQorFormUIWithMsnMsg::SlideOutTick);
  m_slideInTimer.start();
}

TQorFormUIWithMsnMsg::~TQorFormUIWithMsnMsg() { RemoveNote(this); }

QLabel* TQorFormUIWithMsnMsg::TextLabel() const { return m_textLabel; }

QWidget* TQorFormUIWithMsnMsg::KindIcon() const { return m_icon; }

QRect TQorFormUIWithMsnMsg::WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

void TQorFormUIWithMsnMsg::SetMessage(const QString& text, int kind) {
  m_text = text;
  m_kind = kind;
  const TKindLook look = KindLook(kind);
  m_kindLabel->setText(QString::fromUtf8(look.label));
  m_icon->SetKind(kind);
  m_colorFrom = Qt::white;
  m_colorTo = look.to;

  m_textLabel->setText(text);
  const int needed = TNoteTextLabel::TextHeight(m_textLabel->font(), kTextWidth, text);
  // Grows with the text, but never beyond the work area: a runaway message
  // must not push the popup's top off the screen.
  const int extra =
      std::clamp(needed - kTextHeight, 0, std::max(0, WorkArea().height() - kClientHeight));
  m_textLabel->resize(kTextWidth, kTextHeight + extra);
  setFixedSize(kClientWidth, kClientHeight + extra);
}

void TQorFormUIWithMsnMsg::Start() {
  const QRect area = WorkArea();
  const int areaBottom = area.y() + area.height();
  move(area.x() + area.width() - width(), areaBottom - 1);
  show();
  // While a modal dialog is up (a sign-in failure, say) the widgets of other
  // windows get no clicks; the window itself still sees them first.
  if (QWindow* window = windowHandle()) window->installEventFilter(this);
  PaintBackground();
}

void TQorFormUIWithMsnMsg::SlideInTick() {
  ++m_step;
  const QRect area = WorkArea();
  if (y() + height() <= area.y() + area.height()) {
    m_slideInTimer.stop();
    m_phase = TPhase::Staying;
    m_stayTimer.start();
    return;
  }
  move(x(), y() - Speed(m_step));
}

void TQorFormUIWithMsnMsg::SlideOut() {
  if (m_phase == TPhase::SlidingOut) return;
  m_slideInTimer.stop();
  m_stayTimer.stop();
  m_phase = TPhase::SlidingOut;
  m_slideOutTimer.start();
}

void TQorFormUIWithMsnMsg::SlideOutTick() {
  m_step = std::max(0, m_step - 1);
  move(x(), y() + Speed(m_step));
  const QRect area = WorkArea();
  if (y() >= area.y() + area.height() - 2) {
    m_slideOutTimer.stop();
    RemoveNote(this);
    close();
  }
}

void TQorFormUIWithMsnMsg::PaintBackground() {
  m_background = QPixmap(size());
  QPainter painter(&m_background);
  const int w = width();
  for (int x = 0; x < w; ++x) {
    painter.setPen(QColor(Mix(m_colorFrom.red(), m_colorTo.red(), x, w),
                          Mix(m_colorFrom.green(), m_colorTo.green(), x, w),
                          Mix(m_colorFrom.blue(), m_colorTo.blue(), x, w)));
    painter.drawLine(x, 0, x, height() - 1);
  }
  painter.setPen(QColor(119, 119, 119));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(0, 0, w - 1, height() - 1);
  update();
}

void TQorFormUIWithMsnMsg::paintEvent(QPaintEvent*) {
  if (m_background.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, m_background);
}

bool TQorFormUIWithMsnMsg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::MouseButtonPress) SlideOut();
  return false;
}

void TQorFormUIWithMsnMsg::mousePressEvent(QMouseEvent* event) {
  SlideOut();
  event->accept();
}

void ShowNote(const QString& text, int kind) {
  if (kind < 0 || kind > 2) return;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (QThread::currentThread() != app->thread()) {
    QMetaObject::invokeMethod(
        app, [text, kind] { ShowNote(text, kind); }, Qt::QueuedConnection);
    return;
  }
  // Once the program is ending, popups are freed and no new one appears
  // (notes queued by the core during the last sign-out would outlive it).
  static bool ending = false;
  static bool endingWatched = false;
  if (!endingWatched) {
    endingWatched = true;
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] {
      ending = true;
      CloseAllNotes();
    });
  }
  if (ending) return;
  auto* note = new TQorFormUIWithMsnMsg;
  note->SetMessage(text, kind);
  note->Start();
}

QList<TQorFormUIWithMsnMsg*> OpenNotes() {
  QMutexLocker lock(&NotesMutex());
  return NotesList();
}

void CloseAllNotes() {
  QList<TQorFormUIWithMsnMsg*> notes;
  {
    QMutexLocker lock(&NotesMutex());
    notes.swap(NotesList());
  }
  for (TQorFormUIWithMsnMsg* note : notes) delete note;
}

}  // namespace solvane
