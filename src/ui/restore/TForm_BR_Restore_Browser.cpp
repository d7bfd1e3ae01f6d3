#include "ui/restore/TForm_BR_Restore_Browser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "api/BrowseApi.h"
#include "api/MailApi.h"
#include "client/Unit_PublicInfo.h"
#include "mail/QorWithMCService.h"
#include "platform/INoteSink.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TPostBag.h"
#include "ui/restore/RestoreOptionsPage.h"
#include "ui/restore/RestoreStart.h"
#include "ui/restore/ServerTreeParts.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

constexpr std::int64_t kMB = 1048576;

QString U(const char* text) { return QString::fromUtf8(text); }

int StoreKindOfArea(int area) {
  return area == TForm_BR_Restore_Browser::kAreaSync ? kKindFileSync : kKindFileBackup;
}

TServerNode NodeOf(const api::TStoreEntry& e) {
  return {e.ObjectKind, e.ObjectSize, e.ObjectDate, e.ObjectVersion,
          QString::fromStdString(e.ObjectName), QString::fromStdString(e.ObjectFolder)};
}

TServerChoice ChoiceOf(const QTreeWidgetItem* node, const std::string& path) {
  const bool folder = !IsFileNode(node);
  return {path, folder, folder ? -1 : NodeSize(node), folder ? -1 : NodeDate(node),
          node->data(0, kRoleVersion).toLongLong()};
}

std::int64_t MailID(const QTreeWidgetItem* node, int role) {
  return node->data(0, role).toLongLong();
}

// The area a search result was found in.
QString StoreName(int taskKind) {
  return taskKind == kKindFileSync     ? U("文件同步区")
         : taskKind == kKindMailClient ? U("邮件区")
                                       : U("文件备份区");
}

bool IsMailClientNode(const QTreeWidgetItem* node) { return node->parent() == nullptr; }

}  // namespace

TForm_BR_Restore_Browser::TForm_BR_Restore_Browser(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("RestoreBrowser");
  auto* layout = new QVBoxLayout(this);
  m_title = new QLabel(U("选 择 性 恢 复"), this);
  m_title->setObjectName("ScreenTitle");
  m_title->setStyleSheet("QLabel { font-size: 14pt; font-weight: bold; color: #1f4e8c; }");
  layout->addWidget(m_title);

  auto* areaRow = new QHBoxLayout;
  areaRow->addWidget(new QLabel(U("请选择区域："), this));
  m_areaSelector = new QComboBox(this);
  m_areaSelector->setObjectName("AreaSelector");
  m_areaSelector->addItems(
      {U("文件备份区"), U("文件同步区"), U("邮件区"), QString(30, '-'), U("搜索")});
  connect(m_areaSelector, &QComboBox::activated, this, [this](int i) { SelectEntry(i); });
  areaRow->addWidget(m_areaSelector);
  areaRow->addStretch();
  layout->addLayout(areaRow);

  m_pages = new QStackedWidget(this);
  m_trees[kAreaBackup] = NewTree("BackupTree");
  m_trees[kAreaSync] = NewTree("SyncTree");
  m_trees[kAreaMail] = NewTree("MailTree");
  for (QTreeWidget* tree : m_trees) m_pages->addWidget(tree);
  m_searchPage = BuildSearchPage();
  m_pages->addWidget(m_searchPage);
  m_options = new TRestoreOptionsPage(this);
  m_pages->addWidget(m_options);
  layout->addWidget(m_pages, 1);

  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* text, const char* name, void (TForm_BR_Restore_Browser::*run)()) {
    auto* b = new QPushButton(U(text), this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [this, run] { (this->*run)(); });
    buttons->addWidget(b);
    return b;
  };
  m_refresh = button("刷新", "Refresh", &TForm_BR_Restore_Browser::Refresh);
  m_delete = button("删除", "Delete", &TForm_BR_Restore_Browser::DeleteSelected);
  buttons->addStretch();
  m_back = button("上一步", "Back", &TForm_BR_Restore_Browser::Back);
  m_next = button("下一步", "Next", &TForm_BR_Restore_Browser::Next);
  m_run = button("立即执行", "Run", &TForm_BR_Restore_Browser::RunRestore);
  layout->addLayout(buttons);
  Opening();
}

