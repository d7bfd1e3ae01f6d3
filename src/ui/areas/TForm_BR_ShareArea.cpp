#include "ui/areas/TForm_BR_ShareArea.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "api/ShareFolderApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "tasks/ShareAreaCalls.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "ui/areas/AreaScreenParts.h"
#include "ui/areas/TForm_BR_ShareArea_FolderInfo.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

// Cells of a folder node.
enum TFolderColumn { kColName = 0, kColReadOnly, kColPassword, kColOwner, kColComment };
// Cells of a file row.
enum TFileColumn { kColFileName = 0, kColFileSize, kColFileDate };

constexpr int kRoleValue = Qt::UserRole;         // folder ID; file size
constexpr int kRoleDate = Qt::UserRole + 1;      // file: packed date
const QString kMark = QString::fromUtf8("√");

QString PickUploadFile(QWidget* parent) {
  QFileDialog dialog(parent, U("选择要上传的文件"));
  dialog.setObjectName("PickUploadFile");
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

QString PickDownloadFolder(QWidget* parent) {
  QFileDialog dialog(parent, U("选择存放的文件夹"));
  dialog.setObjectName("PickDownloadFolder");
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

}  // namespace

TForm_BR_ShareArea::TForm_BR_ShareArea(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent), m_pickFile(PickUploadFile),
      m_pickFolder(PickDownloadFolder) {
  setObjectName("TForm_BR_ShareArea");
  setWindowTitle(U("公 共 数 据 区 管 理"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  auto* top = new QHBoxLayout;
  top->addWidget(NewScreenHeading(U("公 共 数 据 区 管 理"), this));
  top->addStretch();
  auto* help = NewHelpLink(U("不明白公共数据区?请点击这里"), "HelpLink", this);
  connect(help, &QPushButton::clicked, this, [this] { Shell().ShowHelpPopup(2, 100); });
  top->addWidget(help);
  layout->addLayout(top);
  BuildPages();
  layout->addWidget(m_pages, 1);
  BuildButtons();
  ShowFolderPage();
}

void TForm_BR_ShareArea::BuildPages() {
  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_folderPage = new QWidget(m_pages);
  m_folders = new QTreeWidget(m_folderPage);
  m_folders->setObjectName("FolderTree");
  m_folders->setHeaderLabels({U("文件夹"), U("只读"), U("有密码"), U("拥有者"), U("备注")});
  m_folders->setColumnWidth(kColName, 240);
  m_folders->setSelectionMode(QAbstractItemView::SingleSelection);
  m_folders->setAllColumnsShowFocus(true);
  (new QVBoxLayout(m_folderPage))->addWidget(m_folders);
  m_filePage = new QWidget(m_pages);
  m_files = NewAreaList({U("文件名"), U("文件大小(Byte)"), U("创建日期")}, "FileList", m_filePage);
  m_files->setColumnWidth(kColFileName, 260);
  m_files->setColumnWidth(kColFileSize, 200);
  m_folderName = new QLabel(m_filePage);
  m_folderName->setObjectName("OpenedFolderName");
  auto* fileLayout = new QVBoxLayout(m_filePage);
  fileLayout->addWidget(m_folderName);
  fileLayout->addWidget(m_files);
  m_pages->addTab(m_folderPage, U("文件夹"));
  m_pages->addTab(m_filePage, U("文件夹内容"));

  connect(m_folders, &QTreeWidget::currentItemChanged, this,
          &TForm_BR_ShareArea::UpdateFolderButtons);
  // Enter and a double click open a folder, or download a file.
  connect(m_folders, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* node) {
            if (node && node->parent()) OpenSelectedFolder();
          });
  connect(m_files, &QTreeWidget::currentItemChanged, this,
          &TForm_BR_ShareArea::UpdateFileButtons);
  connect(m_files, &QTreeWidget::itemActivated, this, &TForm_BR_ShareArea::Download);
  auto* deleteFolder = new QShortcut(QKeySequence::Delete, m_folders, nullptr, nullptr,
                                     Qt::WidgetShortcut);
  connect(deleteFolder, &QShortcut::activated, this, [this] {
    if (Button("DeleteFolder")->isEnabled()) DeleteFolder();
  });
  auto* deleteFile =
      new QShortcut(QKeySequence::Delete, m_files, nullptr, nullptr, Qt::WidgetShortcut);
  connect(deleteFile, &QShortcut::activated, this, [this] {
    if (Button("DeleteFile")->isEnabled()) DeleteFile();
  });
}

void TForm_BR_ShareArea::BuildButtons() {
  auto* row = new QHBoxLayout;
  auto add = [&](const char* text, const char* name, void (TForm_BR_ShareArea::*slot)()) {
    QPushButton* button = NewAreaButton(U(text), QString::fromLatin1(name), this);
    connect(button, &QPushButton::clicked, this, slot);
    row->addWidget(button);
    return button;
  };
  m_folderButtons = {add("新建文件夹", "NewFolder", &TForm_BR_ShareArea::NewFolder),
                     add("删除文件夹", "DeleteFolder", &TForm_BR_ShareArea::DeleteFolder),
                     add("编辑文件夹", "EditFolder", &TForm_BR_ShareArea::EditFolder)};
  m_fileButtons = {add("上传", "Upload", &TForm_BR_ShareArea::Upload),
                   add("下载", "Download", &TForm_BR_ShareArea::Download),
                   add("删除", "DeleteFile", &TForm_BR_ShareArea::DeleteFile)};
  row->addStretch();
  m_open = add("查看详情", "OpenFolder", &TForm_BR_ShareArea::OpenSelectedFolder);
  m_refresh = add("刷新", "Refresh", &TForm_BR_ShareArea::Refresh);
  m_back = add("上一步", "Back", &TForm_BR_ShareArea::ShowFolderPage);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

QPushButton* TForm_BR_ShareArea::Button(const QString& name) const {
  return findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly);
}

void TForm_BR_ShareArea::ShowFolderPage() {
  m_pages->setTabVisible(0, true);
  m_pages->setCurrentIndex(0);
  m_pages->setTabVisible(1, false);
  for (QPushButton* b : m_folderButtons) b->show();
  for (QPushButton* b : m_fileButtons) b->hide();
  m_open->setEnabled(true);
  m_back->setEnabled(false);
  UpdateFolderButtons();
  m_folders->setFocus();
}

void TForm_BR_ShareArea::ShowFilePage() {
  m_pages->setTabVisible(1, true);
  m_pages->setCurrentIndex(1);
  m_pages->setTabVisible(0, false);
  for (QPushButton* b : m_folderButtons) b->hide();
  for (QPushButton* b : m_fileButtons) b->show();
  m_open->setEnabled(false);
  m_back->setEnabled(true);
  UpdateFileButtons();
  m_files->setFocus();
}

void TForm_BR_ShareArea::Opening() {
  ShowFolderPage();
  LoadFolderTree();
}

// ---- folder tree ----

std::int64_t TForm_BR_ShareArea::NodeValue(const QTreeWidgetItem* node) {
  return node ? node->data(kColName, kRoleValue).toLongLong() : kRootValue;
}

QTreeWidgetItem* TForm_BR_ShareArea::FindNode(std::int64_t folderId) const {
  for (QTreeWidgetItemIterator it(m_folders); *it; ++it)
    if ((*it)->parent() && NodeValue(*it) == folderId) return *it;
  return nullptr;
}

QTreeWidgetItem* TForm_BR_ShareArea::FindNodeOrRoot(std::int64_t folderId) const {
  QTreeWidgetItem* node = FindNode(folderId);
  return node ? node : m_folders->topLevelItem(0);
}

void TForm_BR_ShareArea::LoadFolderTree() {
  m_folders->clear();
  auto* root = new QTreeWidgetItem(m_folders, {U("公共区文件夹")});
  root->setData(kColName, kRoleValue, QVariant::fromValue<qlonglong>(kRootValue));
  root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);

  std::vector<TShareFolderInfo> folders;
  TShareCallResult result;
  {
    TAreaBusy busy(this);
    result = SelectShareFolders(Shell().Info(), folders);
  }
  if (result == TShareCallResult::kNoConnection) ShowNote(NotConnectedText(), kNoteError);
  // Parents come before their children; a folder whose parent is not (yet)
  // in the tree lands under the root.
  QHash<qlonglong, QTreeWidgetItem*> nodes;
  for (const TShareFolderInfo& f : folders) {
    QTreeWidgetItem* parent = nodes.value(f.ID == f.ParentID ? 0 : f.ParentID, root);
    auto* node = new QTreeWidgetItem(parent, {Q(f.Name), f.IsReadOnly ? kMark : QString(),
                                              f.HasPassword ? kMark : QString(), Q(f.Owner),
                                              Q(f.Comment)});
    node->setData(kColName, kRoleValue, QVariant::fromValue<qlonglong>(f.ID));
    nodes.insert(f.ID, node);
  }
  m_folders->setCurrentItem(root);
  root->setExpanded(true);
  UpdateFolderButtons();
}

QTreeWidgetItem* TForm_BR_ShareArea::SelectedFolder() const {
  QTreeWidgetItem* node = m_folders->currentItem();
  return node && node->parent() ? node : nullptr;
}

bool TForm_BR_ShareArea::IsMine(const QTreeWidgetItem* node) {
  return node && node->text(kColOwner) == Q(Shell().Info().UserCode());
}

void TForm_BR_ShareArea::UpdateFolderButtons() {
  QTreeWidgetItem* current = m_folders->currentItem();
  QTreeWidgetItem* folder = SelectedFolder();
  const bool mine = IsMine(folder);
  Button("DeleteFolder")->setEnabled(mine);
  Button("EditFolder")->setEnabled(mine);
  // New folders go to the top level or into one's own folders.
  Button("NewFolder")->setEnabled(current && (!folder || mine));
}

void TForm_BR_ShareArea::SelectFolderAfterReload(std::int64_t folderId) {
  if (QTreeWidgetItem* node = FindNode(folderId)) {
    for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) p->setExpanded(true);
    m_folders->setCurrentItem(node);
  }
  UpdateFolderButtons();
}

