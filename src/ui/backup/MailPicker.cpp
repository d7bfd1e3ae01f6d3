#include "ui/backup/MailPicker.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/Unit_PublicInfo.h"
#include "mail/QorWithMCFoxmail.h"
#include "mail/QorWithMCOutlookExpress.h"
#include "mail/QorWithMCService.h"
#include "platform/LocalTime.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TTaskObject_MC.h"
#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kFolderRole = Qt::UserRole;      // FolderID (qlonglong); none on "邮件数据"
constexpr int kImageRole = Qt::UserRole + 1;   // 0 top level, 1 with subfolders, 2 without
constexpr int kMessageRole = Qt::UserRole;     // MessageID of a row

// Marks set while this lives are the picker's own.
class TUpdating {
 public:
  explicit TUpdating(int& depth) : m_depth(depth) { ++m_depth; }
  ~TUpdating() { --m_depth; }

 private:
  int& m_depth;
};

// Reading a large store takes a moment: the cursor says so.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
};

struct TKindEntry {
  const char* Caption;
  int Kind;
};
constexpr TKindEntry kKinds[] = {{"Outlook 邮件", kMCKindOutlook},
                                 {"Outlook Express 邮件", kMCKindOutlookExpress},
                                 {"Foxmail 邮件", kMCKindFoxmail}};

// REQUIRES: LockMailReaders held.
TQorCustomMC* ReaderOf(TPublicInfo& info, int kind) {
  return ActiveMailReader(info.MailService(), kind);
}

bool HasFolder(const QTreeWidgetItem* node) { return node && node->data(0, kFolderRole).isValid(); }
std::int64_t FolderOf(const QTreeWidgetItem* node) {
  return node->data(0, kFolderRole).toLongLong();
}

QString DateText(DateTime t) {
  const TLocalDateTime l = ToLocalDateTime(t);
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", l.year, l.month, l.day, l.hour,
                           l.minute, l.second);
}

// The first node of folder id; the tree's first node when none has it.
QTreeWidgetItem* FindTreeNode(QTreeWidget* tree, std::int64_t id) {
  QTreeWidgetItem* first = tree->topLevelItemCount() ? tree->topLevelItem(0) : nullptr;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if (HasFolder(*it) && FolderOf(*it) == id) return *it;
  return first;
}

Qt::CheckState MarkOf(const TQorMCFolderObject& folder) {
  if (folder.IsSelected) return Qt::Checked;
  return HasSelectedMessage(folder) ? Qt::PartiallyChecked : Qt::Unchecked;
}

}  // namespace

QString NotInstalledText(int kind) {
  switch (kind) {
    case kMCKindOutlook:
      return U("未安装Outlook!");
    case kMCKindOutlookExpress:
      return U("未安装OutlookExpress!");
    default:
      return U("未安装Foxmail!");
  }
}

TMailPicker::TMailPicker(TPublicInfo& info, bool typeFixed, QWidget* parent)
    : QWidget(parent), m_info(info) {
  auto* typeGroup = new QGroupBox(U("邮件类型"), this);
  m_type = new QComboBox(typeGroup);
  m_type->setObjectName("MailType");
  for (const TKindEntry& e : kKinds) m_type->addItem(U(e.Caption), e.Kind);
  m_type->setEnabled(!typeFixed);
  auto* typeRow = new QHBoxLayout(typeGroup);
  typeRow->addWidget(new QLabel(U("请选择邮件类型："), typeGroup));
  typeRow->addWidget(m_type);
  m_store = new QPushButton(U("指定邮件目录..."), typeGroup);
  m_store->setObjectName("MailStoreButton");
  m_store->setVisible(!typeFixed);
  typeRow->addWidget(m_store);
  typeRow->addStretch(1);
  connect(m_type, &QComboBox::activated, this, &TMailPicker::TypeChanged);
  connect(m_store, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, U("指定邮件目录..."));
    if (!dir.isEmpty() && !UseStoreFolder(dir)) ShowNote(NotInstalledText(Kind()), 2);
  });

  m_tree = new QTreeWidget;
  m_tree->setObjectName("MailFolders");
  m_tree->setHeaderHidden(true);
  connect(m_tree, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* node) { NodeChanged(node); });
  connect(m_tree, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { ShowFolderMessages(node); });
  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(new QLabel(U("文件夹")));
  leftLayout->addWidget(m_tree);

  m_list = new QTreeWidget;
  m_list->setObjectName("MailMessages");
  m_list->setRootIsDecorated(false);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setHeaderLabels({U("发件人"), U("主题"), U("发送日期"), U("大小")});
  m_list->header()->setSectionsClickable(false);
  const int widths[] = {100, 300, 130, 80};
  for (int c = 0; c < 4; ++c) m_list->setColumnWidth(c, widths[c]);
  m_list->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  connect(m_list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row) { RowChanged(row); });

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(left);
  splitter->addWidget(m_list);
  splitter->setStretchFactor(0, 27);
  splitter->setStretchFactor(1, 73);
  auto* pages = new QTabWidget(this);
  pages->addTab(splitter, U("邮件对象"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(typeGroup);
  layout->addWidget(pages, 1);
}

int TMailPicker::Kind() const { return m_type->currentData().toInt(); }

void TMailPicker::ChooseFirstInstalled() {
  int chosen = kMCKindFoxmail;
  {
    auto lock = LockMailReaders();
    for (const TKindEntry& e : kKinds) {
      const TQorCustomMC* reader = ReaderOf(m_info, e.Kind);
      if (reader && reader->Installed) {
        chosen = e.Kind;
        break;
      }
    }
  }
  ChooseKind(chosen, false);
}

void TMailPicker::TypeChanged() { ChooseKind(Kind()); }

bool TMailPicker::ChooseKind(int kind, bool note) {
  m_type->setCurrentIndex(m_type->findData(kind));
  m_store->setEnabled(kind != kMCKindOutlook);
  bool installed = false;
  {
    TBusyCursor busy;
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, kind);
    installed = reader && reader->Installed;
    if (installed) reader->Folders.SetAllSelected(false);
  }
  if (!installed) {
    // The previous reader's ticks would no longer count.
    Empty();
    if (note) ShowNote(NotInstalledText(kind), 2);
    return false;
  }
  FillTree();
  return true;
}

