#include "ui/areas/AreaScreenParts.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "client/Unit_PublicInfo.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "ui/shell/MenuScreen.h"

namespace solvane {

api::TCaller CallerOf(TPublicInfo& info) {
  return {info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()};
}

TAreaBusy::TAreaBusy(QWidget* screen) : m_screen(screen) {
  m_wasEnabled = screen->isEnabled();
  screen->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

TAreaBusy::~TAreaBusy() {
  QApplication::restoreOverrideCursor();
  if (m_screen) m_screen->setEnabled(m_wasEnabled);
}

QString SizeText(std::int64_t bytes) {
  const QString exact = QString::fromStdString(GroupThousands(bytes));
  if (bytes < 1024) return exact;
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes);
  int unit = -1;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  const int decimals = value < 10 ? 2 : (value < 100 ? 1 : 0);
  return exact + " (" + QString::number(value, 'f', decimals) + " " + kUnits[unit] + ")";
}

QString DosDateText(std::int64_t packed) {
  TLocalDateTime t{};
  if (packed <= 0 || packed > 0xFFFFFFFFLL ||
      !DecodeDosDateTime(static_cast<std::uint32_t>(packed), t))
    return {};
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                           t.minute, t.second);
}

QString ServerDateText(const std::string& text) {
  const QString raw = QString::fromStdString(text).trimmed();
  for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
    const QDateTime t = QDateTime::fromString(raw, QString::fromLatin1(format));
    if (t.isValid()) return t.toString("yyyy-MM-dd HH:mm:ss");
  }
  const QDateTime iso = QDateTime::fromString(raw, Qt::ISODate);
  if (iso.isValid()) return iso.toString("yyyy-MM-dd HH:mm:ss");
  return raw;
}

QTreeWidget* NewAreaList(const QStringList& headers, const QString& name, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(name);
  list->setColumnCount(static_cast<int>(headers.size()));
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
  list->header()->setStretchLastSection(true);
  return list;
}

void SetColumnWidths(QTreeWidget* list, std::initializer_list<int> widths) {
  int column = 0;
  for (int width : widths) list->setColumnWidth(column++, width);
}

QPushButton* NewAreaButton(const QString& text, const QString& name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setMinimumWidth(88);
  button->setAutoDefault(false);
  return button;
}

QPushButton* NewHelpLink(const QString& text, const QString& name, QWidget* parent) {
  auto* link = new TLinkButton(text, name, parent);
  return link;
}

}  // namespace solvane
