#pragma once
// What the user ticked on the file backup screen: entries for chosen files
// and folders, kept in step with the tri-state marks of the folder tree and
// the check boxes of the file list.
//
// An entry made for a tree node hangs under that node's parent; one made
// for a list item under the tree node whose folder the list shows. The
// entries "under" a node are those hanging under it or below it. A folder's
// mark follows from the entries under it: none, all of its items chosen
// whole, or some.

#include <QObject>
#include <QString>
#include <QVector>

class QTreeWidgetItem;

namespace solvane {

class TShellTree;
class TShellList;

struct TShellObject {
  QString Path;
  bool IsFolder = false;
  int SelState = 0;  // 0 chosen whole, 1 partly chosen
  QTreeWidgetItem* ParentNode = nullptr;
  int ItemCount = -1;  // items of the folder as last listed; -1 unknown
};

class TShellSelection : public QObject {
  Q_OBJECT
 public:
  TShellSelection(TShellTree& tree, TShellList& list, QObject* parent = nullptr);

  const QVector<TShellObject>& Entries() const { return m_entries; }
  const TShellObject* Find(const QString& path) const;
  bool IsEmpty() const { return m_entries.isEmpty(); }

  // What a task is to back up: whole folders, and the single files and
  // folders of partly chosen folders; nothing twice, nothing inside a folder
  // taken whole. The selection itself is left as it is.
  QVector<TShellObject> Normalised() const;
  // Every mark back to not chosen, every box unchecked, no entries.
  void Clear();

  // The operations behind the events (public for the screen's keyboard
  // handling and for tests).
  void CheckNode(QTreeWidgetItem* node);
  void UncheckNode(QTreeWidgetItem* node);
  void MarkPartly(QTreeWidgetItem* node);

 private:
  enum class TState { NotChosen, Partly, Chosen };

  // Events.
  void MarkClicked(QTreeWidgetItem* node);
  void NodeAdded(QTreeWidgetItem* node);
  void ListShown(const QString& folder);
  void ListItemToggled(QTreeWidgetItem* item);

  TShellObject& EntryFor(const QString& path, bool isFolder, QTreeWidgetItem* parentNode);
  TShellObject* FindMutable(const QString& path);
  void RemoveEntry(const QString& path);
  void RemoveEntriesUnder(QTreeWidgetItem* node);
  void RemoveEntriesBelowPath(const QString& path);
  bool IsUnder(const TShellObject& e, QTreeWidgetItem* node) const;
  // The node and every loaded node below it take mark (and entries when
  // chosen, lose them when not).
  void MarkSubtree(QTreeWidgetItem* node, bool chosen);
  // Marks of nodes elsewhere in the tree that show a path an uncheck cleared.
  void UnmarkOtherViews(QTreeWidgetItem* node, const QString& path);
  void UpdateAncestors(QTreeWidgetItem* node);
  TState ComputeState(QTreeWidgetItem* node);
  int ItemCountOf(QTreeWidgetItem* node);
  bool ListShows(QTreeWidgetItem* node) const;
  void SetListFromNode(QTreeWidgetItem* node);

  TShellTree& m_tree;
  TShellList& m_list;
  QVector<TShellObject> m_entries;
};

// Items a folder holds as the file list shows them (hidden ones included,
// the unlisted system folders left out); -1 when it cannot be read.
int CountFolderItems(const QString& folder);

}  // namespace solvane