void TForm_BR_ShareArea::NewFolder() {
  QTreeWidgetItem* current = m_folders->currentItem();
  if (!current) return;
  QTreeWidgetItem* folder = SelectedFolder();
  if (folder && !IsMine(folder)) return;
  TForm_BR_ShareArea_FolderInfo::TFolderValues values;
  values.ParentID = folder ? NodeValue(folder) : 0;
  TForm_BR_ShareArea_FolderInfo dialog(Shell().Info(), TForm_BR_ShareArea_FolderInfo::TMode::New,
                                       values, this);
  if (dialog.exec() != QDialog::Accepted) return;
  LoadFolderTree();
  SelectFolderAfterReload(dialog.FolderID());
}

void TForm_BR_ShareArea::EditFolder() {
  QTreeWidgetItem* folder = SelectedFolder();
  if (!IsMine(folder)) return;
  TForm_BR_ShareArea_FolderInfo::TFolderValues values;
  values.FolderID = NodeValue(folder);
  values.ParentID = folder->parent()->parent() ? NodeValue(folder->parent()) : 0;
  values.Name = folder->text(kColName);
  values.Comment = folder->text(kColComment);
  values.Owner = folder->text(kColOwner);
  values.ReadOnly = !folder->text(kColReadOnly).isEmpty();
  values.HasPassword = !folder->text(kColPassword).isEmpty();
  TForm_BR_ShareArea_FolderInfo dialog(Shell().Info(), TForm_BR_ShareArea_FolderInfo::TMode::Edit,
                                       values, this);
  if (dialog.exec() != QDialog::Accepted) return;
  LoadFolderTree();
  SelectFolderAfterReload(values.FolderID);
}

