#pragma once
// The local file system as the backup screens show it: a folder tree below
// the virtual "桌面" node (its places come from the platform) and a list of
// one folder's content. Folders are read in slices from the event loop, so a
// folder of thousands of entries never freezes the window; a busy cursor
// shows meanwhile. Hidden items are shown, folders first.
//
// Check marks: every tree node but "桌面" carries one of three marks (1 not
// chosen, 2 chosen, 3 partly chosen), every list item a check box. The
// views only show them and report the user's clicks; what a click means is
// the selection's business (ShellSelection.h).

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <QVector>
#include <memory>

class QDirIterator;

namespace solvane {

struct TShellEntry {
  QString Name;
  QString Path;  // absolute, no trailing separator (but "/")
  bool IsFolder = false;
  qint64 Size = 0;
  QDateTime Modified;
};

// Reads one folder in slices; Finished carries the entries, folders first,
// each group by name. An unreadable folder finishes empty.
class TFolderReader : public QObject {
  Q_OBJECT
 public:
  TFolderReader(const QString& path, bool foldersOnly, QObject* parent = nullptr);
  ~TFolderReader() override;
  void Start();

 signals:
  void Finished(const QVector<TShellEntry>& entries);

 private:
  void ReadSlice();

  QString m_path;
  bool m_foldersOnly;
  std::unique_ptr<QDirIterator> m_it;
  QVector<TShellEntry> m_entries;
  bool m_busy = false;  // the busy cursor is ours to restore
};

// "/a/b" + "c" -> "/a/b/c"; "/" + "c" -> "/c".
QString ChildPath(const QString& folder, const QString& name);
// True when path is folder or lies below it (separator-aware, case-sensitive).
bool IsAtOrBelow(const QString& path, const QString& folder);
// Bytes in human units: "512 B", "1.5 KB", "3.2 MB", "1.1 GB".
QString HumanSize(qint64 bytes);

enum TShellMark { kMarkNone = 0, kMarkUnchosen = 1, kMarkChosen = 2, kMarkPartly = 3 };

class TShellTree : public QTreeWidget {
  Q_OBJECT
 public:
  // withMarks false: the folder sync screen's tree, without check marks.
  explicit TShellTree(bool withMarks, QWidget* parent = nullptr);

  QTreeWidgetItem* Desktop() const { return m_desktop; }
  static QString PathOf(const QTreeWidgetItem* node);  // empty for "桌面"
  TShellMark Mark(const QTreeWidgetItem* node) const;
  void SetMark(QTreeWidgetItem* node, TShellMark mark);
  bool IsLoaded(const QTreeWidgetItem* node) const;
  bool IsLoading() const { return m_loading > 0; }
  // The loaded child of node whose caption is name; null when none.
  static QTreeWidgetItem* ChildByCaption(QTreeWidgetItem* node, const QString& name);
  // The path of the selected node; empty for "桌面" or nothing selected.
  QString SelectedPath() const;
  // Every node loaded so far, in tree order, "桌面" first.
  QVector<QTreeWidgetItem*> AllNodes() const;
  // Expands the nodes along path from root (loading them as needed) and
  // selects the deepest one reached; true when path itself was reached.
  // Waits for the loads in the event loop.
  bool Reveal(QTreeWidgetItem* root, const QString& path);

 signals:
  // The user clicked (or pressed Space on) node's check mark.
  void MarkClicked(QTreeWidgetItem* node);
  // A node was added by loading its parent.
  void NodeAdded(QTreeWidgetItem* node);
  // The children of node are loaded.
  void NodeLoaded(QTreeWidgetItem* node);

 private:
  QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* parent, const QString& caption,
                                 const QString& path);
  void Load(QTreeWidgetItem* node);
  void Loaded(QTreeWidgetItem* node, const QVector<TShellEntry>& entries);
  void ItemChanged(QTreeWidgetItem* node, int column);

  bool m_withMarks;
  QTreeWidgetItem* m_desktop = nullptr;
  int m_loading = 0;
  bool m_settingMark = false;
};

class TShellList : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TShellList(QWidget* parent = nullptr);

  // Starts showing folder (empty: nothing); Shown follows once read.
  void ShowFolder(const QString& folder);
  QString Folder() const { return m_folder; }
  bool IsLoading() const { return m_reader != nullptr; }
  static QString PathOf(const QTreeWidgetItem* item);
  static bool IsFolderItem(const QTreeWidgetItem* item);
  bool IsChecked(const QTreeWidgetItem* item) const;
  void SetChecked(QTreeWidgetItem* item, bool on);
  QTreeWidgetItem* Item(int i) const { return topLevelItem(i); }
  int Count() const { return topLevelItemCount(); }
  QTreeWidgetItem* ItemByName(const QString& name) const;

 signals:
  void Shown(const QString& folder);
  // The user toggled item's check box.
  void ItemToggled(QTreeWidgetItem* item);

 private:
  void Fill(const QVector<TShellEntry>& entries);

  QString m_folder;
  QPointer<TFolderReader> m_reader;
  bool m_settingCheck = false;
};

}  // namespace solvane