QTreeWidget* TForm_BR_Restore_Browser::NewTree(const QString& name) {
  auto* tree = new QTreeWidget(this);
  tree->setObjectName(name);
  SetUpServerTree(tree);
  connect(tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* n) { Expanded(n); });
  connect(tree, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  connect(tree, &QTreeWidget::itemActivated, this, [](QTreeWidgetItem* n) {
    if (!IsFileNode(n)) n->setExpanded(!n->isExpanded());
  });
  return tree;
}

QWidget* TForm_BR_Restore_Browser::BuildSearchPage() {
  auto* page = new QWidget(this);
  page->setObjectName("SearchPage");
  auto* layout = new QVBoxLayout(page);
  auto* terms = new QGroupBox(U("设定搜索条件"), page);
  auto* grid = new QGridLayout(terms);
  grid->addWidget(new QLabel(U("文件名:"), terms), 0, 0);
  m_seekName = new QLineEdit(terms);
  m_seekName->setObjectName("SearchName");
  grid->addWidget(m_seekName, 0, 1, 1, 3);
  m_onlyLast = new QCheckBox(U("仅列出最近版本"), terms);
  m_onlyLast->setChecked(true);
  grid->addWidget(m_onlyLast, 1, 0, 1, 2);

  m_dateOption = new QCheckBox(U("备份时间选项"), terms);
  grid->addWidget(m_dateOption, 2, 0);
  auto* dates = new QWidget(terms);
  auto* dateRow = new QHBoxLayout(dates);
  dateRow->setContentsMargins(0, 0, 0, 0);
  m_startDate = new QDateEdit(dates);
  m_endDate = new QDateEdit(dates);
  for (QDateEdit* d : {m_startDate, m_endDate}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat("yyyy-MM-dd");
  }
  dateRow->addWidget(new QLabel(U("起始时间:"), dates));
  dateRow->addWidget(m_startDate);
  dateRow->addWidget(new QLabel(U("结束时间:"), dates));
  dateRow->addWidget(m_endDate);
  dates->setEnabled(false);
  connect(m_dateOption, &QCheckBox::toggled, dates, &QWidget::setEnabled);
  grid->addWidget(dates, 2, 1, 1, 3);

  m_sizeOption = new QCheckBox(U("文件大小选项"), terms);
  grid->addWidget(m_sizeOption, 3, 0);
  auto* sizes = new QWidget(terms);
  auto* sizeRow = new QHBoxLayout(sizes);
  sizeRow->setContentsMargins(0, 0, 0, 0);
  m_sizeSmall = new QRadioButton(U("小于1MB"), sizes);
  m_sizeMiddle = new QRadioButton(U("大于1MB,小于50MB"), sizes);
  m_sizeGiven = new QRadioButton(U("指定大小,以MB计算"), sizes);
  m_sizeMiddle->setChecked(true);
  m_sizeBound = new QComboBox(sizes);
  m_sizeBound->addItems({U("至少"), U("至多")});
  m_sizeMB = new QSpinBox(sizes);
  m_sizeMB->setRange(0, 1000);
  m_sizeMB->setValue(50);
  for (QWidget* w : std::initializer_list<QWidget*>{m_sizeSmall, m_sizeMiddle, m_sizeGiven,
                                                    m_sizeBound, m_sizeMB})
    sizeRow->addWidget(w);
  sizeRow->addWidget(new QLabel("MB", sizes));
  sizes->setEnabled(false);
  connect(m_sizeOption, &QCheckBox::toggled, sizes, &QWidget::setEnabled);
  grid->addWidget(sizes, 3, 1, 1, 3);
  m_seekButton = new QPushButton(U("开始搜索"), terms);
  m_seekButton->setObjectName("StartSearch");
  connect(m_seekButton, &QPushButton::clicked, this, [this] { Search(); });
  grid->addWidget(m_seekButton, 4, 3);
  layout->addWidget(terms);

  m_results = new QTreeWidget(page);
  m_results->setObjectName("SearchResults");
  SetUpServerTree(m_results, ServerTreeHeaders() << U("所在文件夹") << U("区域"));
  connect(m_results, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  layout->addWidget(m_results, 1);
  return page;
}

TForm_BR_Restore_Browser* TForm_BR_Restore_Browser::OpenOwnStore(TUiShell& shell) {
  TConfig_Of_AuthArea auth = shell.Info().AuthArea();
  auth.Active = false;
  shell.Info().SetAuthArea(auth);
  auto* browser = shell.Screens().Embed<TForm_BR_Restore_Browser>(shell.ContentPanel(), false);
  browser->Opening();
  return browser;
}

TForm_BR_Restore_Browser* TForm_BR_Restore_Browser::OpenAuthorisedView(
    TUiShell& shell, const std::string& userCode) {
  auto* browser = shell.Screens().Embed<TForm_BR_Restore_Browser>(shell.ContentPanel(), false);
  browser->ShowAuthorisedView(userCode);
  return browser;
}

void TForm_BR_Restore_Browser::ShowAuthorisedView(const std::string& userCode) {
  Shell().Info().SetAuthArea({true, userCode});
  Opening();
}

void TForm_BR_Restore_Browser::Opening() {
  ++m_generation;
  for (QTreeWidget* tree : m_trees) tree->clear();
  m_results->clear();
  m_started.clear();
  const TConfig_Of_AuthArea auth = Shell().Info().AuthArea();
  m_readOnly = auth.Active;
  m_viewUser = auth.Active ? auth.TargetUCode : Shell().Info().UserCode();
  m_title->setText(auth.Active ? U(" 授 权 区 恢 复--目标用户:") + QString::fromStdString(m_viewUser)
                               : U("选 择 性 恢 复"));
  m_options->SetOriginalPlaceOffered(!m_readOnly);
  m_options->Reset();
  const QDate today = QDate::currentDate();
  m_startDate->setDate(today.addDays(-30));
  m_endDate->setDate(today);
  SelectEntry(kEntryBackup);
}

QString TForm_BR_Restore_Browser::Title() const { return m_title->text(); }

QTreeWidget* TForm_BR_Restore_Browser::Tree(int area) const {
  return area >= 0 && area < 3 ? m_trees[area] : m_results;
}

QTreeWidget* TForm_BR_Restore_Browser::CurrentTree() const { return Tree(m_area); }

bool TForm_BR_Restore_Browser::OnOptionsPage() const { return m_pages->currentWidget() == m_options; }

void TForm_BR_Restore_Browser::SelectEntry(int entry) {
  if (entry == kEntrySeparator) {
    ShowNote(U("请选择具体方法!"), kNoteWarning);
    const QSignalBlocker block(m_areaSelector);
    m_areaSelector->setCurrentIndex(m_entry);
    return;
  }
  m_entry = entry;
  {
    const QSignalBlocker block(m_areaSelector);
    m_areaSelector->setCurrentIndex(entry);
  }
  m_area = entry == kEntrySearch ? kAreaSearch : entry;
  m_pages->setCurrentWidget(m_area == kAreaSearch ? m_searchPage : m_trees[m_area]);
  if (m_area != kAreaSearch) ResetTree(m_area);
  UpdateButtons();
}

void TForm_BR_Restore_Browser::ResetTree(int area) {
  ++m_generation;
  QTreeWidget* tree = m_trees[area];
  tree->clear();
  if (area == kAreaMail) {
    LoadFolder(tree, nullptr);
    return;
  }
  TServerNode root;
  root.ObjectKind = 1;
  root.Name = QString::fromStdString(TaskKindName(StoreKindOfArea(area)));
  QTreeWidgetItem* node = AddServerObjectNode(tree, nullptr, root, 1);
  node->setData(0, Qt::CheckStateRole, QVariant());  // the root itself is no object
  tree->setCurrentItem(node);
}

void TForm_BR_Restore_Browser::Expanded(QTreeWidgetItem* node) {
  if (m_loading) return;
  LoadFolder(node->treeWidget(), node);
}

void TForm_BR_Restore_Browser::LoadFolder(QTreeWidget* tree, QTreeWidgetItem* node) {
  if (tree == m_trees[kAreaMail]) {
    LoadMailFolder(node);
    return;
  }
  if (!node) return;
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(U("网络连接不存在或者未连接上服务器!"), kNoteError);
    return;
  }
  const int area = tree == m_trees[kAreaSync] ? kAreaSync : kAreaBackup;
  const std::string relate = node->parent() ? NodeServerPath(node) : std::string();
  const int level = node->data(0, kRoleLevel).toInt();
  const std::uint64_t generation = m_generation;
  api::TApiResult<std::vector<api::TStoreEntry>> listed;
  {
    TBusyScreen busy(this);
    listed = api::BrowerShowFileObject(info.Pool(), m_viewUser, StoreKindOfArea(area), relate);
  }
  if (generation != m_generation) return;  // the tree was reset meanwhile: node is gone
  m_loading = true;
  if (listed.Ok()) {
    qDeleteAll(node->takeChildren());
    for (const api::TStoreEntry& e : listed.value)
      AddServerObjectNode(tree, node, NodeOf(e), level + 1);
  }
  node->setData(0, kRoleNodeKind, kNodeOpenedFolder);
  node->setExpanded(true);
  m_loading = false;
  UpdateButtons();
}

