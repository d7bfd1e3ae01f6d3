#include "ui/shell/PlaceholderScreens.h"

#include <QLabel>
#include <QVBoxLayout>

#include "client/Unit_PublicInfo.h"
#include "ui/shell/UiShell.h"

namespace solvane {

QString ComingScreenTitle(TComingScreen screen) {
  switch (screen) {
    case TComingScreen::RestoreWizard:
      return QString::fromUtf8("数据恢复");
    case TComingScreen::ShareArea:
      return QString::fromUtf8("公共数据区");
    case TComingScreen::AuthArea:
      return QString::fromUtf8("授权数据区");
  }
  return {};
}

QString ComingScreenNotice(TComingScreen screen) {
  switch (screen) {
    case TComingScreen::RestoreWizard:
      return QString::fromUtf8("数据恢复向导将在后续版本提供");
    case TComingScreen::ShareArea:
      return QString::fromUtf8("公共数据区功能将在后续版本提供");
    case TComingScreen::AuthArea:
      return QString::fromUtf8("授权数据区功能将在后续版本提供");
  }
  return {};
}

TPlaceholderScreen::TPlaceholderScreen(TUiShell& shell, TComingScreen screen, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent), m_screen(screen) {
  setObjectName("Placeholder");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  auto* title = new QLabel(ComingScreenTitle(screen), this);
  title->setObjectName("ScreenTitle");
  title->setStyleSheet("QLabel { font-size: 16pt; font-weight: bold; color: #1f4e8c; }");
  m_notice = new QLabel(ComingScreenNotice(screen), this);
  m_notice->setObjectName("Notice");
  m_notice->setWordWrap(true);
  m_notice->setStyleSheet("QLabel { font-size: 11pt; color: #505050; }");
  m_detail = new QLabel(this);
  m_detail->setObjectName("Detail");
  m_detail->setWordWrap(true);
  m_detail->hide();
  layout->addWidget(title);
  layout->addSpacing(12);
  layout->addWidget(m_notice);
  layout->addWidget(m_detail);
  layout->addStretch();
}

QString TPlaceholderScreen::Notice() const { return m_notice->text(); }
QString TPlaceholderScreen::Detail() const { return m_detail->text(); }

void TPlaceholderScreen::SetDetail(const QString& text) {
  m_detail->setText(text);
  m_detail->setVisible(!text.isEmpty());
}

}  // namespace solvane
