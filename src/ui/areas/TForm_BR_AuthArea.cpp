#include "ui/areas/TForm_BR_AuthArea.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "api/AuthApi.h"
#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "ui/areas/AreaScreenParts.h"
#include "ui/areas/TForm_BR_AuthArea_SendRequest.h"
#include "ui/restore/TForm_BR_Restore_Browser.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kRoleCode = Qt::UserRole;          // column 0: the user code, whole
constexpr int kRoleSendDate = Qt::UserRole + 1;  // column 0: "SendDate" as received

// A request text on one line of a list cell.
QString OneLine(const std::string& wireText) {
  return Q(api::LineBreaksFromWire(wireText)).replace("\r\n", " ");
}

QString CodeOf(const QTreeWidget* list) {
  const QTreeWidgetItem* row = list->currentItem();
  return row ? row->data(0, kRoleCode).toString() : QString();
}

void SelectFirst(QTreeWidget* list) {
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
}

void FillUsers(QTreeWidget* list, const std::vector<api::TAuthEntry>& users) {
  list->clear();
  for (const api::TAuthEntry& u : users) {
    auto* row = new QTreeWidgetItem(list, {Q(u.UCode), Q(u.UName), ServerDateText(u.AuthDate)});
    row->setData(0, kRoleCode, Q(u.UCode));
  }
  SelectFirst(list);
}

}  // namespace

TForm_BR_AuthArea::TForm_BR_AuthArea(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("TForm_BR_AuthArea");
  setWindowTitle(U("授 权 区 管 理"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  auto* top = new QHBoxLayout;
  top->addWidget(NewScreenHeading(U("授 权 区 管 理"), this));
  top->addStretch();
  auto* help = NewHelpLink(U("不明白授权区?请点击这里"), "HelpLink", this);
  connect(help, &QPushButton::clicked, this, [this] { Shell().ShowHelpPopup(2, 300); });
  top->addWidget(help);
  layout->addLayout(top);

  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(U("当前安全模式："), this));
  m_mode = new QComboBox(this);
  m_mode->setObjectName("SecurityMode");
  m_mode->addItems({U("标准模式"), U("安全模式")});
  // Shown, never chosen here: the server's administrator sets the mode.
  m_mode->setFocusPolicy(Qt::NoFocus);
  m_mode->setAttribute(Qt::WA_TransparentForMouseEvents);
  bar->addWidget(m_mode);
  bar->addStretch();
  m_sendRequest = NewAreaButton(U("发送请求"), "SendRequest", this);
  m_refresh = NewAreaButton(U("刷新"), "Refresh", this);
  bar->addWidget(m_sendRequest);
  bar->addWidget(m_refresh);
  layout->addLayout(bar);

  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_pages->addTab(BuildViewablePage(), U("我可以查看的用户"));
  m_pages->addTab(BuildViewersPage(), U("可以看我的用户"));
  layout->addWidget(m_pages, 1);

  connect(m_sendRequest, &QPushButton::clicked, this, &TForm_BR_AuthArea::SendRequest);
  connect(m_refresh, &QPushButton::clicked, this, &TForm_BR_AuthArea::Refresh);
  connect(m_pages, &QTabWidget::currentChanged, this, &TForm_BR_AuthArea::UpdateButtons);
  UpdateButtons();
}

QWidget* TForm_BR_AuthArea::BuildViewablePage() {
  auto* page = new QWidget(this);
  m_viewable = NewAreaList({U("用户编号"), U("用户名称"), U("建立日期")}, "ViewableList", page);
  SetColumnWidths(m_viewable, {140, 180, 160});
  m_view = NewAreaButton(U("查看数据"), "View", page);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_view);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(m_viewable, 1);
  layout->addLayout(buttons);
  connect(m_view, &QPushButton::clicked, this, &TForm_BR_AuthArea::View);
  // Enter and a double click open the user's backups.
  connect(m_viewable, &QTreeWidget::itemActivated, this, [this] {
    if (m_view->isEnabled()) View();
  });
  connect(m_viewable, &QTreeWidget::currentItemChanged, this, &TForm_BR_AuthArea::UpdateButtons);
  return page;
}

