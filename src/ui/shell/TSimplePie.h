#pragma once
// A flat cylinder seen from above, drawn as a pie: the sector of the used
// part in one colour, the rest in another, with a 12-pixel rim below the top
// ellipse in the same colours at half brightness. The options screen shows
// the available share of the user's server space with it.

#include <QColor>
#include <QWidget>

namespace solvane {

class TSimplePie : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRimDepth = 12;  // pixels

  explicit TSimplePie(QWidget* parent = nullptr);

  // Clamped to 0..100.
  void SetPosition(int position);
  int Position() const { return m_position; }
  // Colour of the sector from the right-hand horizontal radius through
  // Position() x 2 pi / 100 (counter-clockwise on screen).
  void SetUsedColor(const QColor& color);
  QColor UsedColor() const { return m_usedColor; }
  // Colour of the rest of the top.
  void SetBaseColor(const QColor& color);
  QColor BaseColor() const { return m_baseColor; }

  // The rectangle of the top ellipse inside the widget.
  QRectF TopRect() const;

  QSize sizeHint() const override { return {120, 90}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawLayer(QPainter& painter, const QRectF& ellipse, const QColor& used,
                 const QColor& base) const;

  int m_position = 0;
  QColor m_usedColor{0, 0, 255};
  QColor m_baseColor{255, 0, 255};
};

// The colour with each of red, green and blue halved.
QColor HalfBright(const QColor& color);

}  // namespace solvane