bool TMailPicker::ShowSaved(const TTaskMCInfo& saved) {
  const int kind = saved.MCKind == kMCKindOutlook || saved.MCKind == kMCKindOutlookExpress
                       ? int(saved.MCKind)
                       : int(kMCKindFoxmail);
  m_type->setCurrentIndex(m_type->findData(kind));
  bool installed = false;
  {
    TBusyCursor busy;
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, kind);
    installed = reader && reader->Installed;
    if (installed) {
      reader->Folders.SetAllSelected(false);
      for (const auto& folder : saved.MCFolders) {
        TQorMCFolderObject* own = reader->Folders.FindByID(folder->FolderID);
        if (!own) continue;
        reader->ReadMessage(*own, false);
        reader->ApplySelection(*folder);
      }
    }
  }
  if (!installed) {
    Empty();
    ShowNote(NotInstalledText(kind), 2);
    return false;
  }
  FillTree();
  return true;
}

bool TMailPicker::UseStoreFolder(const QString& dir) {
  const int kind = Kind();
  const std::string path = QDir::cleanPath(dir).toStdString();
  IRegistry& registry = m_info.Registry();
  const auto user = TRegistryRoot::CurrentUser;
  bool written = false;
  if (kind == kMCKindFoxmail)  // the reader takes the folder of the program file named
    written = registry.WriteString(user, "\\Software\\Aerofox\\Foxmail\\V3.1", "FoxMailPath",
                                   path + "/Foxmail.exe");
  else if (kind == kMCKindOutlookExpress)
    written = registry.WriteString(user, "\\Software\\Microsoft\\Outlook Express", "Store Root",
                                   path);
  if (!written) return false;
  {
    TBusyCursor busy;
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, kind);
    if (auto* fox = dynamic_cast<TQorFoxMail*>(reader)) fox->OpenStore(path);
    if (auto* oe = dynamic_cast<TQorOutlookExpress*>(reader)) oe->OpenStore(path);
  }
  return ChooseKind(kind, false);
}

void TMailPicker::Empty() {
  TUpdating updating(m_updating);
  m_tree->clear();
  m_list->clear();
  m_listed = -1;
}

void TMailPicker::FillTree() {
  Empty();
  TUpdating updating(m_updating);
  auto lock = LockMailReaders();
  TQorCustomMC* reader = ReaderOf(m_info, Kind());
  if (!reader) return;
  if (reader->Kind != kMCKindOutlookExpress) new QTreeWidgetItem(m_tree, {U("邮件数据")});
  for (const auto& folder : reader->Folders) {
    QTreeWidgetItem* parent = FindTreeNode(m_tree, folder->ParentID);
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    node->setText(0, QString::fromStdString(folder->Name));
    node->setData(0, kFolderRole, QVariant::fromValue<qlonglong>(folder->FolderID));
  }
  const QIcon icons[] = {style()->standardIcon(QStyle::SP_DriveHDIcon),
                         style()->standardIcon(QStyle::SP_DirOpenIcon),
                         style()->standardIcon(QStyle::SP_DirIcon)};
  for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
    QTreeWidgetItem* node = *it;
    const int image = !node->parent() ? 0 : node->childCount() ? 1 : 2;
    node->setData(0, kImageRole, image);
    node->setIcon(0, icons[image]);
    Qt::ItemFlags flags = node->flags() | Qt::ItemIsUserCheckable;
    if (node->childCount()) flags |= Qt::ItemIsAutoTristate;
    node->setFlags(flags);
    if (!node->childCount()) {
      const TQorMCFolderObject* folder =
          HasFolder(node) ? reader->Folders.FindByID(FolderOf(node)) : nullptr;
      node->setCheckState(0, folder ? MarkOf(*folder) : Qt::Unchecked);
    }
  }
  if (m_tree->topLevelItemCount()) m_tree->expandRecursively(m_tree->indexFromItem(m_tree->topLevelItem(0)));
}

