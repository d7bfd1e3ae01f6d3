#include "ui/areas/TForm_BR_ShareArea_FolderInfo.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "api/ShareFolderApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "ui/areas/AreaScreenParts.h"
#include "ui/shell/PasswordMask.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QLineEdit* NewField(const QString& name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setMinimumWidth(240);
  return field;
}

}  // namespace

TForm_BR_ShareArea_FolderInfo::TForm_BR_ShareArea_FolderInfo(TPublicInfo& info, TMode mode,
                                                             const TFolderValues& values,
                                                             QWidget* parent)
    : QDialog(parent), m_info(info), m_mode(mode), m_values(values) {
  setObjectName("TForm_BR_ShareArea_FolderInfo");
  setWindowTitle(U("共享文件夹") + (mode == TMode::New ? U("--新增") : U("--编辑")));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  if (mode == TMode::New) {
    m_values.FolderID = 0;
    m_values.Owner = QString::fromStdString(info.UserCode());
    m_values.ReadOnly = true;
    m_values.HasPassword = false;
    m_values.Name.clear();
    m_values.Comment.clear();
  }

  m_name = NewField("FolderName", this);
  m_name->setText(m_values.Name);
  m_owner = NewField("Owner", this);
  m_owner->setText(m_values.Owner);
  m_owner->setReadOnly(true);
  m_hasPassword = new QCheckBox(this);
  m_hasPassword->setObjectName("HasPassword");
  m_password = NewField("Password", this);
  m_confirm = NewField("ConfirmPassword", this);
  MaskWithStars(m_password);
  MaskWithStars(m_confirm);
  m_comment = NewField("Comment", this);
  m_comment->setText(m_values.Comment);
  m_readOnly = new QCheckBox(U("只读"), this);
  m_readOnly->setObjectName("ReadOnly");
  m_readOnly->setChecked(m_values.ReadOnly);
  m_ok = new QPushButton(U("确定"), this);
  m_ok->setObjectName("ok");
  m_ok->setDefault(true);
  m_back = new QPushButton(U("返回"), this);
  m_back->setObjectName("back");
  m_back->setAutoDefault(false);

  m_passwordRows = new QWidget(this);
  auto* pwdGrid = new QGridLayout(m_passwordRows);
  pwdGrid->setContentsMargins(0, 0, 0, 0);
  pwdGrid->addWidget(new QLabel(U("访问密码"), m_passwordRows), 0, 0);
  pwdGrid->addWidget(m_password, 0, 1);
  pwdGrid->addWidget(new QLabel(U("确认密码"), m_passwordRows), 1, 0);
  pwdGrid->addWidget(m_confirm, 1, 1);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(U("文件夹名称:"), this), 0, 0);
  grid->addWidget(m_name, 0, 1);
  grid->addWidget(new QLabel(U("所有者:"), this), 1, 0);
  grid->addWidget(m_owner, 1, 1);
  grid->addWidget(m_hasPassword, 2, 0, 1, 2);
  grid->addWidget(m_passwordRows, 3, 0, 1, 2);
  grid->addWidget(new QLabel(U("备注:"), this), 4, 0);
  grid->addWidget(m_comment, 4, 1);
  grid->addWidget(m_readOnly, 5, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  buttons->addWidget(m_back);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addLayout(buttons);

  connect(m_hasPassword, &QCheckBox::toggled, this,
          &TForm_BR_ShareArea_FolderInfo::PasswordBoxToggled);
  connect(m_ok, &QPushButton::clicked, this, &TForm_BR_ShareArea_FolderInfo::Save);
  connect(m_back, &QPushButton::clicked, this, &QDialog::reject);

  m_hasPassword->setChecked(m_values.HasPassword);
  PasswordBoxToggled(m_values.HasPassword);
  if (m_values.HasPassword) {
    // The password itself never reaches the client: the marker keeps it.
    m_password->setText(QString::fromLatin1(api::kSharePasswordKept));
    m_confirm->setText(QString::fromLatin1(api::kSharePasswordKept));
  }
  m_name->setFocus();
}

void TForm_BR_ShareArea_FolderInfo::PasswordBoxToggled(bool on) {
  m_hasPassword->setText(on ? U("有密码") : U("设置访问密码"));
  m_passwordRows->setVisible(on);
  if (!on) {
    m_password->clear();
    m_confirm->clear();
  }
}

void TForm_BR_ShareArea_FolderInfo::Save() {
  if (m_name->text().trimmed().isEmpty()) {
    ShowNote(U("文件夹名称不能为空!"), kNoteWarning);
    m_name->setFocus();
    return;
  }
  if (m_password->text() != m_confirm->text()) {
    ShowNote(U("两次密码不一致!"), kNoteWarning);
    m_password->setFocus();
    return;
  }
  const api::TApiStatus saved = SaveOnServer();
  if (!saved) {
    if (saved.failure == api::TApiFailure::NoConnection) ShowNote(NotConnectedText(), kNoteError);
    ShowNote(U("文件夹信息保存失败!"), kNoteError);
    return;
  }
  ShowNote(U("文件夹信息保存成功!"), kNoteInformation);
  accept();
}

api::TApiStatus TForm_BR_ShareArea_FolderInfo::SaveOnServer() {
  api::TShareFolderFields fields;
  fields.ParentFolderID = m_values.ParentID;
  fields.Name = m_name->text().trimmed().toStdString();
  fields.Comment = m_comment->text().toStdString();
  fields.IsReadOnly = m_readOnly->isChecked();
  fields.Owner = m_values.Owner.toStdString();
  fields.Password = m_hasPassword->isChecked() ? m_password->text().toStdString() : std::string();
  TAreaBusy busy(this);
  if (m_mode == TMode::New) {
    const auto inserted = api::ShareFolderInsert(m_info.Pool(), CallerOf(m_info), fields);
    if (inserted) m_values.FolderID = inserted.value;
    return inserted.status;
  }
  return api::ShareFolderUpdate(m_info.Pool(), CallerOf(m_info), m_values.FolderID, fields);
}

}  // namespace solvane
