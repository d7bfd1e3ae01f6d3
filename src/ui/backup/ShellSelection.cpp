#include "ui/backup/ShellSelection.h"

#include <QDir>
#include <QDirIterator>
#include <QTreeWidgetItem>
#include <algorithm>

#include "platform/ShellRoots.h"
#include "ui/backup/ShellViews.h"

namespace solvane {

int CountFolderItems(const QString& folder) {
  QDir dir(folder);
  if (folder.isEmpty() || !dir.exists() || !dir.isReadable()) return -1;
  int count = 0;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    const QString path = ChildPath(folder, it.fileName());
    if (it.fileInfo().isDir() && IsUnlistedFolder(path.toStdString())) continue;
    ++count;
  }
  return count;
}

TShellSelection::TShellSelection(TShellTree& tree, TShellList& list, QObject* parent)
    : QObject(parent), m_tree(tree), m_list(list) {
  connect(&tree, &TShellTree::MarkClicked, this, &TShellSelection::MarkClicked);
  connect(&tree, &TShellTree::NodeAdded, this, &TShellSelection::NodeAdded);
  connect(&list, &TShellList::Shown, this, &TShellSelection::ListShown);
  connect(&list, &TShellList::ItemToggled, this, &TShellSelection::ListItemToggled);
}

// ---------------------------------------------------------------- entries

const TShellObject* TShellSelection::Find(const QString& path) const {
  for (const TShellObject& e : m_entries)
    if (e.Path == path) return &e;
  return nullptr;
}

TShellObject* TShellSelection::FindMutable(const QString& path) {
  return const_cast<TShellObject*>(Find(path));
}

TShellObject& TShellSelection::EntryFor(const QString& path, bool isFolder,
                                        QTreeWidgetItem* parentNode) {
  if (TShellObject* e = FindMutable(path)) return *e;
  m_entries.push_back({path, isFolder, 0, parentNode, -1});
  return m_entries.back();
}

void TShellSelection::RemoveEntry(const QString& path) {
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const TShellObject& e) { return e.Path == path; }),
                  m_entries.end());
}

bool TShellSelection::IsUnder(const TShellObject& e, QTreeWidgetItem* node) const {
  for (QTreeWidgetItem* n = e.ParentNode; n; n = n->parent())
    if (n == node) return true;
  return false;
}

void TShellSelection::RemoveEntriesUnder(QTreeWidgetItem* node) {
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const TShellObject& e) { return IsUnder(e, node); }),
                  m_entries.end());
}

// Strictly below: "/a/doc" takes "/a/doc/x" but neither "/a/docs2/x" nor
// "/b/a/doc".
void TShellSelection::RemoveEntriesBelowPath(const QString& path) {
  if (path.isEmpty()) return;
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const TShellObject& e) {
                                   return e.Path != path && IsAtOrBelow(e.Path, path);
                                 }),
                  m_entries.end());
}

// ------------------------------------------------------------- operations

void TShellSelection::MarkSubtree(QTreeWidgetItem* node, bool chosen) {
  const QString path = TShellTree::PathOf(node);
  m_tree.SetMark(node, chosen ? kMarkChosen : kMarkUnchosen);
  if (chosen)
    EntryFor(path, true, node->parent()).SelState = 0;
  else
    RemoveEntry(path);
  for (int i = 0; i < node->childCount(); ++i) MarkSubtree(node->child(i), chosen);
}

bool TShellSelection::ListShows(QTreeWidgetItem* node) const {
  return !m_list.IsLoading() && !m_list.Folder().isEmpty() &&
         m_list.Folder() == TShellTree::PathOf(node);
}

void TShellSelection::CheckNode(QTreeWidgetItem* node) {
  if (!node || node == m_tree.Desktop()) return;
  MarkSubtree(node, true);
  if (ListShows(node)) {
    for (int i = 0; i < m_list.Count(); ++i) {
      QTreeWidgetItem* item = m_list.Item(i);
      m_list.SetChecked(item, true);
      EntryFor(TShellList::PathOf(item), TShellList::IsFolderItem(item), node).SelState = 0;
    }
  }
  UpdateAncestors(node);
}