void TForm_BR_Restore_Browser::LoadMailFolder(QTreeWidgetItem* node) {
  TPublicInfo& info = Shell().Info();
  QTreeWidget* tree = m_trees[kAreaMail];
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(U("网络连接不存在或者未连接上服务器!"), kNoteError);
    return;
  }
  const std::uint64_t generation = m_generation;
  const std::string kindName = node ? NodeTag(node).toStdString() : std::string();
  const bool messages = node && !IsMailClientNode(node);
  api::TApiResult<std::vector<api::TStoreMailFolder>> folders;
  api::TApiResult<std::vector<api::TStoreMailMessage>> listed;
  {
    TBusyScreen busy(this);
    if (messages)
      listed = api::BrowerShowMCObjectMessage(info.Pool(), m_viewUser, kindName,
                                              MailID(node, kRoleMailFolderID),
                                              MailID(node, kRoleMailParentID));
    else
      folders = api::BrowerShowMCObjectFolder(info.Pool(), m_viewUser, kindName);
  }
  if (generation != m_generation) return;
  m_loading = true;
  if (!node && folders.Ok()) {
    // The mail clients of the store.
    for (const api::TStoreMailFolder& f : folders.value) {
      TServerNode client{1, -1, -1, -1, QString::fromStdString(f.ObjectName),
                         QString::fromStdString(f.ObjectName)};
      AddServerObjectNode(tree, nullptr, client, 1);
    }
  } else if (node && !messages && folders.Ok()) {
    qDeleteAll(node->takeChildren());
    std::map<std::int64_t, QTreeWidgetItem*> byId;
    std::vector<std::pair<QTreeWidgetItem*, std::int64_t>> placed;
    for (const api::TStoreMailFolder& f : folders.value) {
      TServerNode folder{1, -1, -1, -1, QString::fromStdString(f.ObjectName), NodeTag(node)};
      QTreeWidgetItem* child = AddServerObjectNode(tree, node, folder, 2);
      const std::int64_t id = QString::fromStdString(f.ObjectName).toLongLong();
      const std::int64_t parent = QString::fromStdString(f.ObjectFolder).toLongLong();
      child->setData(0, kRoleNodeKind, kNodeMailFolder);
      child->setData(0, kRoleMailFolderID, static_cast<qlonglong>(id));
      child->setData(0, kRoleMailParentID, static_cast<qlonglong>(parent));
      byId.emplace(id, child);
      placed.emplace_back(child, parent);
    }
    // A folder goes below its parent folder when the store holds that one.
    for (auto [child, parent] : placed) {
      auto it = byId.find(parent);
      if (it == byId.end() || it->second == child) continue;
      node->removeChild(child);
      it->second->addChild(child);
    }
  } else if (messages && listed.Ok()) {
    for (int i = node->childCount() - 1; i >= 0; --i)
      if (IsFileNode(node->child(i))) delete node->takeChild(i);
    for (const api::TStoreMailMessage& m : listed.value) {
      TServerNode message = NodeOf(m.Entry);
      message.ObjectKind = 0;
      message.Folder = NodeTag(node);
      AddServerObjectNode(tree, node, message, node->data(0, kRoleLevel).toInt() + 1);
    }
  }
  if (node) {
    if (IsMailClientNode(node)) node->setData(0, kRoleNodeKind, kNodeOpenedFolder);
    node->setExpanded(true);
  }
  m_loading = false;
  UpdateButtons();
}

