#pragma once
// "文 件 夹 同 步": the user selects one local folder in the folder tree,
// sets the filter, and mirrors it once or saves the mirroring as a named
// task. The choice stays after use.

#include "ui/backup/FileTaskScreen.h"

namespace solvane {

class TShellTree;

class TForm_BR_FileSync : public TFileTaskScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_FileSync(TUiShell& shell, QWidget* parent = nullptr);

  TShellTree* Tree() const { return m_tree; }

 protected:
  bool CollectObjects(std::vector<TTaskFileObject>& objects) override;
  void RunStarted(std::int32_t taskId) override;

 private:
  TShellTree* m_tree = nullptr;
};

}  // namespace solvane
