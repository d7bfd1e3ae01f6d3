#pragma once
// "回 收 站 管 理": the signed-in user's deleted server objects of one area;
// each can be deleted for good or put back where it was.

#include <cstdint>

#include "ui/shell/QorWithUIDynamicForm.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TForm_BR_Restore_Recycle : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_Restore_Recycle(TUiShell& shell, QWidget* parent = nullptr);

  // Selects the backup area and refreshes.
  void Opening() override;
  void Refresh();
  void DeleteSelected();
  void RevertSelected();

  QComboBox* AreaSelector() const { return m_areaSelector; }
  QTreeWidget* List() const { return m_list; }
  QPushButton* DeleteButton() const { return m_delete; }
  QPushButton* RevertButton() const { return m_revert; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int TaskKind() const;
  void UpdateButtons();
  // "RemoveTrashObject" or "RevertTrashObject" of the selected node.
  bool Act(bool remove);

  QComboBox* m_areaSelector = nullptr;
  QTreeWidget* m_list = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_delete = nullptr;
  QPushButton* m_revert = nullptr;
  std::uint64_t m_generation = 0;
};

}  // namespace solvane