void TShellSelection::UncheckNode(QTreeWidgetItem* node) {
  if (!node) return;
  const QString path = TShellTree::PathOf(node);
  if (node != m_tree.Desktop()) MarkSubtree(node, false);
  if (ListShows(node))
    for (int i = 0; i < m_list.Count(); ++i) m_list.SetChecked(m_list.Item(i), false);
  RemoveEntriesUnder(node);
  if (node == m_tree.Desktop()) {
    // A virtual node: what lies below its places.
    for (int i = 0; i < node->childCount(); ++i)
      RemoveEntriesBelowPath(TShellTree::PathOf(node->child(i)));
  } else {
    RemoveEntriesBelowPath(path);
  }
  UpdateAncestors(node);
  UnmarkOtherViews(node, path);
}

// The same folder may show twice ("主文件夹" and its place under "文件系统"):
// nodes elsewhere at or below the path cleared lose their marks too.
void TShellSelection::UnmarkOtherViews(QTreeWidgetItem* node, const QString& path) {
  if (path.isEmpty()) return;
  for (QTreeWidgetItem* other : m_tree.AllNodes()) {
    if (other == node || m_tree.Mark(other) == kMarkUnchosen || m_tree.Mark(other) == kMarkNone)
      continue;
    bool inside = false;
    for (QTreeWidgetItem* n = other; n && !inside; n = n->parent()) inside = n == node;
    if (inside || !IsAtOrBelow(TShellTree::PathOf(other), path)) continue;
    MarkSubtree(other, false);
    UpdateAncestors(other);
  }
}

void TShellSelection::MarkPartly(QTreeWidgetItem* node) {
  if (!node || node == m_tree.Desktop()) return;
  m_tree.SetMark(node, kMarkPartly);
  EntryFor(TShellTree::PathOf(node), true, node->parent()).SelState = 1;
  UpdateAncestors(node);
}

void TShellSelection::UpdateAncestors(QTreeWidgetItem* node) {
  for (QTreeWidgetItem* parent = node ? node->parent() : nullptr;
       parent && parent != m_tree.Desktop(); parent = parent->parent()) {
    const QString path = TShellTree::PathOf(parent);
    switch (ComputeState(parent)) {
      case TState::NotChosen:
        m_tree.SetMark(parent, kMarkUnchosen);
        RemoveEntry(path);
        break;
      case TState::Partly:
        m_tree.SetMark(parent, kMarkPartly);
        EntryFor(path, true, parent->parent()).SelState = 1;
        break;
      case TState::Chosen:
        m_tree.SetMark(parent, kMarkChosen);
        EntryFor(path, true, parent->parent()).SelState = 0;
        break;
    }
  }
}

int TShellSelection::ItemCountOf(QTreeWidgetItem* node) {
  const QString path = TShellTree::PathOf(node);
  TShellObject* own = FindMutable(path);
  if (own && own->ItemCount >= 0) return own->ItemCount;
  // Never listed: count now, so that ticking the only subfolder of a folder
  // that also holds files does not take the files along.
  const int count = ListShows(node) ? m_list.Count() : CountFolderItems(path);
  if (own) own->ItemCount = count;
  return count;
}

TShellSelection::TState TShellSelection::ComputeState(QTreeWidgetItem* node) {
  int under = 0, direct = 0;
  for (const TShellObject& e : m_entries) {
    if (!IsUnder(e, node)) continue;
    if (e.SelState == 1) return TState::Partly;
    ++under;
    if (e.ParentNode == node) ++direct;
  }
  if (under == 0) return TState::NotChosen;
  if (under < node->childCount()) return TState::Partly;
  for (int i = 0; i < node->childCount(); ++i)
    if (m_tree.Mark(node->child(i)) != kMarkChosen) return TState::Partly;
  const int items = ItemCountOf(node);
  return items >= 0 && direct >= items ? TState::Chosen : TState::Partly;
}

void TShellSelection::SetListFromNode(QTreeWidgetItem* node) {
  const bool whole = m_tree.Mark(node) == kMarkChosen;
  for (int i = 0; i < m_list.Count(); ++i) {
    QTreeWidgetItem* item = m_list.Item(i);
    const QString path = TShellList::PathOf(item);
    if (whole) {
      m_list.SetChecked(item, true);
      EntryFor(path, TShellList::IsFolderItem(item), node).SelState = 0;
    } else {
      const TShellObject* e = Find(path);
      m_list.SetChecked(item, e && e->SelState == 0);
    }
  }
}

