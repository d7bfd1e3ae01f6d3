#pragma once
// The login dialog ("登录"): user code, password and, on request, the
// server settings; three attempts, then the program exits.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace solvane {

class TUiShell;

class TForm_Login : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kCompactHeight = 228;
  static constexpr int kGrownHeight = 356;
  static constexpr int kWidth = 380;
  static constexpr int kAttempts = 3;

  explicit TForm_Login(TUiShell& shell, QWidget* parent = nullptr);

  int FailureCount() const { return m_failures; }
  bool Grown() const { return height() > 300; }

  // The buttons' actions.
  void LoginClicked();
  void NetworkSettingsClicked();
  void AllowChangeToggled(bool checked);
  void ExitClicked();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildControls();
  void FillFromSharedState();
  void SetHeight(int height);
  // Saves and applies the dialog's server values when they differ from the
  // shared state's.
  void ApplyServerSettings();
  void LoginFailed();
  bool AcceptChangedCertificate();

  TUiShell& m_shell;
  int m_failures = 0;
  bool m_busy = false;  // a login runs (events are pumped meanwhile)

  QLineEdit* m_user = nullptr;
  QLineEdit* m_password = nullptr;
  QPushButton* m_login = nullptr;
  QPushButton* m_exit = nullptr;
  QPushButton* m_network = nullptr;
  QCheckBox* m_allowChange = nullptr;
  QGroupBox* m_serverGroup = nullptr;
  QComboBox* m_host = nullptr;
  QLineEdit* m_port = nullptr;
  QLineEdit* m_timeOut = nullptr;
};

}  // namespace solvane
