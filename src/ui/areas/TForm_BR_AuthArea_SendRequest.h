#pragma once
// "发送请求": asks another user for the permission to view his backups. The
// list offers every user except oneself and those one may view already.

#include <QDialog>
#include <string>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace solvane {

class TPublicInfo;

class TForm_BR_AuthArea_SendRequest : public QDialog {
  Q_OBJECT
 public:
  // Loads the users from the server (the calls handle events meanwhile).
  explicit TForm_BR_AuthArea_SendRequest(TPublicInfo& info, QWidget* parent = nullptr);

  // A drop-down entry: code and name, each right-aligned in eight GBK
  // bytes, joined by "|"; longer ones are shown whole.
  static QString EntryText(const std::string& code, const std::string& name);

  QComboBox* TargetBox() const { return m_target; }
  QPlainTextEdit* ContextField() const { return m_context; }
  QPlainTextEdit* CommentField() const { return m_comment; }

 private:
  void LoadTargets();
  void Send();

  TPublicInfo& m_info;
  QComboBox* m_target = nullptr;
  QPlainTextEdit* m_context = nullptr;
  QPlainTextEdit* m_comment = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_back = nullptr;
};

}  // namespace solvane
