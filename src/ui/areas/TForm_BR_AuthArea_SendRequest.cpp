#include "ui/areas/TForm_BR_AuthArea_SendRequest.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include "api/AuthApi.h"
#include "api/UserApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "ui/areas/AreaScreenParts.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "wire/QorWithText.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// text right-aligned in eight GBK bytes (a longer text as it is).
QString RightAligned(const std::string& text) {
  const std::size_t width = GbkLength(text);
  const QString padding(width < 8 ? static_cast<int>(8 - width) : 0, QChar(' '));
  return padding + QString::fromStdString(text);
}

QPlainTextEdit* NewTextField(const QString& name, QWidget* parent) {
  auto* field = new QPlainTextEdit(parent);
  field->setObjectName(name);
  field->setTabChangesFocus(true);
  field->setMinimumWidth(300);
  field->setFixedHeight(72);
  return field;
}

}  // namespace

QString TForm_BR_AuthArea_SendRequest::EntryText(const std::string& code,
                                                 const std::string& name) {
  return RightAligned(code) + "|" + RightAligned(name);
}

TForm_BR_AuthArea_SendRequest::TForm_BR_AuthArea_SendRequest(TPublicInfo& info, QWidget* parent)
    : QDialog(parent), m_info(info) {
  setObjectName("TForm_BR_AuthArea_SendRequest");
  setWindowTitle(U("发送请求"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  m_target = new QComboBox(this);
  m_target->setObjectName("Target");
  // Blanks pad the entries: a fixed-pitch font keeps them in columns.
  m_target->setFont(QFont("Monospace"));
  m_context = NewTextField("Context", this);
  m_comment = NewTextField("Comment", this);
  m_ok = new QPushButton(U("确定"), this);
  m_ok->setObjectName("ok");
  m_ok->setDefault(true);
  m_back = new QPushButton(U("返回"), this);
  m_back->setObjectName("back");
  m_back->setAutoDefault(false);

  auto* form = new QFormLayout;
  form->addRow(U("发送目标:"), m_target);
  form->addRow(U("内容:"), m_context);
  form->addRow(U("备注:"), m_comment);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  buttons->addWidget(m_back);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  connect(m_ok, &QPushButton::clicked, this, &TForm_BR_AuthArea_SendRequest::Send);
  connect(m_back, &QPushButton::clicked, this, &QDialog::reject);
  LoadTargets();
  m_context->setFocus();
}

void TForm_BR_AuthArea_SendRequest::LoadTargets() {
  const std::string me = m_info.UserCode();
  QSet<QString> viewable;
  const auto links = api::AuthSelect(m_info.Pool(), m_info.Profile().KRN_SecurityMode, me,
                                     api::TAuthDirection::Viewable);
  for (const api::TAuthEntry& e : links.value) viewable.insert(QString::fromStdString(e.UCode));
  const auto users = api::UserSelect(m_info.Pool());
  for (const api::TUserEntry& u : users.value) {
    const QString code = QString::fromStdString(u.Code);
    if (u.Code == me || viewable.contains(code)) continue;
    // The code travels as the entry's data: the shown text may be padded.
    m_target->addItem(EntryText(u.Code, u.Name), code);
  }
  if (m_target->count() > 0) m_target->setCurrentIndex(0);
}

void TForm_BR_AuthArea_SendRequest::Send() {
  if (m_target->currentIndex() < 0) {
    ShowNote(U("请选择发送的用户!"), kNoteWarning);
    return;
  }
  if (m_context->toPlainText().isEmpty()) {
    ShowNote(U("内容不能为空!"), kNoteWarning);
    m_context->setFocus();
    return;
  }
  const std::string receiver = m_target->currentData().toString().toStdString();
  api::TApiStatus sent;
  {
    TAreaBusy busy(this);
    // Line breaks of the two texts travel as the frame's line-break character.
    sent = api::AuthSendMessage(m_info.Pool(), CallerOf(m_info), receiver,
                                api::LineBreaksToWire(m_comment->toPlainText().toStdString()),
                                api::LineBreaksToWire(m_context->toPlainText().toStdString()));
  }
  if (sent.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  if (!sent) {
    ShowNote(U("发送失败!"), kNoteError);
    return;
  }
  accept();
  ShowNote(U("发送成功!"), kNoteInformation);
}

}  // namespace solvane
