#include "ModalAnswers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane::testing {

std::shared_ptr<TModalSeen> OnNextModal(std::function<void(QWidget*)> action, int timeoutMs) {
  auto seen = std::make_shared<TModalSeen>();
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* timer = new QTimer(qApp);
  auto remaining = std::make_shared<int>(timeoutMs / 10);
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != before.data() && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      seen->Seen = true;
      seen->Caption = modal->windowTitle();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) seen->Text = box->text();
      action(modal);
      return;
    }
    if (--*remaining <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
  return seen;
}

bool ClickButton(QWidget* widget, const QString& name) {
  for (auto* button : widget->findChildren<QAbstractButton*>()) {
    if (button->objectName() == name || button->text() == name) {
      button->click();
      return true;
    }
  }
  return false;
}

std::shared_ptr<TModalSeen> AnswerNextQuestion(bool yes) {
  return OnNextModal([yes](QWidget* box) { ClickButton(box, yes ? "yes" : "no"); });
}

QStringList OpenNoteTexts() {
  QStringList texts;
  for (auto* note : OpenNotes()) texts << note->Text();
  return texts;
}

}  // namespace solvane::testing