void TForm_BR_Restore_Browser::Refresh() {
  if (m_area == kAreaSearch) return;
  m_refresh->setEnabled(false);
  QTreeWidget* tree = CurrentTree();
  QTreeWidgetItem* node = tree->currentItem();
  if (m_area == kAreaMail && !node)
    ResetTree(kAreaMail);
  else if (node && !IsFileNode(node))
    LoadFolder(tree, node);
  else if (node && node->parent())
    LoadFolder(tree, node->parent());
  UpdateButtons();
}

void TForm_BR_Restore_Browser::UpdateButtons() {
  const bool options = OnOptionsPage();
  QTreeWidget* tree = CurrentTree();
  QTreeWidgetItem* node = tree->currentItem();
  const bool isRoot = node && m_area != kAreaMail && !node->parent();
  const bool canDelete = Shell().Info().Profile().IsCanDelete && !m_readOnly;
  m_delete->setEnabled(!options && m_area != kAreaSearch && node && !isRoot && canDelete);
  m_refresh->setEnabled(!options && m_area != kAreaSearch);
  m_back->setEnabled(options);
  m_next->setVisible(!options);
  m_run->setVisible(options);
  m_areaSelector->setEnabled(!options);
}

void TForm_BR_Restore_Browser::Next() {
  m_pages->setCurrentWidget(m_options);
  UpdateButtons();
}

