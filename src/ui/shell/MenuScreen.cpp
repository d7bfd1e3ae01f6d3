#include "ui/shell/MenuScreen.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/shell/UiShell.h"

namespace solvane {

TLinkButton::TLinkButton(const QString& text, const QString& name, QWidget* parent)
    : QPushButton(text, parent) {
  setObjectName(name);
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setStyleSheet(
      "QPushButton { color: #0b4a9e; text-align: left; padding: 4px 10px; border: none; }"
      "QPushButton:hover { text-decoration: underline; color: #1a73e8; }"
      "QPushButton:disabled { color: #909090; }");
}

TMenuScreen::TMenuScreen(TUiShell& shell, const QString& heading, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 10, 8, 10);
  layout->setSpacing(2);
  auto* title = new QLabel(heading, this);
  title->setObjectName("MenuHeading");
  title->setStyleSheet(
      "QLabel { font-weight: bold; color: #ffffff; background: #2f6db5; padding: 6px 10px; }");
  layout->addWidget(title);
  m_links = new QVBoxLayout;
  m_links->setSpacing(2);
  layout->addLayout(m_links);
  layout->addStretch();
}

QPushButton* TMenuScreen::AddLink(const QString& text, const QString& name,
                                  std::function<void()> action) {
  auto* link = new TLinkButton(text, name, this);
  m_links->addWidget(link);
  connect(link, &QPushButton::clicked, this, [action = std::move(action)] { action(); });
  return link;
}

QPushButton* TMenuScreen::Link(const QString& text) const {
  for (auto* link : findChildren<QPushButton*>())
    if (link->text() == text) return link;
  return nullptr;
}

QWidget* TMenuScreen::ContentPanel() { return Shell().ContentPanel(); }

}  // namespace solvane
