#pragma once
// Small modal helpers every screen uses: Yes/No questions, a one-line input
// box and a runner for modal dialogs.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <utility>

class QLineEdit;
class QPushButton;

namespace solvane {

// A Yes/No message box with a question-mark icon; true for Yes. The buttons
// carry the object names "yes" and "no".
bool AskYesNo(const QString& question, const QString& caption);
// AskYesNo with the caption "询问".
bool Confirm(const QString& question);

// The input box: one field (object name "edit"), "确定" (default, "ok") and
// "取消" ("cancel"); Esc cancels.
class TQorFormWithUIInputQuery : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 479;
  static constexpr int kHeight = 82;

  TQorFormWithUIInputQuery(const QString& caption, const QString& initial, bool masked,
                           QWidget* parent = nullptr);
  QString Value() const;
  QLineEdit* Edit() const { return m_edit; }

 private:
  QLineEdit* m_edit = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

// Returns the field's text after "确定", empty text after "取消" or Esc.
// Masked input shows "*" for every character.
QString InputBox(const QString& caption, const QString& initial, bool masked);

// Creates T(args...), shows it modally and frees it; true when it ended
// with OK (Accepted).
template <class T, class... A>
bool ShowModalForm(A&&... args) {
  QPointer<T> dialog = new T(std::forward<A>(args)...);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  delete dialog.data();  // null when the dialog freed itself on closing
  return accepted;
}

}  // namespace solvane
