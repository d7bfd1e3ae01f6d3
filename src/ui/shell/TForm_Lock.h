#pragma once
// The lock dialog ("锁定"): shown while the program is locked; the signed-in
// user's password unlocks it. Created once by the shell and reused.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace solvane {

class TUiShell;

class TForm_Lock : public QDialog {
  Q_OBJECT
 public:
  // No parent: the dialog has a task bar button of its own.
  explicit TForm_Lock(TUiShell& shell);

  QString UserText() const;
  QString IdentityText() const;
  // "解除锁定".
  void UnlockClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TUiShell& m_shell;
  QLabel* m_user = nullptr;
  QLabel* m_identity = nullptr;
  QLineEdit* m_password = nullptr;
  QPushButton* m_unlock = nullptr;
};

// "系统管理员" for the user code "admin" exactly, "普通用户" for any other.
QString IdentityOf(const QString& userCode);

}  // namespace solvane
