#pragma once
// What the restore screens share: server tree nodes (their values are kept
// as node data, never read back from the cells), the cell texts, and a
// guard that keeps a screen still while it waits for the server.

#include <QCursor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <cstdint>
#include <string>
#include <vector>

namespace solvane {

// Node data roles of column 0.
enum TServerNodeRole {
  kRoleNodeKind = Qt::UserRole + 1,  // kNode*
  kRoleTag,                          // the server folder the object lives in
  kRoleSize,                         // 64-bit bytes; -1 for a folder
  kRoleDate,                         // packed date-time; -1 for a folder
  kRoleVersion,                      // -1: the newest
  kRoleLevel,                        // area root 1, its children 2, ...
  kRoleStoreKind,                    // search results: 100, 200 or 500
  kRoleMailFolderID,                 // mail folder nodes
  kRoleMailParentID,
};

inline constexpr int kNodeFolder = 0;        // not opened yet
inline constexpr int kNodeOpenedFolder = 1;  // its children were loaded
inline constexpr int kNodeMailFolder = 2;
inline constexpr int kNodeFile = 11;  // any kind above 10 is a file

// "1,234,567"; a negative value keeps its "-".
QString GroupedSize(std::int64_t bytes);
// "1.5 MB" and the like, for a tooltip beside the exact bytes.
QString HumanSize(std::int64_t bytes);
// "yyyy-MM-dd hh:mm:ss" of a packed date-time; empty when it does not decode.
QString PackedDateText(std::int64_t packed);
// The packed date-time of a local date and time; 0 out of range.
std::uint32_t PackedOf(const QDateTime& local);

// "文件\文件夹", "大小(Byte)", "修改时间".
QStringList ServerTreeHeaders();
// A tree with those headers, checkable nodes and wide name column.
void SetUpServerTree(QTreeWidget* tree, const QStringList& headers = ServerTreeHeaders());

struct TServerNode {
  std::int64_t ObjectKind = 0;  // 1 folder, else file
  std::int64_t Size = -1;
  std::int64_t Date = -1;
  std::int64_t Version = -1;
  QString Name;
  QString Folder;  // the tag
};
// A node below parent (top level when parent is null) at level: a folder
// (expandable, kind kNodeFolder) or a file with its three cells (kNodeFile).
QTreeWidgetItem* AddServerObjectNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                     const TServerNode& object, int level);

int NodeKind(const QTreeWidgetItem* node);
bool IsFileNode(const QTreeWidgetItem* node);
QString NodeTag(const QTreeWidgetItem* node);
std::int64_t NodeSize(const QTreeWidgetItem* node);
std::int64_t NodeDate(const QTreeWidgetItem* node);
// The join of the tag and the name: "\" of the tag become "/", one "/"
// between; the name alone when the tag is empty.
std::string NodeServerPath(const QTreeWidgetItem* node);

// Every checked node, in tree order.
std::vector<QTreeWidgetItem*> CheckedNodes(const QTreeWidget* tree);
// Every node, in tree order.
std::vector<QTreeWidgetItem*> AllNodes(const QTreeWidget* tree);

// While it lives: the screen takes no input and shows a busy cursor, so a
// call that pumps events cannot be crossed by a second one.
class TBusyScreen {
 public:
  explicit TBusyScreen(QWidget* screen);
  ~TBusyScreen();
  TBusyScreen(const TBusyScreen&) = delete;
  TBusyScreen& operator=(const TBusyScreen&) = delete;

 private:
  QPointer<QWidget> m_screen;
  bool m_wasEnabled = true;
};

}  // namespace solvane
