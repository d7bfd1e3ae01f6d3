#include "ui/shell/PasswordMask.h"

#include <QLineEdit>

namespace solvane {

void MaskWithStars(QLineEdit* edit) {
  edit->setEchoMode(QLineEdit::Password);
  edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // '*'
}

}  // namespace solvane
