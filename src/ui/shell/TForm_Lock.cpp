#include "ui/shell/TForm_Lock.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/Unit_PublicInfo.h"
#include "ui/shell/PasswordMask.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

QString IdentityOf(const QString& userCode) {
  return userCode == QLatin1String("admin") ? QString::fromUtf8("系统管理员")
                                            : QString::fromUtf8("普通用户");
}

TForm_Lock::TForm_Lock(TUiShell& shell) : QDialog(nullptr), m_shell(shell) {
  setObjectName("TForm_Lock");
  setWindowTitle(QString::fromUtf8("锁定"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* userGroup = new QGroupBox(QString::fromUtf8("用户属性"), this);
  auto* userForm = new QFormLayout(userGroup);
  m_user = new QLabel(userGroup);
  m_user->setObjectName("UserLabel");
  m_identity = new QLabel(userGroup);
  m_identity->setObjectName("IdentityLabel");
  userForm->addRow(QString::fromUtf8("用户名:"), m_user);
  userForm->addRow(QString::fromUtf8("您的身份:"), m_identity);

  auto* passwordGroup = new QGroupBox(QString::fromUtf8("输入口令"), this);
  auto* passwordForm = new QFormLayout(passwordGroup);
  m_password = new QLineEdit(passwordGroup);
  m_password->setObjectName("PasswordEdit");
  MaskWithStars(m_password);
  passwordForm->addRow(QString::fromUtf8("口令:"), m_password);

  m_unlock = new QPushButton(QString::fromUtf8("解除锁定"), this);
  m_unlock->setObjectName("UnlockButton");
  m_unlock->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_unlock);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(userGroup);
  layout->addWidget(passwordGroup);
  layout->addLayout(buttons);
  setMinimumWidth(320);

  connect(m_unlock, &QPushButton::clicked, this, &TForm_Lock::UnlockClicked);
}

QString TForm_Lock::UserText() const { return m_user->text(); }
QString TForm_Lock::IdentityText() const { return m_identity->text(); }

void TForm_Lock::showEvent(QShowEvent* event) {
  TPublicInfo& info = m_shell.Info();
  const QString code = QString::fromStdString(info.UserCode());
  m_user->setText(code + "/" + QString::fromStdString(info.UserName()));
  m_identity->setText(IdentityOf(code));
  m_password->clear();
  m_password->setFocus();
  QDialog::showEvent(event);
}

void TForm_Lock::UnlockClicked() {
  if (m_password->text() != QString::fromStdString(m_shell.Info().Password())) {
    ShowNote(QString::fromUtf8("口令错误"), 2);
    m_password->clear();
    m_password->setFocus();
    return;
  }
  m_shell.Unlock();
  accept();
}

}  // namespace solvane
