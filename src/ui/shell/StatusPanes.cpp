#include "ui/shell/StatusPanes.h"

#include <QPainter>
#include <QRadialGradient>

#include "wire/QorWithNetTCPClient.h"

namespace solvane {

namespace {

constexpr int kScrollStepMs = 80;
constexpr int kScrollStepPx = 2;
constexpr int kTextMargin = 6;
constexpr int kHoldSteps = 4000 / kScrollStepMs;

QColor ColourOf(TNetLight light) {
  switch (light) {
    case TNetLight::NotConnected:
      return QColor(150, 150, 150);
    case TNetLight::Busy:
      return QColor(245, 170, 30);
    case TNetLight::Idle:
      return QColor(40, 190, 70);
  }
  return Qt::black;
}

}  // namespace

TScrollingText::TScrollingText(QWidget* parent) : QWidget(parent) {
  setObjectName("ScrollingText");
  setMinimumWidth(200);
  connect(&m_step, &QTimer::timeout, this, [this] {
    if (m_hold > 0) {
      --m_hold;
      return;
    }
    const int before = m_x;
    m_x -= kScrollStepPx;
    // Gone at the left: comes in again from the right.
    if (m_x < -fontMetrics().horizontalAdvance(m_text)) m_x = width();
    // Back at the start: rests there a moment to be read whole.
    if (before > kTextMargin && m_x <= kTextMargin) {
      m_x = kTextMargin;
      m_hold = kHoldSteps;
    }
    update();
  });
}

void TScrollingText::SetText(const QString& text) {
  m_text = text;
  m_x = kTextMargin;  // starts readable, then moves
  m_hold = kHoldSteps;
  if (!m_step.isActive()) m_step.start(kScrollStepMs);
  update();
}

void TScrollingText::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(QColor(30, 60, 110));
  p.drawText(QRect(m_x, 0, fontMetrics().horizontalAdvance(m_text) + 4, height()),
             Qt::AlignVCenter | Qt::AlignLeft, m_text);
}

TNetLights::TNetLights(QWidget* parent) : QWidget(parent) {
  setObjectName("NetLights");
  m_lights.fill(TNetLight::NotConnected);
  setMinimumSize(sizeHint());
  setToolTip(QString::fromUtf8("网络连接：灰色 未连接，黄色 忙，绿色 空闲"));
}

void TNetLights::Refresh(const TQorTCPClientPool& pool) {
  for (int i = 0; i < kCount; ++i) {
    TNetLight light = TNetLight::NotConnected;
    if (static_cast<std::size_t>(i) < pool.Count()) {
      const TQorTCPClient& c = pool.Item(static_cast<std::size_t>(i));
      if (c.Connected())
        light = (c.InCall() || c.HasWaitingCall()) ? TNetLight::Busy : TNetLight::Idle;
    }
    m_lights[static_cast<std::size_t>(i)] = light;
  }
  update();
}

void TNetLights::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int y = height() / 2;
  for (int i = 0; i < kCount; ++i) {
    const QPoint centre(10 + i * 16, y);
    const QColor colour = ColourOf(m_lights[static_cast<std::size_t>(i)]);
    QRadialGradient shine(centre - QPoint(2, 2), 7);
    shine.setColorAt(0, colour.lighter(160));
    shine.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(shine);
    p.drawEllipse(centre, 5, 5);
  }
}

}  // namespace solvane
