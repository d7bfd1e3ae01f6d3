#include "ui/backup/ShellViews.h"

#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QTimer>
#include <algorithm>

#include "platform/ShellRoots.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kPathRole = Qt::UserRole;
constexpr int kMarkRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
constexpr int kFolderRole = Qt::UserRole + 3;
constexpr int kSliceEntries = 200;

bool Before(const TShellEntry& a, const TShellEntry& b) {
  if (a.IsFolder != b.IsFolder) return a.IsFolder;
  const int folded = a.Name.compare(b.Name, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : a.Name < b.Name;
}

Qt::CheckState CheckStateOf(TShellMark mark) {
  switch (mark) {
    case kMarkChosen: return Qt::Checked;
    case kMarkPartly: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
  }
}

}  // namespace

QString ChildPath(const QString& folder, const QString& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool IsAtOrBelow(const QString& path, const QString& folder) {
  if (folder.isEmpty()) return false;
  if (path == folder) return true;
  const QString prefix = folder.endsWith('/') ? folder : folder + '/';
  return path.startsWith(prefix);
}

QString HumanSize(qint64 bytes) {
  const char* units[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return QString("%1 B").arg(bytes);
  double value = bytes / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  return QString("%1 %2").arg(value, 0, 'f', value < 10 ? 1 : 0).arg(units[unit]);
}

// ------------------------------------------------------------- the reader

TFolderReader::TFolderReader(const QString& path, bool foldersOnly, QObject* parent)
    : QObject(parent), m_path(path), m_foldersOnly(foldersOnly) {}

TFolderReader::~TFolderReader() {
  if (m_busy) QApplication::restoreOverrideCursor();
}

void TFolderReader::Start() {
  QDir::Filters filters = QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
  if (!m_foldersOnly) filters |= QDir::Files;
  m_it = std::make_unique<QDirIterator>(m_path, filters);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  m_busy = true;
  QTimer::singleShot(0, this, &TFolderReader::ReadSlice);
}

void TFolderReader::ReadSlice() {
  for (int n = 0; n < kSliceEntries && m_it->hasNext(); ++n) {
    m_it->next();
    const QFileInfo info = m_it->fileInfo();
    TShellEntry e;
    e.Name = info.fileName();
    e.Path = ChildPath(m_path, e.Name);
    e.IsFolder = info.isDir();
    if (e.IsFolder && IsUnlistedFolder(e.Path.toStdString())) continue;
    if (m_foldersOnly && !e.IsFolder) continue;
    e.Size = e.IsFolder ? 0 : info.size();
    e.Modified = info.lastModified();
    m_entries.push_back(std::move(e));
  }
  if (m_it->hasNext()) {
    QTimer::singleShot(0, this, &TFolderReader::ReadSlice);
    return;
  }
  std::sort(m_entries.begin(), m_entries.end(), Before);
  QApplication::restoreOverrideCursor();
  m_busy = false;
  emit Finished(m_entries);
}

// --------------------------------------------------------------- the tree

TShellTree::TShellTree(bool withMarks, QWidget* parent)
    : QTreeWidget(parent), m_withMarks(withMarks) {
  setObjectName("RzShellTree_Left");
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  m_settingMark = true;
  m_desktop = new QTreeWidgetItem(this, QStringList(U("桌面")));
  m_desktop->setData(0, kLoadedRole, true);
  m_settingMark = false;
  for (const TShellRoot& root : ShellRoots())
    AddFolderNode(m_desktop, QString::fromStdString(root.Caption),
                  QString::fromStdString(root.Path));
  m_desktop->setExpanded(true);
  connect(this, &QTreeWidget::itemExpanded, this, &TShellTree::Load);
  connect(this, &QTreeWidget::itemChanged, this, &TShellTree::ItemChanged);
}

QTreeWidgetItem* TShellTree::AddFolderNode(QTreeWidgetItem* parent, const QString& caption,
                                           const QString& path) {
  m_settingMark = true;
  auto* node = new QTreeWidgetItem(parent, QStringList(caption));
  node->setData(0, kPathRole, path);
  node->setToolTip(0, path);
  node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  if (m_withMarks) {
    node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
    node->setData(0, kMarkRole, int(kMarkUnchosen));
    node->setCheckState(0, Qt::Unchecked);
  }
  m_settingMark = false;
  return node;
}

QString TShellTree::PathOf(const QTreeWidgetItem* node) {
  return node ? node->data(0, kPathRole).toString() : QString();
}

TShellMark TShellTree::Mark(const QTreeWidgetItem* node) const {
  return node ? TShellMark(node->data(0, kMarkRole).toInt()) : kMarkNone;
}

void TShellTree::SetMark(QTreeWidgetItem* node, TShellMark mark) {
  if (!m_withMarks || !node || node == m_desktop) return;
  m_settingMark = true;
  node->setData(0, kMarkRole, int(mark));
  node->setCheckState(0, CheckStateOf(mark));
  m_settingMark = false;
}

bool TShellTree::IsLoaded(const QTreeWidgetItem* node) const {
  return node && node->data(0, kLoadedRole).toBool();
}

void TShellTree::ItemChanged(QTreeWidgetItem* node, int column) {
  if (m_settingMark || column != 0 || !m_withMarks || node == m_desktop) return;
  const TShellMark mark = Mark(node);
  if (node->checkState(0) == CheckStateOf(mark)) return;
  // The view toggled the box; the mark stays until the selection decides.
  SetMark(node, mark);
  emit MarkClicked(node);
}

void TShellTree::Load(QTreeWidgetItem* node) {
  // Null: never read; false: being read; true: read.
  if (!node || !node->data(0, kLoadedRole).isNull()) return;
  node->setData(0, kLoadedRole, false);  // being read
  ++m_loading;
  auto* reader = new TFolderReader(PathOf(node), true, this);
  connect(reader, &TFolderReader::Finished, this,
          [this, node, reader](const QVector<TShellEntry>& entries) {
            reader->deleteLater();
            --m_loading;
            Loaded(node, entries);
          });
  reader->Start();
}

void TShellTree::Loaded(QTreeWidgetItem* node, const QVector<TShellEntry>& entries) {
  m_settingMark = true;
  node->setData(0, kLoadedRole, true);
  node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  m_settingMark = false;
  for (const TShellEntry& e : entries) emit NodeAdded(AddFolderNode(node, e.Name, e.Path));
  emit NodeLoaded(node);
}

QTreeWidgetItem* TShellTree::ChildByCaption(QTreeWidgetItem* node, const QString& name) {
  if (!node) return nullptr;
  for (int i = 0; i < node->childCount(); ++i)
    if (node->child(i)->text(0) == name) return node->child(i);
  return nullptr;
}

QString TShellTree::SelectedPath() const { return PathOf(currentItem()); }

QVector<QTreeWidgetItem*> TShellTree::AllNodes() const {
  QVector<QTreeWidgetItem*> all;
  QVector<QTreeWidgetItem*> stack{m_desktop};
  while (!stack.isEmpty()) {
    QTreeWidgetItem* node = stack.takeFirst();
    all.push_back(node);
    for (int i = node->childCount() - 1; i >= 0; --i) stack.push_front(node->child(i));
  }
  return all;
}

bool TShellTree::Reveal(QTreeWidgetItem* root, const QString& path) {
  QTreeWidgetItem* node = root;
  while (node && PathOf(node) != path) {
    if (!IsLoaded(node)) {
      node->setExpanded(true);
      Load(node);
      QEventLoop wait;
      connect(this, &TShellTree::NodeLoaded, &wait, [&](QTreeWidgetItem* loaded) {
        if (loaded == node) wait.quit();
      });
      if (!IsLoaded(node)) wait.exec();
    }
    node->setExpanded(true);
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < node->childCount() && !next; ++i)
      if (IsAtOrBelow(path, PathOf(node->child(i)))) next = node->child(i);
    if (!next) break;
    node = next;
  }
  if (node) setCurrentItem(node);
  return node && PathOf(node) == path;
}

// --------------------------------------------------------------- the list

TShellList::TShellList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("RzShellList_Right");
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setHeaderLabels({U("名称"), U("大小"), U("类型"), U("修改日期")});
  header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < 4; ++column)
    header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (!m_settingCheck && column == 0) emit ItemToggled(item);
  });
}