void TMailPicker::ShowFolderMessages(QTreeWidgetItem* node) {
  {
    TUpdating updating(m_updating);
    m_list->clear();
  }
  m_listed = -1;
  if (!HasFolder(node)) return;
  m_listed = FolderOf(node);
  RefreshRows();
}

void TMailPicker::RefreshRows() {
  TUpdating updating(m_updating);
  TBusyCursor busy;
  auto lock = LockMailReaders();
  TQorCustomMC* reader = ReaderOf(m_info, Kind());
  TQorMCFolderObject* folder = reader ? reader->Folders.FindByID(m_listed) : nullptr;
  if (!folder) {
    m_list->clear();
    return;
  }
  reader->ReadMessage(*folder, false);
  // Messages read only now belong to a folder that may be ticked whole.
  if (folder->IsSelected) SetSelected(*folder, true);
  if (m_list->topLevelItemCount() != static_cast<int>(folder->Messages.Count())) {
    m_list->clear();
    for (const auto& m : folder->Messages) {
      auto* row = new QTreeWidgetItem(m_list);
      row->setText(0, QString::fromStdString(m->Sender));
      row->setText(1, QString::fromStdString(m->Subject));
      row->setText(2, DateText(m->SendDate));
      row->setText(3, QString::fromStdString(GroupThousands(m->Size)));
      row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
      row->setData(0, kMessageRole, QVariant::fromValue<qlonglong>(m->MessageID));
      row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    }
  }
  for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = m_list->topLevelItem(i);
    const TQorMCMessage* m = folder->Messages.FindByID(row->data(0, kMessageRole).toLongLong());
    row->setCheckState(0, m && m->IsSelected ? Qt::Checked : Qt::Unchecked);
  }
}

void TMailPicker::NodeChanged(QTreeWidgetItem* node) {
  // Parents pass their mark on to every node below; only leaves choose.
  if (m_updating || !HasFolder(node) || node->childCount()) return;
  const bool whole = node->checkState(0) == Qt::Checked;
  const std::int64_t id = FolderOf(node);
  {
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, Kind());
    TQorMCFolderObject* folder = reader ? reader->Folders.FindByID(id) : nullptr;
    if (!folder) return;
    // Unticking forgets the folder's single ticks too.
    SetSelected(*folder, whole);
  }
  if (id == m_listed) RefreshRows();
}

void TMailPicker::RowChanged(QTreeWidgetItem* row) {
  if (m_updating || m_listed < 0) return;
  {
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, Kind());
    TQorMCFolderObject* folder = reader ? reader->Folders.FindByID(m_listed) : nullptr;
    TQorMCMessage* message =
        folder ? folder->Messages.FindByID(row->data(0, kMessageRole).toLongLong()) : nullptr;
    if (!message) return;
    message->IsSelected = row->checkState(0) == Qt::Checked;
    // A message left out: the folder is no longer meant whole.
    if (!message->IsSelected) folder->IsSelected = false;
  }
  RefreshNodeMark(m_listed);
}

void TMailPicker::RefreshNodeMark(std::int64_t folderId) {
  QTreeWidgetItem* node = FolderNode(folderId);
  if (!node || node->childCount()) return;
  Qt::CheckState mark = Qt::Unchecked;
  {
    auto lock = LockMailReaders();
    TQorCustomMC* reader = ReaderOf(m_info, Kind());
    const TQorMCFolderObject* folder = reader ? reader->Folders.FindByID(folderId) : nullptr;
    if (folder) mark = MarkOf(*folder);
  }
  TUpdating updating(m_updating);
  node->setCheckState(0, mark);
}

QTreeWidgetItem* TMailPicker::FolderNode(std::int64_t folderId) const {
  for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
    if (HasFolder(*it) && FolderOf(*it) == folderId) return *it;
  return nullptr;
}

TMailSelection TMailPicker::Selection() const {
  auto lock = LockMailReaders();
  TQorCustomMC* reader = m_info.MailService().GetReader(Kind());
  if (!reader || !reader->Installed) return {static_cast<std::uint8_t>(Kind()), {}};
  return CopyMailSelection(*reader);
}

void TMailPicker::ClearSelection() {
  {
    TUpdating updating(m_updating);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
      if (!(*it)->childCount()) (*it)->setCheckState(0, Qt::Unchecked);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
      m_list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  }
  auto lock = LockMailReaders();
  if (TQorCustomMC* reader = m_info.MailService().GetReader(Kind()))
    reader->Folders.SetAllSelected(false);
}

}  // namespace solvane
