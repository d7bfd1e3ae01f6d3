#pragma once
// "共享文件夹--新增" / "共享文件夹--编辑": a share folder's name, password,
// comment and read-only flag, saved on the server on "确定". The server never
// hands out a password: a protected folder's password fields start as the
// marker "******", which keeps the password when sent back unchanged.

#include <QDialog>
#include <cstdint>

#include "api/ApiCall.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace solvane {

class TPublicInfo;

class TForm_BR_ShareArea_FolderInfo : public QDialog {
  Q_OBJECT
 public:
  enum class TMode { New, Edit };

  struct TFolderValues {
    std::int64_t FolderID = 0;  // edit mode
    std::int64_t ParentID = 0;  // 0: top level
    QString Name;
    QString Owner;
    QString Comment;
    bool ReadOnly = true;
    bool HasPassword = false;
  };

  // New mode takes only values.ParentID; the owner is the signed-in user.
  TForm_BR_ShareArea_FolderInfo(TPublicInfo& info, TMode mode, const TFolderValues& values,
                                QWidget* parent = nullptr);

  // The saved folder's ID (the new one after an insert).
  std::int64_t FolderID() const { return m_values.FolderID; }

  QLineEdit* NameField() const { return m_name; }
  QLineEdit* OwnerField() const { return m_owner; }
  QCheckBox* PasswordBox() const { return m_hasPassword; }
  QLineEdit* PasswordField() const { return m_password; }
  QLineEdit* ConfirmField() const { return m_confirm; }
  QLineEdit* CommentField() const { return m_comment; }
  QCheckBox* ReadOnlyBox() const { return m_readOnly; }

 private:
  void PasswordBoxToggled(bool on);
  void Save();
  api::TApiStatus SaveOnServer();

  TPublicInfo& m_info;
  TMode m_mode;
  TFolderValues m_values;
  QLineEdit* m_name = nullptr;
  QLineEdit* m_owner = nullptr;
  QCheckBox* m_hasPassword = nullptr;
  QWidget* m_passwordRows = nullptr;
  QLineEdit* m_password = nullptr;
  QLineEdit* m_confirm = nullptr;
  QLineEdit* m_comment = nullptr;
  QCheckBox* m_readOnly = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_back = nullptr;
};

}  // namespace solvane
