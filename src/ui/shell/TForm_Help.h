#pragma once
// The help popup: a small borderless window next to the mouse pointer with
// a title bar and a fixed explanatory text chosen by topic and sub-topic.
// It closes on any key, on a mouse button pressed on it and on a right
// mouse button pressed anywhere in the program.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;

namespace solvane {

class TForm_Help : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 327;
  // Least height; a text that needs more makes the window taller.
  static constexpr int kHeight = 109;
  static constexpr int kTextMargin = 4;

  explicit TForm_Help(QWidget* parent = nullptr);
  ~TForm_Help() override;

  // Title and text of the pair; a pair without a text keeps the previous ones.
  void SetTopic(int topic, int subTopic);
  QString Title() const;
  QString Text() const;
  // SetTopic, PlaceHelpPopup on the screen under the mouse, show and raise.
  void Popup(int topic, int subTopic, QPoint mouse);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool IsMine(QObject* object) const;
  void FitText();

  QLabel* m_title = nullptr;
  QLabel* m_text = nullptr;
};

// Moves the popup so that its right edge is at the mouse (its left edge at
// least 20 pixels from the screen's left) and its top at the mouse (higher
// only where the screen's bottom would cut it off).
void PlaceHelpPopup(TForm_Help& popup, QPoint mouse, QRect screen);

}  // namespace solvane
