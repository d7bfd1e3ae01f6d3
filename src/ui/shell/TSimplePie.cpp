#include "ui/shell/TSimplePie.h"

#include <QPainter>

#include <algorithm>

namespace solvane {

namespace {

// Qt measures pie angles in sixteenths of a degree, counter-clockwise from
// three o'clock.
constexpr int kFullCircle = 360 * 16;

}  // namespace

QColor HalfBright(const QColor& color) {
  return QColor(color.red() / 2, color.green() / 2, color.blue() / 2);
}

TSimplePie::TSimplePie(QWidget* parent) : QWidget(parent) { setMinimumSize(40, 40); }

void TSimplePie::SetPosition(int position) {
  const int clamped = std::clamp(position, 0, 100);
  if (clamped == m_position) return;
  m_position = clamped;
  update();
}

void TSimplePie::SetUsedColor(const QColor& color) {
  m_usedColor = color;
  update();
}

void TSimplePie::SetBaseColor(const QColor& color) {
  m_baseColor = color;
  update();
}

QRectF TSimplePie::TopRect() const {
  const qreal w = std::max(1, width() - 1);
  const qreal h = std::max(1, height() - 1 - kRimDepth);
  return QRectF(0.5, 0.5, w - 0.5, h - 0.5);
}

void TSimplePie::DrawLayer(QPainter& painter, const QRectF& ellipse, const QColor& used,
                           const QColor& base) const {
  const int usedSpan = m_position * kFullCircle / 100;
  painter.setBrush(base);
  painter.setPen(base);
  if (usedSpan < kFullCircle) painter.drawPie(ellipse, usedSpan, kFullCircle - usedSpan);
  painter.setBrush(used);
  painter.setPen(used);
  if (usedSpan > 0) painter.drawPie(ellipse, 0, usedSpan);
}

void TSimplePie::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF top = TopRect();
  // The rim: the same pie stacked downwards in the dark colours; the top
  // drawn last covers all but the visible edge below it.
  const QColor usedRim = HalfBright(m_usedColor);
  const QColor baseRim = HalfBright(m_baseColor);
  for (int depth = kRimDepth; depth >= 1; --depth)
    DrawLayer(painter, top.translated(0, depth), usedRim, baseRim);
  DrawLayer(painter, top, m_usedColor, m_baseColor);
}

}  // namespace solvane
