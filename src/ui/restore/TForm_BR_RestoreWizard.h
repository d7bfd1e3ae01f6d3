#pragma once
// "数据恢复导航": the way in to the three kinds of restore. Pointing at a
// way shows what it does in the "[提示信息]" panel.

#include "ui/shell/QorWithUIDynamicForm.h"

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace solvane {

class TForm_BR_RestoreWizard : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_RestoreWizard(TUiShell& shell, QWidget* parent = nullptr);

  // The help text of a way, lines apart by an empty line.
  static QString HelpText(int way);
  enum TWay { kWaySelective, kWayByTask, kWayRecycle };

  void OpenSelective();
  void OpenByTask();
  void OpenRecycle();

  QPushButton* WayButton(int way) const { return m_ways[way]; }
  QGroupBox* HelpPanel() const { return m_helpPanel; }
  QString ShownHelp() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ShowHelp(int way);

  QPushButton* m_ways[3] = {};
  QGroupBox* m_helpPanel = nullptr;
  QPlainTextEdit* m_help = nullptr;
  QString m_shown;  // the help text shown, as written
};

}  // namespace solvane
