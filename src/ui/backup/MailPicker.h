#pragma once
// The mail part of the mail backup screen and of the mail task dialog: the
// mail type list with "指定邮件目录...", the folder check tree "文件夹" and
// the message list of the folder selected in it.
//
// The ticks live in the shared reader descriptors (the engine reads the
// same readers on its own thread): every touch of them happens under
// LockMailReaders, and tree nodes and rows carry only FolderID and
// MessageID. Only nodes without child nodes stand for a folder selection;
// parents ("邮件数据", accounts) show three states and tick every leaf
// below. A folder node shows "partly" while it holds single ticked
// messages. Marks set by the picker itself never write back.

#include <QWidget>
#include <cstdint>

#include "client/MailSelection.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TPublicInfo;
struct TTaskMCInfo;

class TMailPicker : public QWidget {
  Q_OBJECT
 public:
  // With typeFixed the type list is disabled and there is no store button.
  TMailPicker(TPublicInfo& info, bool typeFixed, QWidget* parent = nullptr);

  QComboBox* TypeBox() const { return m_type; }
  QPushButton* StoreButton() const { return m_store; }
  QTreeWidget* Tree() const { return m_tree; }
  QTreeWidget* List() const { return m_list; }

  // The reader kind of the type list's entry (1, 2, 0).
  int Kind() const;
  // The first entry whose reader is installed (Foxmail when none is),
  // without a note.
  void ChooseFirstInstalled();
  // Picks kind's entry and refills from its reader with every tick cleared;
  // false when it is not installed (tree and list are then empty, and with
  // note the user reads "未安装…!").
  bool ChooseKind(int kind, bool note = true);
  // The task's saved ticks on kind's reader, then the tree; false after the
  // "未安装…!" note.
  bool ShowSaved(const TTaskMCInfo& saved);
  // Names dir as the store of the current type in the registry (where the
  // readers and scheduled runs look) and reads it. False when the type
  // takes no folder (Outlook) or the registry refused.
  bool UseStoreFolder(const QString& dir);

  TMailSelection Selection() const;
  bool HasSelection() const { return !Selection().Empty(); }
  // Every node and row unticked and nothing selected on the reader.
  void ClearSelection();

  // The node of folder id; null when the tree has none.
  QTreeWidgetItem* FolderNode(std::int64_t folderId) const;
  // The folder whose messages the list shows; -1 when none.
  std::int64_t ListedFolder() const { return m_listed; }

 private:
  void TypeChanged();
  void FillTree();
  void ShowFolderMessages(QTreeWidgetItem* node);
  void NodeChanged(QTreeWidgetItem* node);
  void RowChanged(QTreeWidgetItem* row);
  // The node's mark from the reader: whole, partly (single messages), none.
  void RefreshNodeMark(std::int64_t folderId);
  void RefreshRows();
  void Empty();

  TPublicInfo& m_info;
  QComboBox* m_type = nullptr;
  QPushButton* m_store = nullptr;
  QTreeWidget* m_tree = nullptr;
  QTreeWidget* m_list = nullptr;
  std::int64_t m_listed = -1;
  int m_updating = 0;  // marks being set by the picker, not the user
};

// "未安装Outlook!", "未安装OutlookExpress!", "未安装Foxmail!".
QString NotInstalledText(int kind);

}  // namespace solvane