QWidget* TForm_BR_AuthArea::BuildViewersPage() {
  auto* page = new QWidget(this);
  m_granted = NewAreaList({U("用户编号"), U("用户名称"), U("建立日期")}, "GrantedList", page);
  m_requests = NewAreaList({U("用户编号"), U("用户名称"), U("消息内容"), U("发送时间"), U("备注")},
                           "RequestList", page);
  SetColumnWidths(m_granted, {140, 180, 160});
  SetColumnWidths(m_requests, {120, 140, 280, 160});
  m_revoke = NewAreaButton(U("撤销"), "Revoke", page);
  m_approve = NewAreaButton(U("同意"), "Approve", page);
  m_reject = NewAreaButton(U("拒绝"), "Reject", page);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(U("已授权的用户:"), page));
  auto* grantedRow = new QHBoxLayout;
  grantedRow->addWidget(m_granted, 1);
  auto* grantedButtons = new QVBoxLayout;
  grantedButtons->addWidget(m_revoke);
  grantedButtons->addStretch();
  grantedRow->addLayout(grantedButtons);
  layout->addLayout(grantedRow, 1);
  layout->addWidget(new QLabel(U("待审核的请求:"), page));
  auto* requestRow = new QHBoxLayout;
  requestRow->addWidget(m_requests, 1);
  auto* requestButtons = new QVBoxLayout;
  requestButtons->addWidget(m_approve);
  requestButtons->addWidget(m_reject);
  requestButtons->addStretch();
  requestRow->addLayout(requestButtons);
  layout->addLayout(requestRow, 1);
  connect(m_revoke, &QPushButton::clicked, this, &TForm_BR_AuthArea::Revoke);
  connect(m_approve, &QPushButton::clicked, this, [this] { Decide(true); });
  connect(m_reject, &QPushButton::clicked, this, [this] { Decide(false); });
  connect(m_granted, &QTreeWidget::currentItemChanged, this, &TForm_BR_AuthArea::UpdateButtons);
  connect(m_requests, &QTreeWidget::currentItemChanged, this, &TForm_BR_AuthArea::UpdateButtons);
  return page;
}

QPushButton* TForm_BR_AuthArea::Button(const QString& name) const {
  return findChild<QPushButton*>(name);
}

bool TForm_BR_AuthArea::SecureMode() {
  return Shell().Info().Profile().KRN_SecurityMode == 1;
}

void TForm_BR_AuthArea::Opening() {
  if (m_opened) return;
  m_opened = true;
  const bool secure = SecureMode();
  m_mode->setCurrentIndex(secure ? 1 : 0);
  m_sendRequest->setEnabled(secure);
  m_pages->setTabEnabled(1, secure);
  m_pages->setCurrentIndex(0);
  Refresh();
}

void TForm_BR_AuthArea::Refresh() {
  if (!m_refresh->isEnabled()) return;
  TAreaBusy busy(this);
  if (!LoadViewable()) return;
  if (m_pages->isTabEnabled(1)) {
    LoadGranted();
    LoadRequests();
  }
}

bool TForm_BR_AuthArea::LoadViewable() {
  m_viewable->clear();
  TPublicInfo& info = Shell().Info();
  const auto users = api::AuthSelect(info.Pool(), info.Profile().KRN_SecurityMode,
                                     info.UserCode(), api::TAuthDirection::Viewable);
  if (users.status.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    UpdateButtons();
    return false;
  }
  FillUsers(m_viewable, users.value);
  if (m_viewable->topLevelItemCount() == 0) ShowNote(U("没有可以查看的用户!"), kNoteWarning);
  UpdateButtons();
  return true;
}

