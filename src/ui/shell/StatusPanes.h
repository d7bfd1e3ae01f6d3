#pragma once
// Panes of the main window's status bar: the scrolling text and the eight
// network lights.

#include <QTimer>
#include <QWidget>
#include <array>

namespace solvane {

class TQorTCPClientPool;

// A text that moves from right to left through the pane, over and over.
class TScrollingText : public QWidget {
  Q_OBJECT
 public:
  explicit TScrollingText(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString Text() const { return m_text; }
  QSize sizeHint() const override { return {320, 20}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_text;
  int m_x = 0;     // left edge of the text
  int m_hold = 0;  // steps to wait before moving on
  QTimer m_step;
};

enum class TNetLight { NotConnected, Busy, Idle };

// One light per pool connection, in pool order.
class TNetLights : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kCount = 8;
  explicit TNetLights(QWidget* parent = nullptr);
  // Reads every connection's state: not connected; connected with a call
  // waiting on it (busy); connected and free (idle).
  void Refresh(const TQorTCPClientPool& pool);
  TNetLight Light(int index) const { return m_lights.at(index); }
  QSize sizeHint() const override { return {kCount * 16 + 8, 20}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<TNetLight, kCount> m_lights{};
};

}  // namespace solvane
