#include "ui/shell/TForm_Login.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/PasswordMask.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

constexpr int kBannerHeight = 56;
constexpr int kLabelX = 36;
constexpr int kFieldX = 118;
constexpr int kFieldWidth = 220;
constexpr int kRowHeight = 24;

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The field read as an integer; fallback when it is not a number.
int IntegerOf(const QString& text, int fallback) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : fallback;
}

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int width = 80) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, width, kRowHeight);
  return label;
}

}  // namespace

TForm_Login::TForm_Login(TUiShell& shell, QWidget* parent) : QDialog(parent), m_shell(shell) {
  setWindowTitle(QString::fromUtf8("登录"));
  setObjectName("TForm_Login");
  BuildControls();
  FillFromSharedState();
  SetHeight(kCompactHeight);
  m_serverGroup->hide();
  m_allowChange->hide();
}

void TForm_Login::BuildControls() {
  AddLabel(this, QString::fromUtf8("用户名"), kLabelX, kBannerHeight + 14);
  m_user = new QLineEdit(this);
  m_user->setObjectName("UserEdit");
  m_user->setGeometry(kFieldX, kBannerHeight + 14, kFieldWidth, kRowHeight);

  AddLabel(this, QString::fromUtf8("密  码"), kLabelX, kBannerHeight + 48);
  m_password = new QLineEdit(this);
  m_password->setObjectName("PasswordEdit");
  m_password->setGeometry(kFieldX, kBannerHeight + 48, kFieldWidth, kRowHeight);
  MaskWithStars(m_password);

  const int buttonsY = kBannerHeight + 90;
  m_login = new QPushButton(QString::fromUtf8("登录"), this);
  m_login->setObjectName("LoginButton");
  m_login->setGeometry(kFieldX, buttonsY, 68, 28);
  m_login->setDefault(true);
  m_exit = new QPushButton(QString::fromUtf8("退出"), this);
  m_exit->setObjectName("ExitButton");
  m_exit->setGeometry(kFieldX + 76, buttonsY, 68, 28);
  m_network = new QPushButton(QString::fromUtf8("网络设置"), this);
  m_network->setObjectName("NetworkButton");
  m_network->setGeometry(kFieldX + 152, buttonsY, 68, 28);
  m_network->setAutoDefault(false);
  m_exit->setAutoDefault(false);

  m_allowChange = new QCheckBox(QString::fromUtf8("允许修改"), this);
  m_allowChange->setObjectName("AllowChangeCheck");
  m_allowChange->setGeometry(kLabelX - 12, buttonsY + 42, 120, kRowHeight);

  m_serverGroup = new QGroupBox(QString::fromUtf8("修改参数"), this);
  m_serverGroup->setObjectName("ServerGroup");
  m_serverGroup->setGeometry(kLabelX - 12, buttonsY + 72, kWidth - 2 * (kLabelX - 12), 116);
  AddLabel(m_serverGroup, QString::fromUtf8("服务器名："), 12, 24);
  m_host = new QComboBox(m_serverGroup);
  m_host->setObjectName("HostCombo");
  m_host->setEditable(true);
  m_host->setGeometry(94, 24, kFieldWidth, kRowHeight);
  AddLabel(m_serverGroup, QString::fromUtf8("主 端 口："), 12, 54);
  m_port = new QLineEdit(m_serverGroup);
  m_port->setObjectName("PortEdit");
  m_port->setGeometry(94, 54, 90, kRowHeight);
  AddLabel(m_serverGroup, QString::fromUtf8("超时时间："), 12, 84);
  m_timeOut = new QLineEdit(m_serverGroup);
  m_timeOut->setObjectName("TimeOutEdit");
  m_timeOut->setGeometry(94, 84, 90, kRowHeight);
  AddLabel(m_serverGroup, QString::fromUtf8("秒"), 190, 84, 30);

  connect(m_login, &QPushButton::clicked, this, &TForm_Login::LoginClicked);
  connect(m_exit, &QPushButton::clicked, this, &TForm_Login::ExitClicked);
  connect(m_network, &QPushButton::clicked, this, &TForm_Login::NetworkSettingsClicked);
  connect(m_allowChange, &QCheckBox::toggled, this, &TForm_Login::AllowChangeToggled);
}

void TForm_Login::FillFromSharedState() {
  const TSettings s = m_shell.Info().Settings();
  if (s.IsSavedUserInfo) {
    m_user->setText(Text(s.UserCode));
    m_password->setText(Text(s.UserPwd));
  }
  m_host->setEditText(Text(s.Host));
  m_port->setText(QString::number(s.Port));
  m_timeOut->setText(QString::number(s.TimeOut));
  m_failures = 0;
}

void TForm_Login::SetHeight(int height) { setFixedSize(kWidth, height); }

