#pragma once
// "文 件 备 份": the user ticks any number of local files and folders in a
// folder tree (27 %) with tri-state marks and the list of the selected
// folder's content (73 %), sets the filter, and runs the choice once or
// saves it as a named task. After a run started or a task was saved the
// choice is cleared; after a failure it stays for another try.

#include "ui/backup/FileTaskScreen.h"

class QSplitter;

namespace solvane {

class TShellList;
class TShellSelection;
class TShellTree;

class TForm_BR_FileBackup : public TFileTaskScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_FileBackup(TUiShell& shell, QWidget* parent = nullptr);

  TShellTree* Tree() const { return m_tree; }
  TShellList* List() const { return m_list; }
  TShellSelection* Selection() const { return m_selection; }
  QSplitter* Splitter() const { return m_splitter; }

 protected:
  bool CollectObjects(std::vector<TTaskFileObject>& objects) override;
  void RunStarted(std::int32_t taskId) override;
  void ChoiceUsed() override;

 private:
  TShellTree* m_tree = nullptr;
  TShellList* m_list = nullptr;
  TShellSelection* m_selection = nullptr;
  QSplitter* m_splitter = nullptr;
};

}  // namespace solvane