void TForm_BR_ShareArea::DeleteFolder() {
  QTreeWidgetItem* folder = SelectedFolder();
  if (!folder) return;
  if (folder->childCount() > 0) {
    ShowNote(U("必须先删除子文件夹!"), kNoteWarning);
    return;
  }
  // Its files go with it: never without asking.
  if (!Confirm(U("确认要删除该文件夹?\r\n\r\n文件夹名:") + folder->text(kColName))) return;
  TPublicInfo& info = Shell().Info();
  api::TApiStatus removed;
  {
    TAreaBusy busy(this);
    removed = api::ShareFolderRemoveFolder(info.Pool(), CallerOf(info), NodeValue(folder));
  }
  if (removed.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  if (!removed) {
    ShowNote(U("删除文件夹失败!"), kNoteError);
    return;
  }
  LoadFolderTree();
  ShowNote(U("删除文件夹成功!"), kNoteInformation);
}

// ---- opening a folder ----

void TForm_BR_ShareArea::OpenSelectedFolder() {
  QTreeWidgetItem* node = SelectedFolder();
  if (!node) {
    ShowNote(U("请选择一个文件夹!"), kNoteWarning);
    return;
  }
  TOpenedFolder folder{NodeValue(node), node->text(kColName), node->text(kColOwner),
                       !node->text(kColReadOnly).isEmpty()};
  // The owner needs no password; anyone else types it at every opening.
  const bool ask = !node->text(kColPassword).isEmpty() && !IsMine(node);
  OpenFolder(folder, ask);
}

bool TForm_BR_ShareArea::OpenFolder(const TOpenedFolder& folder, bool askPassword) {
  QString password;
  if (askPassword) {
    password = InputBox(U("请输入密码"), QString(), true);
    if (password.isEmpty()) return false;
  }
  TShareCallResult result = LoadFileList(folder.ID, password);
  if (result == TShareCallResult::kLocked && !askPassword) {
    // The session lost its unlock (the owner set a new password).
    password = InputBox(U("请输入密码"), QString(), true);
    if (password.isEmpty()) return false;
    result = LoadFileList(folder.ID, password);
  }
  switch (result) {
    case TShareCallResult::kNoConnection:
      ShowNote(NotConnectedText(), kNoteError);
      return false;
    case TShareCallResult::kWrongPassword:
    case TShareCallResult::kLocked:
      ShowNote(U("密码错误,无法访问此文件夹!"), kNoteWarning);
      return false;
    case TShareCallResult::kTooManyAttempts:
      ShowNote(U("密码错误次数过多,请稍后再试!"), kNoteWarning);
      return false;
    default:
      break;  // other refusals show the folder empty
  }
  m_opened = folder;
  m_folderName->setText(U("文件夹:") + folder.Name);
  ShowFilePage();
  return true;
}

TShareCallResult TForm_BR_ShareArea::LoadFileList(std::int64_t folderId, const QString& password) {
  m_files->clear();
  std::vector<TShareFileInfo> files;
  TShareCallResult result;
  {
    TAreaBusy busy(this);
    result = OpenShareFolder(Shell().Info(), folderId, password.toStdString(), files);
  }
  for (const TShareFileInfo& f : files) {
    auto* row = new QTreeWidgetItem(
        m_files, {Q(f.ObjectName), SizeText(f.ObjectSize), DosDateText(f.ObjectDate)});
    row->setTextAlignment(kColFileSize, Qt::AlignRight | Qt::AlignVCenter);
    // Sizes and dates travel on as the server sent them, never read back
    // from the cells.
    row->setData(kColFileName, kRoleValue, QVariant::fromValue<qlonglong>(f.ObjectSize));
    row->setData(kColFileName, kRoleDate, QVariant::fromValue<qlonglong>(f.ObjectDate));
  }
  if (m_files->topLevelItemCount() > 0) m_files->setCurrentItem(m_files->topLevelItem(0));
  UpdateFileButtons();
  return result;
}

void TForm_BR_ShareArea::UpdateFileButtons() {
  const bool mine = m_opened.Owner == Q(Shell().Info().UserCode());
  const bool writable = !m_opened.ReadOnly || mine;
  Button("Upload")->setEnabled(m_opened.ID > 0 && writable);
  Button("DeleteFile")->setEnabled(m_opened.ID > 0 && writable);
  Button("Download")->setEnabled(m_files->currentItem() != nullptr);
}

// ---- files ----

void TForm_BR_ShareArea::StartTask(const std::shared_ptr<TTaskObject>& task) {
  TPublicInfo& info = Shell().Info();
  const QString id = QString::number(task->TaskID);
  info.Tasks().Add(task);
  if (info.Tasks().RequestStart(task->TaskID, false, info.Now()))
    ShowNote(U("任务") + id + U("已启动,请到执行区查看详情..."), kNoteInformation);
  else
    ShowNote(U("启动任务") + id + U("失败!"), kNoteError);
}

void TForm_BR_ShareArea::Upload() {
  const QString path = m_pickFile(this);
  if (path.isEmpty()) return;
  if (m_opened.ID <= 0) {
    ShowNote(U("发送共享区任务失败!"), kNoteError);
    return;
  }
  StartTask(MakeShareUploadTask(Shell().Info(), static_cast<std::int32_t>(m_opened.ID),
                                {path.toStdString()}));
}

void TForm_BR_ShareArea::Download() {
  QTreeWidgetItem* row = m_files->currentItem();
  if (!row) {
    ShowNote(U("请选择一个文件"), kNoteInformation);
    return;
  }
  const QString folder = m_pickFolder(this);
  if (folder.isEmpty()) return;
  if (m_opened.ID <= 0) {
    ShowNote(U("发送共享区任务失败!"), kNoteError);
    return;
  }
  TShareFileChoice file{row->text(kColFileName).toStdString(),
                        row->data(kColFileName, kRoleValue).toLongLong(),
                        row->data(kColFileName, kRoleDate).toLongLong()};
  StartTask(MakeShareDownloadTask(Shell().Info(), static_cast<std::int32_t>(m_opened.ID), {file},
                                  folder.toStdString()));
}

void TForm_BR_ShareArea::DeleteFile() {
  if (m_opened.ID <= 0) return;
  QTreeWidgetItem* row = m_files->currentItem();
  if (!row) {
    ShowNote(U("请选择一个文件"), kNoteInformation);
    return;
  }
  if (!Confirm(U("确认要删除该文件?\r\n\r\n文件名:") + row->text(kColFileName))) return;
  TPublicInfo& info = Shell().Info();
  api::TShareFileEntry file{row->text(kColFileName).toStdString(),
                            row->data(kColFileName, kRoleValue).toLongLong(),
                            row->data(kColFileName, kRoleDate).toLongLong()};
  api::TApiStatus removed;
  {
    TAreaBusy busy(this);
    removed = api::ShareFolderRemove(info.Pool(), CallerOf(info), m_opened.ID, file);
  }
  if (removed.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  if (!removed) {
    ShowNote(U("删除共享区文件失败!"), kNoteError);
    return;
  }
  delete row;
  UpdateFileButtons();
  ShowNote(U("删除共享区文件成功!"), kNoteInformation);
}

void TForm_BR_ShareArea::Refresh() {
  if (!m_refresh->isEnabled()) return;
  if (m_pages->currentWidget() == m_filePage) {
    if (!OpenFolder(m_opened, false)) ShowFolderPage();
    return;
  }
  const std::int64_t selected = NodeValue(m_folders->currentItem());
  LoadFolderTree();
  SelectFolderAfterReload(selected);
}

}  // namespace solvane