void TForm_BR_AuthArea::LoadGranted() {
  TPublicInfo& info = Shell().Info();
  const auto users = api::AuthSelect(info.Pool(), info.Profile().KRN_SecurityMode,
                                     info.UserCode(), api::TAuthDirection::Viewers);
  if (users) FillUsers(m_granted, users.value);
  UpdateButtons();
}

void TForm_BR_AuthArea::LoadRequests() {
  TPublicInfo& info = Shell().Info();
  const auto requests = api::AuthSelectMessage(info.Pool(), info.UserCode());
  if (!requests) return;
  QSet<QString> granted;
  for (int i = 0; i < m_granted->topLevelItemCount(); ++i)
    granted.insert(m_granted->topLevelItem(i)->data(0, kRoleCode).toString());
  m_requests->clear();
  for (const api::TAuthRequestEntry& r : requests.value) {
    if (granted.contains(Q(r.Sender))) continue;
    auto* row = new QTreeWidgetItem(m_requests, {Q(r.Sender), Q(r.UName), OneLine(r.Context),
                                                 ServerDateText(r.SendDate), OneLine(r.Comment)});
    row->setToolTip(2, Q(api::LineBreaksFromWire(r.Context)));
    row->setToolTip(4, Q(api::LineBreaksFromWire(r.Comment)));
    row->setData(0, kRoleCode, Q(r.Sender));
    // The server finds the request by the date exactly as it sent it.
    row->setData(0, kRoleSendDate, Q(r.SendDate));
  }
  SelectFirst(m_requests);
  UpdateButtons();
}

void TForm_BR_AuthArea::UpdateButtons() {
  const bool viewablePage = m_pages->currentIndex() == 0;
  m_view->setEnabled(viewablePage && m_viewable->currentItem());
  m_revoke->setEnabled(m_granted->currentItem() != nullptr);
  m_approve->setEnabled(m_requests->currentItem() != nullptr);
  m_reject->setEnabled(m_requests->currentItem() != nullptr);
}

void TForm_BR_AuthArea::View() {
  const QString code = CodeOf(m_viewable);
  if (code.isEmpty()) return;
  TForm_BR_Restore_Browser::OpenAuthorisedView(Shell(), code.toStdString());
}

void TForm_BR_AuthArea::Revoke() {
  const QString code = CodeOf(m_granted);
  if (code.isEmpty()) return;
  TPublicInfo& info = Shell().Info();
  TAreaBusy busy(this);
  const api::TApiStatus revoked = api::AuthRepeal(info.Pool(), CallerOf(info), code.toStdString());
  if (revoked.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  if (!revoked) {
    ShowNote(U("撤销失败!"), kNoteError);
    return;
  }
  ShowNote(U("撤销成功!"), kNoteInformation);
  LoadGranted();
}

void TForm_BR_AuthArea::Decide(bool allow) {
  const QTreeWidgetItem* row = m_requests->currentItem();
  if (!row) return;
  TPublicInfo& info = Shell().Info();
  api::TApiStatus decided;
  {
    TAreaBusy busy(this);
    decided = api::AuthReceiveMessage(info.Pool(), CallerOf(info),
                                      row->data(0, kRoleCode).toString().toStdString(),
                                      row->data(0, kRoleSendDate).toString().toStdString(), allow);
  }
  if (decided.failure == api::TApiFailure::NoConnection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  if (!decided) {
    ShowNote(U("操作失败!"), kNoteError);
    return;
  }
  Refresh();
}

void TForm_BR_AuthArea::SendRequest() {
  if (!SecureMode()) return;
  std::unique_ptr<TForm_BR_AuthArea_SendRequest> dialog;
  {
    TAreaBusy busy(this);  // the dialog asks the server for the users
    dialog = std::make_unique<TForm_BR_AuthArea_SendRequest>(Shell().Info(), this);
  }
  dialog->exec();
}

}  // namespace solvane