void TForm_BR_Restore_Browser::Back() {
  m_pages->setCurrentWidget(m_area == kAreaSearch ? m_searchPage : m_trees[m_area]);
  UpdateButtons();
}

void TForm_BR_Restore_Browser::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && !OnOptionsPage() && m_area != kAreaSearch) {
    if (m_delete->isEnabled()) DeleteSelected();
    return;
  }
  TQorEmbeddedScreen::keyPressEvent(event);
}

void TForm_BR_Restore_Browser::DeleteSelected() {
  if (m_readOnly || m_area == kAreaSearch) return;
  QTreeWidget* tree = CurrentTree();
  QTreeWidgetItem* node = tree->currentItem();
  if (!node || (m_area != kAreaMail && !node->parent())) {
    ShowNote(U("删除对象为空或无效"), kNoteError);
    return;
  }
  if (!Shell().Info().Profile().IsCanDelete) return;
  if (!api::HasConnectedConnection(Shell().Info().Pool())) {
    ShowNote(U("网络尚未连接上"), kNoteError);
    return;
  }
  if (m_area == kAreaMail) {
    if (IsMailClientNode(node)) {
      ShowNote(U("删除对象为空或无效"), kNoteError);
      return;
    }
    DeleteMailNode(node);
    return;
  }
  DeleteFileNode(tree, node);
}

bool TForm_BR_Restore_Browser::DeleteFileNode(QTreeWidget* tree, QTreeWidgetItem* node) {
  const bool file = IsFileNode(node);
  const QString question = U("确认要删除如下对象?") + "\r\n\r\n" +
                           (file ? U("文件:") : U("目录:")) +
                           QString::fromStdString(NodeServerPath(node));
  QTreeWidgetItem* parent = node->parent();
  bool removed = false;
  if (Confirm(question)) {
    api::TStoreEntry entry;
    entry.ObjectName = node->text(0).toStdString();
    entry.ObjectFolder = NodeTag(node).toStdString();
    entry.ObjectKind = file ? 0 : 1;
    entry.ObjectSize = NodeSize(node);
    entry.ObjectDate = NodeDate(node);
    const std::uint64_t generation = m_generation;
    api::TApiStatus status;
    {
      TBusyScreen busy(this);
      status = api::BrowerRemoveFileObject(Shell().Info().Pool(), m_viewUser,
                                           StoreKindOfArea(m_area), entry);
    }
    if (generation != m_generation) return status.Ok();
    removed = status.Ok();
    if (removed) {
      delete node;
      ShowNote(U("对象删除成功!"), kNoteInformation);
    } else {
      ShowNote(U("对象删除失败!"), kNoteError);
    }
  }
  // What the server holds now, whatever happened.
  if (parent) {
    tree->setCurrentItem(parent);
    LoadFolder(tree, parent);
  }
  return removed;
}