void TShellList::ShowFolder(const QString& folder) {
  delete m_reader.data();
  m_settingCheck = true;
  clear();
  m_settingCheck = false;
  m_folder = folder;
  if (folder.isEmpty()) {
    emit Shown(folder);
    return;
  }
  m_reader = new TFolderReader(folder, false, this);
  connect(m_reader, &TFolderReader::Finished, this, [this](const QVector<TShellEntry>& entries) {
    m_reader->deleteLater();
    m_reader = nullptr;
    Fill(entries);
    emit Shown(m_folder);
  });
  m_reader->Start();
}

void TShellList::Fill(const QVector<TShellEntry>& entries) {
  m_settingCheck = true;
  QList<QTreeWidgetItem*> items;
  items.reserve(entries.size());
  for (const TShellEntry& e : entries) {
    auto* item = new QTreeWidgetItem(
        QStringList{e.Name, e.IsFolder ? QString() : HumanSize(e.Size),
                    e.IsFolder ? U("文件夹") : U("文件"), e.Modified.toString("yyyy-MM-dd hh:mm")});
    item->setData(0, kPathRole, e.Path);
    item->setData(0, kFolderRole, e.IsFolder);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    items.push_back(item);
  }
  addTopLevelItems(items);
  m_settingCheck = false;
}

QString TShellList::PathOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kPathRole).toString() : QString();
}

bool TShellList::IsFolderItem(const QTreeWidgetItem* item) {
  return item && item->data(0, kFolderRole).toBool();
}

bool TShellList::IsChecked(const QTreeWidgetItem* item) const {
  return item && item->checkState(0) == Qt::Checked;
}

void TShellList::SetChecked(QTreeWidgetItem* item, bool on) {
  if (!item) return;
  m_settingCheck = true;
  item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
  m_settingCheck = false;
}

QTreeWidgetItem* TShellList::ItemByName(const QString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (Item(i)->text(0) == name) return Item(i);
  return nullptr;
}

}  // namespace solvane
