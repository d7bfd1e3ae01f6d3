#pragma once
// Content screens that later versions provide. Each says in plain words
// what will come there and offers no control that could look as if it
// worked. One class per screen, so each is embedded (and kept) on its own.

#include "ui/shell/QorWithUIDynamicForm.h"

class QLabel;

namespace solvane {

enum class TComingScreen {
  RestoreWizard,
  ShareArea,
  AuthArea,
};

// The screen's title and its notice.
QString ComingScreenTitle(TComingScreen screen);
QString ComingScreenNotice(TComingScreen screen);

class TPlaceholderScreen : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  TPlaceholderScreen(TUiShell& shell, TComingScreen screen, QWidget* parent = nullptr);
  TComingScreen Which() const { return m_screen; }
  QString Notice() const;
  // A line below the notice (e.g. what the screen was opened with).
  void SetDetail(const QString& text);
  QString Detail() const;

 private:
  TComingScreen m_screen;
  QLabel* m_notice = nullptr;
  QLabel* m_detail = nullptr;
};

template <TComingScreen Screen>
class TComingScreenOf : public TPlaceholderScreen {
 public:
  explicit TComingScreenOf(TUiShell& shell, QWidget* parent = nullptr)
      : TPlaceholderScreen(shell, Screen, parent) {}
};

using TScreen_RestoreWizard = TComingScreenOf<TComingScreen::RestoreWizard>;
using TScreen_ShareArea = TComingScreenOf<TComingScreen::ShareArea>;
using TScreen_AuthArea = TComingScreenOf<TComingScreen::AuthArea>;

}  // namespace solvane
