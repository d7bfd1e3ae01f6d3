#pragma once
// "授 权 区 管 理": the users whose backups the signed-in user may view (and
// opening one of them read-only in the server browser) and, in the secure
// mode, the users who may view his: granted ones (revoke) and pending
// requests (approve, reject). Who may view whom is kept by the server.

#include <QString>
#include <string>

#include "ui/shell/QorWithUIDynamicForm.h"

class QComboBox;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace solvane {

class TForm_BR_AuthArea : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_BR_AuthArea(TUiShell& shell, QWidget* parent = nullptr);
  // The first time: the security mode, the first page, the lists loaded.
  // Later openings keep the lists until "刷新".
  void Opening() override;
  // Reloads the lists (nothing while a reload runs).
  void Refresh();

  QComboBox* ModeBox() const { return m_mode; }
  QTabWidget* Pages() const { return m_pages; }
  QTreeWidget* ViewableList() const { return m_viewable; }
  QTreeWidget* GrantedList() const { return m_granted; }
  QTreeWidget* RequestList() const { return m_requests; }
  // "SendRequest", "Refresh", "View", "Revoke", "Approve", "Reject".
  QPushButton* Button(const QString& name) const;

 private:
  QWidget* BuildViewablePage();
  QWidget* BuildViewersPage();
  bool SecureMode();

  // False when no connection could be had (the reload stops then).
  bool LoadViewable();
  void LoadGranted();
  void LoadRequests();
  void UpdateButtons();

  // The server browser over the selected user's store, read-only.
  void View();
  void Revoke();
  void Decide(bool allow);
  void SendRequest();

  QComboBox* m_mode = nullptr;
  QTabWidget* m_pages = nullptr;
  QTreeWidget* m_viewable = nullptr;
  QTreeWidget* m_granted = nullptr;
  QTreeWidget* m_requests = nullptr;
  QPushButton* m_sendRequest = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_view = nullptr;
  QPushButton* m_revoke = nullptr;
  QPushButton* m_approve = nullptr;
  QPushButton* m_reject = nullptr;
  bool m_opened = false;
};

}  // namespace solvane
