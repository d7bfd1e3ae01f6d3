#include "ui/shell/QorWithUIDialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace solvane {

bool AskYesNo(const QString& question, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No,
                  QApplication::activeWindow());
  QAbstractButton* yes = box.button(QMessageBox::Yes);
  QAbstractButton* no = box.button(QMessageBox::No);
  yes->setText(QStringLiteral("是(&Y)"));
  yes->setObjectName(QStringLiteral("yes"));
  no->setText(QStringLiteral("否(&N)"));
  no->setObjectName(QStringLiteral("no"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool Confirm(const QString& question) { return AskYesNo(question, QStringLiteral("询问")); }

TQorFormWithUIInputQuery::TQorFormWithUIInputQuery(const QString& caption, const QString& initial,
                                                   bool masked, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  setFixedSize(kWidth, kHeight);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  m_edit = new QLineEdit(initial, this);
  m_edit->setObjectName(QStringLiteral("edit"));
  m_edit->setGeometry(8, 10, kWidth - 16, 24);
  if (masked) {
    m_edit->setEchoMode(QLineEdit::Password);
    // The mask character is "*" whatever the style would choose.
    m_edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  }
  m_edit->selectAll();

  m_ok = new QPushButton(QStringLiteral("确定"), this);
  m_ok->setObjectName(QStringLiteral("ok"));
  m_ok->setDefault(true);
  m_ok->setGeometry(kWidth - 8 - 2 * 80 - 8, 46, 80, 28);
  m_cancel = new QPushButton(QStringLiteral("取消"), this);
  m_cancel->setObjectName(QStringLiteral("cancel"));
  m_cancel->setGeometry(kWidth - 8 - 80, 46, 80, 28);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  m_edit->setFocus();
}

QString TQorFormWithUIInputQuery::Value() const { return m_edit->text(); }

QString InputBox(const QString& caption, const QString& initial, bool masked) {
  TQorFormWithUIInputQuery dialog(caption, initial, masked, QApplication::activeWindow());
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.Value();
}

}  // namespace solvane
