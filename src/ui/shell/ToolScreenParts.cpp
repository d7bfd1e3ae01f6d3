#include "ui/shell/ToolScreenParts.h"

#include <QLabel>

namespace solvane {

QLabel* NewScreenHeading(const QString& text, QWidget* parent) {
  auto* heading = new QLabel(text, parent);
  heading->setObjectName("ScreenTitle");
  heading->setStyleSheet("QLabel { font-size: 16pt; font-weight: bold; color: #1f4e8c; }");
  return heading;
}

QString NotConnectedText() { return QString::fromUtf8("网络连接不存在或者未连接上服务器!"); }

}  // namespace solvane
