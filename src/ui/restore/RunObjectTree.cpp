#include "ui/restore/RunObjectTree.h"

#include <QHeaderView>

#include "api/LogApi.h"
#include "client/Unit_PublicInfo.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithPack.h"

namespace solvane {

namespace {

enum TRole {
  kKindRole = Qt::UserRole,  // TNodeKind
  kFolderRole,               // server folder bytes, as received
  kSizeRole,                 // qint64
  kDateRole,                 // qint64, packed
  kLoadedRole,               // a folder's files are loaded
  kNameRole,                 // a file's name bytes, as received
};

enum TColumn { kColName, kColSize, kColDate };

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString DateText(std::int64_t packed) {
  DateTime at;
  if (packed <= 0 || packed > 0xFFFFFFFFLL ||
      !DosToDateTime(static_cast<std::uint32_t>(packed), at))
    return {};
  return Q(FormatDateTime(at));
}

}  // namespace

TRunObjectTree::TRunObjectTree(TPublicInfo& info, QWidget* parent)
    : QTreeWidget(parent), m_info(info) {
  setColumnCount(3);
  setHeaderLabels({QString::fromUtf8("文件\\文件夹"), QString::fromUtf8("大小(Byte)"),
                   QString::fromUtf8("修改时间")});
  // The folder paths are long: the name column takes the room left.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(kColName, QHeaderView::Stretch);
  header()->resizeSection(kColSize, 120);
  header()->resizeSection(kColDate, 160);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemExpanded, this, &TRunObjectTree::Expanded);
}

void TRunObjectTree::SetCheckable(bool on) { m_checkable = on; }

void TRunObjectTree::ClearRun() {
  clear();
  m_taskId = -1;
  m_sessionId = 0;
}

void TRunObjectTree::SetNodeCheckable(QTreeWidgetItem* node, Qt::CheckState state) {
  if (!m_checkable) return;
  node->setFlags(node->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  node->setCheckState(kColName, state);
}

QTreeWidgetItem* TRunObjectTree::NewFolderNode(const std::string& folder) {
  auto* node = new QTreeWidgetItem;
  node->setText(kColName, Q(folder));
  node->setData(kColName, kKindRole, kFolderNode);
  node->setData(kColName, kFolderRole, QByteArray::fromStdString(folder));
  node->setData(kColName, kLoadedRole, false);
  node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  SetNodeCheckable(node, Qt::Unchecked);
  return node;
}

api::TApiStatus TRunObjectTree::LoadRun(std::int32_t taskId, std::uint32_t sessionId) {
  ClearRun();
  m_taskId = taskId;
  m_sessionId = sessionId;
  m_loading = true;  // the call pumps events: no expansion meanwhile
  const auto folders =
      api::LogTaskLogSelectFolder(m_info.Pool(), m_info.UserCode(), taskId, sessionId);
  m_loading = false;
  if (!folders) return folders.status;
  for (const std::string& folder : folders.value) addTopLevelItem(NewFolderNode(folder));
  return folders.status;
}

void TRunObjectTree::Expanded(QTreeWidgetItem* node) {
  if (!IsFolderNode(node) || node->data(kColName, kLoadedRole).toBool()) return;
  LoadFiles(node);
  node->setExpanded(true);
}

api::TApiStatus TRunObjectTree::LoadFiles(QTreeWidgetItem* folder) {
  if (!IsFolderNode(folder))
    return api::TApiStatus::Failed(api::TApiFailure::BadReply, "no folder");
  if (m_loading) return api::TApiStatus::Failed(api::TApiFailure::NoReply, "busy");
  m_loading = true;
  const std::string path = ServerFolder(folder);
  const auto files =
      api::LogTaskLogSelectObject(m_info.Pool(), m_info.UserCode(), m_taskId, m_sessionId, path);
  m_loading = false;
  if (!files) return files.status;
  // The folder's tick goes to its files; ticked whole stays whole.
  const Qt::CheckState state =
      m_checkable && folder->checkState(kColName) == Qt::Checked ? Qt::Checked : Qt::Unchecked;
  qDeleteAll(folder->takeChildren());
  for (const api::TRunLogObject& file : files.value) {
    auto* node = new QTreeWidgetItem;
    node->setText(kColName, Q(file.ObjectName));
    node->setText(kColSize, Q(GroupThousands(file.ObjectSize)));
    node->setTextAlignment(kColSize, Qt::AlignRight | Qt::AlignVCenter);
    node->setText(kColDate, DateText(file.ObjectDate));
    node->setData(kColName, kKindRole, kFileNode);
    node->setData(kColName, kFolderRole, QByteArray::fromStdString(path));
    node->setData(kColName, kNameRole, QByteArray::fromStdString(file.ObjectName));
    node->setData(kColName, kSizeRole, QVariant::fromValue<qint64>(file.ObjectSize));
    node->setData(kColName, kDateRole, QVariant::fromValue<qint64>(file.ObjectDate));
    folder->addChild(node);
    SetNodeCheckable(node, state);
  }
  folder->setData(kColName, kLoadedRole, true);
  if (files.value.empty()) folder->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  return files.status;
}

bool TRunObjectTree::IsFolderNode(const QTreeWidgetItem* node) {
  return node && node->data(kColName, kKindRole).toInt() == kFolderNode;
}

std::string TRunObjectTree::ServerFolder(const QTreeWidgetItem* node) {
  return node ? node->data(kColName, kFolderRole).toByteArray().toStdString() : std::string();
}

std::int64_t TRunObjectTree::FileSize(const QTreeWidgetItem* node) {
  return node && !IsFolderNode(node) ? node->data(kColName, kSizeRole).toLongLong() : -1;
}

std::int64_t TRunObjectTree::FileDate(const QTreeWidgetItem* node) {
  return node && !IsFolderNode(node) ? node->data(kColName, kDateRole).toLongLong() : -1;
}

QTreeWidgetItem* TRunObjectTree::FindFolder(const std::string& folder) const {
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (ServerFolder(topLevelItem(i)) == folder) return topLevelItem(i);
  return nullptr;
}

std::vector<TRunObjectChoice> TRunObjectTree::Checked() const {
  std::vector<TRunObjectChoice> out;
  if (!m_checkable) return out;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const QTreeWidgetItem* folder = topLevelItem(i);
    const std::string path = ServerFolder(folder);
    if (folder->checkState(kColName) == Qt::Checked) {
      out.push_back({path, true, {}, -1, -1});
      continue;
    }
    for (int j = 0; j < folder->childCount(); ++j) {
      const QTreeWidgetItem* file = folder->child(j);
      if (file->checkState(kColName) != Qt::Checked) continue;
      out.push_back({path, false, file->data(kColName, kNameRole).toByteArray().toStdString(),
                     FileSize(file), FileDate(file)});
    }
  }
  return out;
}

}  // namespace solvane