// ----------------------------------------------------------------- events

void TShellSelection::MarkClicked(QTreeWidgetItem* node) {
  if (m_tree.Mark(node) == kMarkUnchosen)
    CheckNode(node);
  else
    UncheckNode(node);
}

void TShellSelection::NodeAdded(QTreeWidgetItem* node) {
  if (m_tree.Mark(node->parent()) == kMarkChosen) {
    m_tree.SetMark(node, kMarkChosen);
    EntryFor(TShellTree::PathOf(node), true, node->parent()).SelState = 0;
    return;
  }
  const TShellObject* e = Find(TShellTree::PathOf(node));
  m_tree.SetMark(node, !e ? kMarkUnchosen : e->SelState == 0 ? kMarkChosen : kMarkPartly);
}

void TShellSelection::ListShown(const QString& folder) {
  QTreeWidgetItem* node = m_tree.currentItem();
  if (!node || folder.isEmpty() || TShellTree::PathOf(node) != folder) return;
  SetListFromNode(node);
  if (TShellObject* own = FindMutable(folder)) own->ItemCount = m_list.Count();
}

void TShellSelection::ListItemToggled(QTreeWidgetItem* item) {
  QTreeWidgetItem* node = m_tree.currentItem();
  if (!node || !ListShows(node)) return;
  const QString path = TShellList::PathOf(item);
  const bool on = m_list.IsChecked(item);
  QTreeWidgetItem* child = TShellTree::ChildByCaption(node, item->text(0));
  if (on) {
    EntryFor(path, TShellList::IsFolderItem(item), node).SelState = 0;
    if (child) MarkSubtree(child, true);
  } else {
    RemoveEntry(path);
    if (child) MarkSubtree(child, false);
    RemoveEntriesBelowPath(path);
  }
  if (TShellObject* own = FindMutable(TShellTree::PathOf(node))) own->ItemCount = m_list.Count();
  int checked = 0;
  for (int i = 0; i < m_list.Count(); ++i) checked += m_list.IsChecked(m_list.Item(i)) ? 1 : 0;
  if (checked == m_list.Count())
    CheckNode(node);
  else if (checked == 0)
    UncheckNode(node);
  else
    MarkPartly(node);
}

// ------------------------------------------------------- using the result

QVector<TShellObject> TShellSelection::Normalised() const {
  QVector<TShellObject> kept = m_entries;
  for (QTreeWidgetItem* node : m_tree.AllNodes()) {
    const TShellMark mark = m_tree.Mark(node);
    const QString path = TShellTree::PathOf(node);
    if (mark == kMarkChosen) {
      kept.erase(std::remove_if(kept.begin(), kept.end(),
                                [&](const TShellObject& e) { return IsUnder(e, node); }),
                 kept.end());
    } else if (mark == kMarkPartly) {
      kept.erase(std::remove_if(kept.begin(), kept.end(),
                                [&](const TShellObject& e) { return e.Path == path; }),
                 kept.end());
    }
  }
  // Partly chosen folders are never objects; and a folder taken whole
  // already holds whatever was ticked inside it through another view.
  kept.erase(std::remove_if(kept.begin(), kept.end(),
                            [](const TShellObject& e) { return e.SelState != 0; }),
             kept.end());
  QVector<TShellObject> result;
  for (const TShellObject& e : kept) {
    const bool inside = std::any_of(kept.begin(), kept.end(), [&](const TShellObject& o) {
      return o.IsFolder && o.Path != e.Path && IsAtOrBelow(e.Path, o.Path);
    });
    if (!inside) result.push_back(e);
  }
  return result;
}

void TShellSelection::Clear() {
  for (QTreeWidgetItem* node : m_tree.AllNodes()) m_tree.SetMark(node, kMarkUnchosen);
  for (int i = 0; i < m_list.Count(); ++i) m_list.SetChecked(m_list.Item(i), false);
  m_entries.clear();
}

}  // namespace solvane
