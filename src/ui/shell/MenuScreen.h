#pragma once
// A section's menu in the left column of the main window: a heading and a
// column of links, each showing a content screen.

#include <QPushButton>
#include <functional>

#include "ui/shell/QorWithUIDynamicForm.h"
#include "ui/shell/UiShell.h"

class QVBoxLayout;

namespace solvane {

// A link: flat, underlined on hover, hand cursor.
class TLinkButton : public QPushButton {
  Q_OBJECT
 public:
  TLinkButton(const QString& text, const QString& name, QWidget* parent = nullptr);
};

class TMenuScreen : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  TMenuScreen(TUiShell& shell, const QString& heading, QWidget* parent = nullptr);

  // The link whose text is text; null when there is none.
  QPushButton* Link(const QString& text) const;

 protected:
  QPushButton* AddLink(const QString& text, const QString& name, std::function<void()> action);
  // Shows the content screen T in the content panel.
  template <class T>
  T* ShowContent() {
    return Shell().Screens().Embed<T>(ContentPanel(), false);
  }
  // Shows T and runs its opening action.
  template <class T>
  T* OpenContent() {
    T* screen = ShowContent<T>();
    if (screen) screen->Opening();
    return screen;
  }

 private:
  QWidget* ContentPanel();

  QVBoxLayout* m_links = nullptr;
};

}  // namespace solvane
