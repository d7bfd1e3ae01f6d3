#pragma once
// "选 择 性 恢 复": the user's server store as lazily loaded trees (backup,
// sync and mail areas) and a search page; checked objects are restored by
// a one-off restore task, objects are deleted into the server recycle bin.
// The same screen shows another user's store read-only (the authorised
// view): no deletion, no original place, search over that user's store.

#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "client/RestoreTask.h"
#include "ui/shell/QorWithUIDynamicForm.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TRestoreOptionsPage;

class TForm_BR_Restore_Browser : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  enum TArea { kAreaBackup = 0, kAreaSync = 1, kAreaMail = 2, kAreaSearch = 3 };
  // Entries of "请选择区域：".
  enum TAreaEntry { kEntryBackup, kEntrySync, kEntryMail, kEntrySeparator, kEntrySearch };

  explicit TForm_BR_Restore_Browser(TUiShell& shell, QWidget* parent = nullptr);

  // Shows the browser in the content panel over the signed-in user's own
  // store and runs its opening.
  static TForm_BR_Restore_Browser* OpenOwnStore(TUiShell& shell);
  // Shows the browser in the content panel over userCode's store,
  // read-only (the authorised view), and runs its opening.
  static TForm_BR_Restore_Browser* OpenAuthorisedView(TUiShell& shell,
                                                      const std::string& userCode);
  // The authorised view of userCode in this browser (sets the shared
  // authorised-area state and runs the opening).
  void ShowAuthorisedView(const std::string& userCode);

  // Resets trees, area, search dates, the view user and the title from the
  // shared authorised-area state.
  void Opening() override;

  QString Title() const;
  const std::string& ViewUser() const { return m_viewUser; }
  bool ReadOnly() const { return m_readOnly; }
  int Area() const { return m_area; }

  // Area selection; the separator warns and changes nothing.
  void SelectEntry(int entry);
  // Loads the children of node (every time); the area root when null.
  void LoadFolder(QTreeWidget* tree, QTreeWidgetItem* node);
  void Refresh();
  void DeleteSelected();
  void Search();
  void Next();
  void Back();
  // "立即执行": checks the options, builds and starts the restore tasks.
  void RunRestore();

  QComboBox* AreaSelector() const { return m_areaSelector; }
  QTreeWidget* Tree(int area) const;
  QTreeWidget* Results() const { return m_results; }
  TRestoreOptionsPage* Options() const { return m_options; }
  QPushButton* DeleteButton() const { return m_delete; }
  QPushButton* RefreshButton() const { return m_refresh; }
  QPushButton* NextButton() const { return m_next; }
  QPushButton* BackButton() const { return m_back; }
  QPushButton* RunButton() const { return m_run; }
  bool OnOptionsPage() const;
  // Search controls.
  QLineEdit* SearchName() const { return m_seekName; }
  QCheckBox* OnlyLastVersion() const { return m_onlyLast; }
  QCheckBox* DateOption() const { return m_dateOption; }
  QDateEdit* StartDate() const { return m_startDate; }
  QDateEdit* EndDate() const { return m_endDate; }
  QCheckBox* SizeOption() const { return m_sizeOption; }
  QPushButton* SearchButton() const { return m_seekButton; }
  // The restores started last.
  const std::vector<TTaskObjectPtr>& StartedTasks() const { return m_started; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildSearchPage();
  QTreeWidget* NewTree(const QString& name);
  void ResetTree(int area);
  void LoadMailFolder(QTreeWidgetItem* node);
  void Expanded(QTreeWidgetItem* node);
  void UpdateButtons();
  QTreeWidget* CurrentTree() const;
  bool DeleteMailNode(QTreeWidgetItem* node);
  bool DeleteFileNode(QTreeWidget* tree, QTreeWidgetItem* node);
  // The restores the checked nodes of the current area ask for; false
  // (after telling the user) when nothing is checked.
  bool CollectOrders(std::vector<TRestoreOrder>& orders);
  void CollectFileArea(std::vector<TRestoreOrder>& orders);
  void CollectMailArea(std::vector<TRestoreOrder>& orders);
  void CollectResults(std::vector<TRestoreOrder>& orders);
  bool ExplainRefusal(const TRestoreMade& made);

  std::string m_viewUser;
  bool m_readOnly = false;
  int m_area = kAreaBackup;
  int m_entry = kEntryBackup;
  std::uint64_t m_generation = 0;  // bumped by every reset of the trees
  bool m_loading = false;          // expansion signals of our own loading
  std::vector<TTaskObjectPtr> m_started;

  QLabel* m_title = nullptr;
  QComboBox* m_areaSelector = nullptr;
  QStackedWidget* m_pages = nullptr;
  QTreeWidget* m_trees[3] = {};
  QTreeWidget* m_results = nullptr;
  QWidget* m_searchPage = nullptr;
  TRestoreOptionsPage* m_options = nullptr;
  QLineEdit* m_seekName = nullptr;
  QCheckBox* m_onlyLast = nullptr;
  QCheckBox* m_dateOption = nullptr;
  QDateEdit* m_startDate = nullptr;
  QDateEdit* m_endDate = nullptr;
  QCheckBox* m_sizeOption = nullptr;
  QRadioButton* m_sizeSmall = nullptr;
  QRadioButton* m_sizeMiddle = nullptr;
  QRadioButton* m_sizeGiven = nullptr;
  QComboBox* m_sizeBound = nullptr;
  QSpinBox* m_sizeMB = nullptr;
  QPushButton* m_seekButton = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_delete = nullptr;
  QPushButton* m_back = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_run = nullptr;
};

}  // namespace solvane
