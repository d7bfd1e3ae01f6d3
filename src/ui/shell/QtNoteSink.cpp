#include "ui/shell/QtNoteSink.h"

#include <QCoreApplication>
#include <QString>

#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

void TQtNoteSink::ShowNote(const std::string& text, TNoteKind kind) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const int number = static_cast<int>(kind);
  // Queued even on the GUI thread: the core may hold its own locks here.
  QMetaObject::invokeMethod(
      app, [message, number] { solvane::ShowNote(message, number); }, Qt::QueuedConnection);
}

}  // namespace solvane
