#include "ui/restore/ServerTreeParts.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QTreeWidgetItemIterator>

#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"

namespace solvane {

QString GroupedSize(std::int64_t bytes) { return QString::fromStdString(GroupThousands(bytes)); }

QString HumanSize(std::int64_t bytes) {
  static const char* units[] = {"B", "KB", "MB", "GB", "TB"};
  double v = static_cast<double>(bytes);
  int u = 0;
  while ((v >= 1024 || v <= -1024) && u < 4) {
    v /= 1024;
    ++u;
  }
  return u == 0 ? QString::number(bytes) + " B" : QString::number(v, 'f', 1) + " " + units[u];
}

QString PackedDateText(std::int64_t packed) {
  TLocalDateTime t;
  if (packed <= 0 || packed > 0xFFFFFFFFLL ||
      !DecodeDosDateTime(static_cast<std::uint32_t>(packed), t))
    return {};
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                           t.minute, t.second);
}

std::uint32_t PackedOf(const QDateTime& local) {
  const QDate d = local.date();
  const QTime t = local.time();
  return EncodeDosDateTime({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

QStringList ServerTreeHeaders() {
  return {QString::fromUtf8("文件\\文件夹"), QString::fromUtf8("大小(Byte)"),
          QString::fromUtf8("修改时间")};
}

void SetUpServerTree(QTreeWidget* tree, const QStringList& headers) {
  tree->setColumnCount(static_cast<int>(headers.size()));
  tree->setHeaderLabels(headers);
  tree->header()->resizeSection(0, 320);
  tree->header()->resizeSection(1, 120);
  tree->setUniformRowHeights(true);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
}

QTreeWidgetItem* AddServerObjectNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                     const TServerNode& o, int level) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
  const bool folder = o.ObjectKind == 1;
  node->setText(0, o.Name);
  node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
  node->setCheckState(0, Qt::Unchecked);
  node->setData(0, kRoleNodeKind, folder ? kNodeFolder : kNodeFile);
  node->setData(0, kRoleTag, o.Folder);
  node->setData(0, kRoleSize, static_cast<qlonglong>(folder ? -1 : o.Size));
  node->setData(0, kRoleDate, static_cast<qlonglong>(folder ? -1 : o.Date));
  node->setData(0, kRoleVersion, static_cast<qlonglong>(o.Version));
  node->setData(0, kRoleLevel, level);
  if (folder) {
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  } else {
    node->setText(1, GroupedSize(o.Size));
    node->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    node->setToolTip(1, HumanSize(o.Size));
    node->setText(2, PackedDateText(o.Date));
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  }
  return node;
}

int NodeKind(const QTreeWidgetItem* node) { return node->data(0, kRoleNodeKind).toInt(); }
bool IsFileNode(const QTreeWidgetItem* node) { return NodeKind(node) > 10; }
QString NodeTag(const QTreeWidgetItem* node) { return node->data(0, kRoleTag).toString(); }
std::int64_t NodeSize(const QTreeWidgetItem* node) {
  return node->data(0, kRoleSize).toLongLong();
}
std::int64_t NodeDate(const QTreeWidgetItem* node) {
  return node->data(0, kRoleDate).toLongLong();
}

std::string NodeServerPath(const QTreeWidgetItem* node) {
  const std::string name = node->text(0).toStdString();
  std::string tag = ToSlashes(NodeTag(node).toStdString());
  if (tag.empty()) return name;
  if (!tag.ends_with('/')) tag += '/';
  return tag + name;
}

std::vector<QTreeWidgetItem*> AllNodes(const QTreeWidget* tree) {
  std::vector<QTreeWidgetItem*> nodes;
  for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) nodes.push_back(*it);
  return nodes;
}

std::vector<QTreeWidgetItem*> CheckedNodes(const QTreeWidget* tree) {
  std::vector<QTreeWidgetItem*> nodes;
  for (QTreeWidgetItem* node : AllNodes(tree))
    if (node->checkState(0) == Qt::Checked) nodes.push_back(node);
  return nodes;
}

TBusyScreen::TBusyScreen(QWidget* screen) : m_screen(screen) {
  m_wasEnabled = screen->isEnabled();
  screen->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

TBusyScreen::~TBusyScreen() {
  QApplication::restoreOverrideCursor();
  if (m_screen) m_screen->setEnabled(m_wasEnabled);
}

}  // namespace solvane