bool TForm_BR_Restore_Browser::DeleteMailNode(QTreeWidgetItem* node) {
  const bool message = IsFileNode(node);
  QTreeWidgetItem* folderNode = message ? node->parent() : node;
  const QString question = U("确认要删除如下对象?") + "\r\n\r\n" +
                           (message ? U("文件:") : U("文件夹:")) + node->text(0);
  if (!Confirm(question)) return false;
  api::TMailFolderRef ref;
  ref.UCode = m_viewUser;
  ref.MCKindName = NodeTag(node).toStdString();
  ref.MCFolder = MailID(folderNode, kRoleMailFolderID);
  ref.MCFolderParentID = MailID(folderNode, kRoleMailParentID);
  const std::uint64_t generation = m_generation;
  api::TApiStatus status;
  {
    TBusyScreen busy(this);
    status = message ? api::BrowerRemoveMCMessage(Shell().Info().Pool(), ref,
                                                  node->text(0).toStdString(), NodeSize(node),
                                                  NodeDate(node))
                     : api::BrowerRemoveMCFolder(Shell().Info().Pool(), ref);
  }
  if (generation != m_generation) return status.Ok();
  if (status.Ok()) {
    delete node;
    ShowNote(U("对象删除成功!"), kNoteInformation);
  } else {
    ShowNote(U("对象删除失败!"), kNoteError);
  }
  return status.Ok();
}

void TForm_BR_Restore_Browser::Search() {
  TPublicInfo& info = Shell().Info();
  if (!api::HasConnectedConnection(info.Pool())) {
    ShowNote(U("网络尚未连接上"), kNoteError);
    return;
  }
  api::TSeekRequest q;
  q.UCode = m_viewUser;  // the store this view shows, also in the authorised view
  q.ObjectNameSR = m_seekName->text().toStdString();
  q.OnlyLastVersion = m_onlyLast->isChecked();
  if (m_dateOption->isChecked()) {
    q.DateIncluded = true;
    q.ObjectDate_Min = PackedOf(m_startDate->date().startOfDay());
    q.ObjectDate_Max = PackedOf(QDateTime(m_endDate->date(), QTime(23, 59, 59)));
  }
  if (m_sizeOption->isChecked()) {
    q.SizeIncluded = true;
    if (m_sizeSmall->isChecked()) {
      q.ObjectSize_Max = kMB;
    } else if (m_sizeMiddle->isChecked()) {
      q.ObjectSize_Min = kMB;
      q.ObjectSize_Max = 50 * kMB;
    } else if (m_sizeBound->currentIndex() == 0) {
      q.ObjectSize_Min = m_sizeMB->value() * kMB;
    } else {
      q.ObjectSize_Max = m_sizeMB->value() * kMB;
    }
  }
  m_results->clear();
  const std::uint64_t generation = m_generation;
  api::TApiResult<std::vector<api::TStoreEntry>> found;
  {
    TBusyScreen busy(this);
    found = api::BrowerSeekFileObject(info.Pool(), q);
  }
  if (generation != m_generation || !found.Ok()) return;
  for (const api::TStoreEntry& e : found.value) {
    const auto place = ParseSeekFolder(e.ObjectFolder);
    if (!place) continue;  // no store this client restores from
    TServerNode result = NodeOf(e);
    result.Folder = QString::fromStdString(place->Folder);
    QTreeWidgetItem* node = AddServerObjectNode(m_results, nullptr, result, 1);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    node->setData(0, kRoleStoreKind, place->TaskKind);
    node->setText(3, result.Folder);
    node->setText(4, StoreName(place->TaskKind));
  }
  if (m_results->topLevelItemCount() > 0) m_results->setCurrentItem(m_results->topLevelItem(0));
}

void TForm_BR_Restore_Browser::CollectFileArea(std::vector<TRestoreOrder>& orders) {
  TRestoreOrder order;
  order.TaskKind = StoreKindOfArea(m_area);
  for (QTreeWidgetItem* node : CheckedNodes(CurrentTree()))
    if (node->parent()) order.Objects.push_back(ChoiceOf(node, NodeServerPath(node)));
  if (!order.Objects.empty()) orders.push_back(std::move(order));
}

