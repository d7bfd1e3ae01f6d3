#pragma once
// "密码管理": the signed-in user changes the password on the server; on
// success the password kept in memory follows, so the lock dialog accepts
// the new one.

#include "ui/shell/QorWithUIDynamicForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace solvane {

class TForm_Tool_ChangePwd : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_Tool_ChangePwd(TUiShell& shell, QWidget* parent = nullptr);
  // Shows the user name and empties the three password fields.
  void Opening() override;

  QLabel* UserNameLabel() const { return m_userName; }
  QLineEdit* OldPasswordField() const { return m_oldPwd; }
  QLineEdit* NewPasswordField() const { return m_newPwd; }
  QLineEdit* ConfirmPasswordField() const { return m_confirmPwd; }
  QPushButton* ChangeButton() const { return m_change; }

 private:
  void ChangePassword();

  QLabel* m_userName = nullptr;
  QLineEdit* m_oldPwd = nullptr;
  QLineEdit* m_newPwd = nullptr;
  QLineEdit* m_confirmPwd = nullptr;
  QPushButton* m_change = nullptr;
};

}  // namespace solvane
