#include "ui/shell/TForm_Tool_HelpCenter.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/INoteSink.h"
#include "ui/shell/HelpBook.h"
#include "ui/shell/MenuScreen.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

void OpenBook(const QString& keyword) {
  if (!OpenHelpBook(keyword)) ShowNote(U("无法打开帮助手册"), kNoteError);
}

}  // namespace

TForm_Tool_HelpCenter::TForm_Tool_HelpCenter(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("TForm_Tool_HelpCenter");
  setWindowTitle(U("帮助中心"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(6);
  layout->addWidget(NewScreenHeading(U("帮助中心"), this));
  layout->addSpacing(8);

  const QString site = QString::fromLatin1(kMakerWebSite);
  const QString mail = QStringLiteral("mailto:") + QString::fromLatin1(kSupportMailAddress);
  connect(AddLink(U("访问我们的网站"), "LinkWebSite", site), &QPushButton::clicked, this,
          [site] { QDesktopServices::openUrl(QUrl(site)); });
  connect(AddLink(U("获取支持"), "LinkSupport", QString::fromLatin1(kSupportMailAddress)),
          &QPushButton::clicked, this, [mail] { QDesktopServices::openUrl(QUrl(mail)); });
  connect(AddLink(U("帮助手册"), "LinkHelpBook", U("使用说明：登录、选项、托盘与锁定")),
          &QPushButton::clicked, this, [] { OpenBook(QString()); });
  connect(AddLink(U("常见问题解答"), "LinkFaq", U("使用中常见的问题及其解决办法")),
          &QPushButton::clicked, this, [] { OpenBook(U(kFaqKeyword)); });
  layout->addStretch();
}

QPushButton* TForm_Tool_HelpCenter::AddLink(const QString& text, const QString& name,
                                            const QString& detail) {
  auto* link = new TLinkButton(text, name, this);
  auto* note = new QLabel(detail, this);
  note->setObjectName(name + "Detail");
  note->setStyleSheet("QLabel { color: #606060; margin-left: 8px; }");
  auto* layout = static_cast<QVBoxLayout*>(this->layout());
  layout->addWidget(link, 0, Qt::AlignLeft);
  layout->addWidget(note);
  layout->addSpacing(8);
  return link;
}

QPushButton* TForm_Tool_HelpCenter::Link(const QString& text) const {
  for (auto* button : findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

}  // namespace solvane
