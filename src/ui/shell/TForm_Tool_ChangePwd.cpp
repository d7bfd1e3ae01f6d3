#include "ui/shell/TForm_Tool_ChangePwd.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/INoteSink.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/PasswordMask.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/ToolServerCalls.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QLineEdit* MaskedField(const QString& name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  MaskWithStars(field);
  field->setFixedWidth(220);
  return field;
}

}  // namespace

TForm_Tool_ChangePwd::TForm_Tool_ChangePwd(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("TForm_Tool_ChangePwd");
  setWindowTitle(U("密码管理"));
  auto* group = new QGroupBox(U("修改密码"), this);
  group->setObjectName("ChangePwdGroup");
  group->setMaximumWidth(520);
  m_userName = new QLabel(group);
  m_userName->setObjectName("UserName");
  m_oldPwd = MaskedField("OldPassword", group);
  m_newPwd = MaskedField("NewPassword", group);
  m_confirmPwd = MaskedField("ConfirmPassword", group);
  m_change = new QPushButton(U("确认修改"), group);
  m_change->setObjectName("ChangeButton");
  m_change->setMinimumWidth(96);
  connect(m_change, &QPushButton::clicked, this, &TForm_Tool_ChangePwd::ChangePassword);

  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(24, 16, 24, 16);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(10);
  const std::pair<const char*, QWidget*> rows[] = {{"用户名：", m_userName},
                                                   {"原密码：", m_oldPwd},
                                                   {"新密码：", m_newPwd},
                                                   {"确认新密码：", m_confirmPwd}};
  int row = 0;
  for (const auto& [label, field] : rows) {
    grid->addWidget(new QLabel(U(label), group), row, 0, Qt::AlignRight);
    grid->addWidget(field, row++, 1);
  }
  grid->addWidget(m_change, row, 1, Qt::AlignLeft);
  grid->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(12);
  layout->addWidget(NewScreenHeading(U("密码管理"), this));
  layout->addWidget(group);
  layout->addStretch();
}

void TForm_Tool_ChangePwd::Opening() {
  TPublicInfo& info = Shell().Info();
  const std::string name = info.UserName();
  m_userName->setText(QString::fromStdString(name.empty() ? info.UserCode() : name));
  m_oldPwd->clear();
  m_newPwd->clear();
  m_confirmPwd->clear();
}

void TForm_Tool_ChangePwd::ChangePassword() {
  if (m_newPwd->text() != m_confirmPwd->text()) {
    ShowNote(U("输入的密码不一致"), kNoteError);
    m_newPwd->clear();
    m_confirmPwd->clear();
    return;
  }
  TPublicInfo& info = Shell().Info();
  TQorTCPClientLease connection = FreeConnectedConnection(info);
  if (!connection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  const std::string newPassword = m_newPwd->text().toStdString();
  // The wait for the reply keeps handling events: no second click meanwhile.
  m_change->setEnabled(false);
  const bool changed =
      ChangeUserPassword(info, *connection, m_oldPwd->text().toStdString(), newPassword);
  m_change->setEnabled(true);
  if (!changed) {
    ShowNote(U("密码修改失败"), kNoteError);
    return;
  }
  connection.Release();
  // Only the password in memory: the saved one is written again at the next
  // successful sign-in.
  TSettings s = info.Settings();
  s.UserPwd = newPassword;
  info.SetSettings(s);
  ShowNote(U("密码修改成功"), kNoteInformation);
}

}  // namespace solvane
