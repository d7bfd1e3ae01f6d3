#pragma once
// Answering modal dialogs from a GUI test: the action runs on the next modal
// widget that shows, while the code under test waits in its exec().

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

namespace solvane::testing {

// What the watcher saw: the modal widget's caption and, for message boxes,
// the text.
struct TModalSeen {
  bool Seen = false;
  QString Caption;
  QString Text;
};

// Runs action on the first modal widget shown from now on (checked every
// 10 ms for up to timeoutMs). The returned record is filled when it is seen.
std::shared_ptr<TModalSeen> OnNextModal(std::function<void(QWidget*)> action,
                                        int timeoutMs = 10000);
// Clicks the button named name inside widget (object name or text).
bool ClickButton(QWidget* widget, const QString& name);
// Answers the next Yes/No box with "yes" or "no".
std::shared_ptr<TModalSeen> AnswerNextQuestion(bool yes);
// The texts of the notification popups open now.
QStringList OpenNoteTexts();

}  // namespace solvane::testing
