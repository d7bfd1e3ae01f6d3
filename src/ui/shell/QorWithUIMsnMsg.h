#pragma once
// The notification popup: a small frameless window that slides up at the
// lower right of the work area, stays a while and slides away, never taking
// the keyboard focus. ShowNote is the one way the program talks to the user
// in passing; any thread reaches it through TQtNoteSink.

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace solvane {

class TNoteKindIcon;
class TNoteTextLabel;

// Slide tick and stay time of every popup created afterwards. The program
// uses the defaults; tests shorten the stay.
struct TNoteTimings {
  int slideMs = 15;
  int stayMs = 3000;
};
void SetNoteTimings(const TNoteTimings& timings);
TNoteTimings NoteTimings();

class TQorFormUIWithMsnMsg : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 181;
  static constexpr int kClientHeight = 117;
  static constexpr int kTextWidth = 137;
  static constexpr int kTextHeight = 57;

  enum class TPhase { SlidingIn, Staying, SlidingOut };

  // Placed off screen, registered in the open-notes list; slide-in timer runs.
  explicit TQorFormUIWithMsnMsg(QWidget* parent = nullptr);
  ~TQorFormUIWithMsnMsg() override;

  // REQUIRES: kind is 0, 1 or 2. Sets label, icon and colours, grows the
  // text label and the popup when the wrapped text needs more height.
  void SetMessage(const QString& text, int kind);
  // Shows without activation just below the work area and starts its course.
  void Start();
  // Stops sliding in or staying and slides out at once.
  void SlideOut();

  QString Text() const { return m_text; }
  int Kind() const { return m_kind; }
  int Step() const { return m_step; }
  TPhase Phase() const { return m_phase; }
  QLabel* KindLabel() const { return m_kindLabel; }
  QLabel* TextLabel() const;
  QWidget* KindIcon() const;
  // The area the popup slides within: the primary screen's available part.
  static QRect WorkArea();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SlideInTick();
  void SlideOutTick();
  void PaintBackground();
  static int Speed(int step) { return step * 3 / 11 + 1; }

  QString m_text;
  int m_kind = 0;
  int m_step = 0;
  TPhase m_phase = TPhase::SlidingIn;
  QColor m_colorFrom;
  QColor m_colorTo;
  QPixmap m_background;
  QTimer m_slideInTimer;
  QTimer m_stayTimer;
  QTimer m_slideOutTimer;
  QLabel* m_kindLabel = nullptr;
  TNoteKindIcon* m_icon = nullptr;
  TNoteTextLabel* m_textLabel = nullptr;
};

// Creates and shows a popup and returns at once (GUI thread only; other
// threads use TQtNoteSink). Kinds: 0 information, 1 warning, 2 error; any
// other kind shows nothing.
void ShowNote(const QString& text, int kind);
// The popups now open (the list is lock-protected).
QList<TQorFormUIWithMsnMsg*> OpenNotes();
// Frees every open popup (at the end of the program).
void CloseAllNotes();

}  // namespace solvane
