#include "ui/restore/TForm_BR_Restore_Recycle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "api/BrowseApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "tasks/Unit_Handler_Define.h"
#include "ui/restore/ServerTreeParts.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kRoleEntryKind = Qt::UserRole + 20;
constexpr int kRoleAbsolute = Qt::UserRole + 21;

}  // namespace

TForm_BR_Restore_Recycle::TForm_BR_Restore_Recycle(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("RecycleBin");
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(U("回 收 站 管 理"), this);
  title->setObjectName("ScreenTitle");
  title->setStyleSheet("QLabel { font-size: 14pt; font-weight: bold; color: #1f4e8c; }");
  layout->addWidget(title);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(U("请选择区域："), this));
  m_areaSelector = new QComboBox(this);
  m_areaSelector->setObjectName("AreaSelector");
  m_areaSelector->addItems({U("文件备份区"), U("文件同步区"), U("邮件区")});
  connect(m_areaSelector, &QComboBox::activated, this, [this] { Refresh(); });
  top->addWidget(m_areaSelector);
  top->addStretch();
  m_refresh = new QPushButton(U("刷新"), this);
  m_delete = new QPushButton(U("删除"), this);
  m_revert = new QPushButton(U("还原"), this);
  m_refresh->setObjectName("Refresh");
  m_delete->setObjectName("Delete");
  m_revert->setObjectName("Revert");
  connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(m_delete, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(m_revert, &QPushButton::clicked, this, [this] { RevertSelected(); });
  for (auto* b : {m_delete, m_revert, m_refresh}) top->addWidget(b);
  layout->addLayout(top);
  m_list = new QTreeWidget(this);
  m_list->setObjectName("RecycleList");
  m_list->setRootIsDecorated(false);
  SetUpServerTree(m_list, {U("文件夹\\文件"), U("文件大小"), U("文件时间"), U("原来位置")});
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  layout->addWidget(m_list, 1);
  UpdateButtons();
}

void TForm_BR_Restore_Recycle::Opening() {
  m_areaSelector->setCurrentIndex(0);
  Refresh();
}

int TForm_BR_Restore_Recycle::TaskKind() const {
  switch (m_areaSelector->currentIndex()) {
    case 0:
      return kKindFileBackup;
    case 1:
      return kKindFileSync;
    case 2:
      return kKindMailClient;
    default:
      return -1;
  }
}

void TForm_BR_Restore_Recycle::UpdateButtons() {
  const bool selected = m_list->currentItem() != nullptr;
  m_delete->setEnabled(selected);
  m_revert->setEnabled(selected);
}

void TForm_BR_Restore_Recycle::Refresh() {
  const int kind = TaskKind();
  if (kind < 0) {
    ShowNote(U("请选择具体区域!"), kNoteWarning);
    return;
  }
  ++m_generation;
  m_list->clear();
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(U("网络尚未连接上"), kNoteError);
    UpdateButtons();
    return;
  }
  const std::uint64_t generation = m_generation;
  api::TApiResult<std::vector<api::TTrashEntry>> listed;
  {
    // Always the signed-in user's own bin, also while the browser shows
    // another user's store.
    TBusyScreen busy(this);
    listed = api::BrowerShowTrashObject(info.Pool(), info.UserCode(), kind);
  }
  if (generation != m_generation) return;
  for (const api::TTrashEntry& e : listed.value) {
    auto* node = new QTreeWidgetItem(m_list);
    const bool file = e.ObjectKind == 0;
    node->setText(0, QString::fromStdString(e.ObjectName));
    if (file) {
      node->setText(1, GroupedSize(e.ObjectSize));
      node->setToolTip(1, HumanSize(e.ObjectSize));
      node->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
      node->setText(2, PackedDateText(e.ObjectDate));
    }
    node->setText(3, QString::fromStdString(e.AbsoluteObjectName));
    node->setData(0, kRoleEntryKind, static_cast<qlonglong>(e.ObjectKind));
    node->setData(0, kRoleSize, static_cast<qlonglong>(e.ObjectSize));
    node->setData(0, kRoleDate, static_cast<qlonglong>(e.ObjectDate));
    node->setData(0, kRoleAbsolute, QString::fromStdString(e.AbsoluteObjectName));
  }
  if (m_list->topLevelItemCount() > 0) m_list->setCurrentItem(m_list->topLevelItem(0));
  UpdateButtons();
}

bool TForm_BR_Restore_Recycle::Act(bool remove) {
  QTreeWidgetItem* node = m_list->currentItem();
  if (!node) {
    ShowNote(U("删除对象为空或无效!"), kNoteError);
    return false;
  }
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(U("网络尚未连接上"), kNoteError);
    return false;
  }
  api::TTrashEntry entry;
  entry.ObjectName = node->text(0).toStdString();
  entry.ObjectKind = node->data(0, kRoleEntryKind).toLongLong();
  // 64-bit and exact: among deletions of one path the server picks by
  // size and date.
  entry.ObjectSize = node->data(0, kRoleSize).toLongLong();
  entry.ObjectDate = node->data(0, kRoleDate).toLongLong();
  entry.AbsoluteObjectName = node->data(0, kRoleAbsolute).toString().toStdString();
  if (remove) {
    const QString question = U("确认要删除如下对象?") + "\r\n\r\n" +
                             (entry.ObjectKind == 0 ? U("文件:") : U("目录:")) + node->text(0);
    if (!Confirm(question)) return false;
  }
  const api::TCaller from{info.UserCode(), info.LocalIPAddress(), info.LocalMacAddress()};
  const std::uint64_t generation = m_generation;
  api::TApiStatus status;
  {
    TBusyScreen busy(this);
    status = remove ? api::BrowerRemoveTrashObject(info.Pool(), from, info.UserCode(),
                                                   TaskKind(), entry)
                    : api::BrowerRevertTrashObject(info.Pool(), from, info.UserCode(),
                                                   TaskKind(), entry);
  }
  if (!status.Ok()) {
    ShowNote(remove ? U("对象删除失败!") : U("对象还原失败!"), kNoteError);
    return false;
  }
  if (generation == m_generation) delete node;
  ShowNote(remove ? U("对象删除成功!") : U("对象还原成功!"), kNoteInformation);
  UpdateButtons();
  return true;
}

void TForm_BR_Restore_Recycle::DeleteSelected() {
  if (Act(true)) Refresh();
}

void TForm_BR_Restore_Recycle::RevertSelected() { Act(false); }

void TForm_BR_Restore_Recycle::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    if (m_delete->isEnabled()) DeleteSelected();
    return;
  }
  TQorEmbeddedScreen::keyPressEvent(event);
}

}  // namespace solvane