void TForm_Login::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_user->setFocus();
}

void TForm_Login::NetworkSettingsClicked() {
  if (!Grown()) {
    SetHeight(kGrownHeight);
    m_allowChange->show();
    m_serverGroup->show();
    m_serverGroup->setEnabled(m_allowChange->isChecked());
  } else {
    SetHeight(kCompactHeight);
    m_allowChange->hide();
    m_serverGroup->hide();
    m_allowChange->setChecked(false);
  }
}

void TForm_Login::AllowChangeToggled(bool checked) { m_serverGroup->setEnabled(checked); }

void TForm_Login::ApplyServerSettings() {
  TPublicInfo& info = m_shell.Info();
  TSettings s = info.Settings();
  const QString host = m_host->currentText();
  const bool same = host == Text(s.Host) && IntegerOf(m_port->text(), s.Port) == s.Port &&
                    IntegerOf(m_timeOut->text(), s.TimeOut) == s.TimeOut;
  if (same) return;
  if (info.Pool().AnyConnected()) info.Pool().DisconnectAll(-1);
  s.Host = host.toStdString();
  s.Port = IntegerOf(m_port->text(), kDefaultPort);
  s.TimeOut = IntegerOf(m_timeOut->text(), kDefaultTimeOut);
  info.SetSettings(s);
  info.SaveServerSettings();
}

void TForm_Login::LoginClicked() {
  if (m_busy) return;
  ApplyServerSettings();
  TPublicInfo& info = m_shell.Info();
  TSettings s = info.Settings();
  const std::string user = m_user->text().toStdString();
  const std::string password = m_password->text().toStdString();
  if (user != s.UserCode || password != s.UserPwd) {
    // Kept in memory only: a successful login saves them.
    s.UserCode = user;
    s.UserPwd = password;
    info.SetSettings(s);
  }
  m_busy = true;
  setEnabled(false);  // the call pumps events: no second click meanwhile
  bool ok = Login(info);
  if (!ok && AcceptChangedCertificate()) ok = Login(info);
  setEnabled(true);
  m_busy = false;
  if (ok) {
    accept();
    return;
  }
  if (CertificateRefusal(info)) {
    // Not a wrong password: no attempt is used up.
    ShowNote(QString::fromUtf8("服务器证书已更改，连接被拒绝"), 1);
    return;
  }
  LoginFailed();
}

// The server presented a certificate other than the one pinned: asked with
// both fingerprints; a yes pins the presented one and signs in again.
bool TForm_Login::AcceptChangedCertificate() {
  TPublicInfo& info = m_shell.Info();
  const auto refusal = CertificateRefusal(info);
  if (!refusal) return false;
  const QString question =
      QString::fromUtf8("服务器 ") + QString::fromStdString(refusal->Host) + ":" +
      QString::number(refusal->Port) +
      QString::fromUtf8(" 的证书与上次不同，可能有人在截取连接。\r\n\r\n原指纹：") +
      QString::fromStdString(refusal->Pinned) + QString::fromUtf8("\r\n新指纹：") +
      QString::fromStdString(refusal->Presented) +
      QString::fromUtf8("\r\n\r\n请向管理员核对新指纹（solvane-server admin tls show）。"
                        "\r\n确认信任新证书并继续登录?");
  if (!AskYesNo(question, QString::fromUtf8("证书已更改"))) return false;
  return AcceptServerCertificate(info, refusal->Presented);
}

void TForm_Login::LoginFailed() {
  ++m_failures;
  ShowNote(QString::fromUtf8("密码错误或连接超时，还剩") + QString::number(kAttempts - m_failures) +
               QString::fromUtf8("机会"),
           1);
  m_user->setFocus();
  if (m_failures >= kAttempts) {
    done(QDialog::Rejected);
    m_shell.RequestExit();
  }
}

void TForm_Login::ExitClicked() {
  done(QDialog::Rejected);
  m_shell.EndProgram();
}

void TForm_Login::keyPressEvent(QKeyEvent* event) {
  // Esc is "退出" (the program ends), not a plain cancel as by the window's
  // close button.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (!m_busy) ExitClicked();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm_Login::reject() {
  if (!m_busy) QDialog::reject();
}

void TForm_Login::closeEvent(QCloseEvent* event) {
  if (m_busy) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TForm_Login::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  QLinearGradient band(0, 0, width(), 0);
  band.setColorAt(0, QColor(16, 72, 140));
  band.setColorAt(1, QColor(70, 150, 220));
  p.fillRect(0, 0, width(), kBannerHeight, band);
  p.setPen(Qt::white);
  QFont f = font();
  f.setPointSize(f.pointSize() + 5);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(20, 0, width() - 40, kBannerHeight), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromUtf8("Solvane桌面备份系统"));
}

}  // namespace solvane