void TForm_BR_Restore_Browser::CollectMailArea(std::vector<TRestoreOrder>& orders) {
  QTreeWidget* tree = m_trees[kAreaMail];
  for (int c = 0; c < tree->topLevelItemCount(); ++c) {
    QTreeWidgetItem* client = tree->topLevelItem(c);
    const auto kind = MailKindOfName(NodeTag(client).toStdString());
    if (!kind) continue;
    TRestoreOrder order;
    order.TaskKind = kKindMailClient;
    order.MailKind = *kind;
    std::map<std::int64_t, std::int64_t> parents;
    const bool whole = client->checkState(0) == Qt::Checked;
    if (whole) {
      // Every folder the store holds for this client, loaded or not.
      const auto folders = api::BrowerShowMCObjectFolder(Shell().Info().Pool(), m_viewUser,
                                                         NodeTag(client).toStdString());
      for (const api::TStoreMailFolder& f : folders.value)
        order.Mail.WholeFolders.emplace_back(QString::fromStdString(f.ObjectFolder).toLongLong(),
                                             QString::fromStdString(f.ObjectName).toLongLong());
    }
    std::vector<QTreeWidgetItem*> stack;
    for (int i = 0; i < client->childCount(); ++i) stack.push_back(client->child(i));
    while (!stack.empty()) {
      QTreeWidgetItem* node = stack.back();
      stack.pop_back();
      for (int i = 0; i < node->childCount(); ++i) stack.push_back(node->child(i));
      if (whole || node->checkState(0) != Qt::Checked) continue;
      if (!IsFileNode(node)) {
        order.Mail.WholeFolders.emplace_back(MailID(node, kRoleMailParentID),
                                             MailID(node, kRoleMailFolderID));
        continue;
      }
      QTreeWidgetItem* folder = node->parent();
      const auto parts = ParseMailMessageFileName(node->text(0).toStdString());
      if (!parts) continue;
      parents[MailID(folder, kRoleMailFolderID)] = MailID(folder, kRoleMailParentID);
      order.Mail.Messages.emplace_back(MailID(folder, kRoleMailFolderID), parts->MessageID);
    }
    order.Mail.ParentOf = [parents](std::int64_t id) {
      auto it = parents.find(id);
      return it == parents.end() ? std::int64_t{-1} : it->second;
    };
    if (!order.Mail.WholeFolders.empty() || !order.Mail.Messages.empty())
      orders.push_back(std::move(order));
  }
}

void TForm_BR_Restore_Browser::CollectResults(std::vector<TRestoreOrder>& orders) {
  std::map<int, TRestoreOrder> files;
  std::map<int, TRestoreOrder> mail;
  std::map<std::int64_t, std::int64_t> parents;
  for (QTreeWidgetItem* node : CheckedNodes(m_results)) {
    const int kind = node->data(0, kRoleStoreKind).toInt();
    if (kind != kKindMailClient) {
      TRestoreOrder& order = files[kind];
      order.TaskKind = kind;
      order.Objects.push_back(ChoiceOf(node, NodeServerPath(node)));
      continue;
    }
    const auto place = ParseMailStoreFolder(NodeTag(node).toStdString());
    const auto parts = ParseMailMessageFileName(node->text(0).toStdString());
    if (!place || !parts) continue;
    TRestoreOrder& order = mail[place->MailKind];
    order.TaskKind = kKindMailClient;
    order.MailKind = place->MailKind;
    order.Mail.Messages.emplace_back(place->FolderID, parts->MessageID);
    parents[place->FolderID] = place->ParentID;
  }
  for (auto& [kind, order] : files) orders.push_back(std::move(order));
  for (auto& [kind, order] : mail) {
    order.Mail.ParentOf = [parents](std::int64_t id) {
      auto it = parents.find(id);
      return it == parents.end() ? std::int64_t{-1} : it->second;
    };
    orders.push_back(std::move(order));
  }
}

bool TForm_BR_Restore_Browser::CollectOrders(std::vector<TRestoreOrder>& orders) {
  if (m_area == kAreaSearch)
    CollectResults(orders);
  else if (m_area == kAreaMail)
    CollectMailArea(orders);
  else
    CollectFileArea(orders);
  for (TRestoreOrder& order : orders) order.ViewUser = m_viewUser;
  if (orders.empty()) ShowNote(U("恢复目标为空!"), kNoteError);
  return !orders.empty();
}

void TForm_BR_Restore_Browser::RunRestore() {
  m_started.clear();
  TPublicInfo& info = Shell().Info();
  const auto target = m_options->Check(info);
  if (!target) return;
  std::vector<TRestoreOrder> orders;
  {
    TBusyScreen busy(this);  // a whole mail client asks the server for its folders
    if (!CollectOrders(orders)) return;
  }
  for (TRestoreOrder& order : orders) order.Target = *target;
  m_started = StartRestores(info, orders);
}

}  // namespace solvane
