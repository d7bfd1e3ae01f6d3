#include "ui/shell/UiShell.h"

#include <QCoreApplication>
#include <QCursor>
#include <QTimer>

#include "ui/backup/TForm_BR_Process.h"
#include "ui/shell/TForm_Help.h"
#include "ui/shell/TForm_Lock.h"

namespace solvane {

TUiShell::TUiShell(TPublicInfo& info)
    : m_info(info), m_screens(*this), m_context(std::make_unique<QObject>()) {
  // The start notes of every screen send the user to the monitor by name.
  m_screens.Register<TForm_BR_Process>("TaskWatch");
}

TUiShell::~TUiShell() {
  m_context.reset();  // drops exit requests still queued
  delete m_help.data();
  m_screens.Clear();
  delete m_lock.data();
}

TForm_Lock* TUiShell::LockWindow() const { return m_lock.data(); }
TForm_Help* TUiShell::HelpPopup() const { return m_help.data(); }

void TUiShell::ShowLock() {
  if (!m_lock) m_lock = new TForm_Lock(*this);
  if (m_lock->isVisible()) {
    m_lock->raise();
    m_lock->activateWindow();
    return;
  }
  m_lock->exec();
}

void TUiShell::ShowHelpPopup(int topic, int subTopic) {
  if (!m_help) m_help = new TForm_Help();
  m_help->Popup(topic, subTopic, QCursor::pos());
}

void TUiShell::RequestExit() {
  if (m_exitQueued || m_ending) return;  // one close request at a time
  m_exitQueued = true;
  QTimer::singleShot(0, m_context.get(), [this] {
    m_exitQueued = false;
    if (m_exitHandler)
      m_exitHandler();
    else
      QCoreApplication::quit();
  });
}

void TUiShell::Unlock() {
  if (m_unlockHandler) m_unlockHandler();
}

void TUiShell::EndProgram() {
  m_ending = true;
  if (m_endHandler)
    m_endHandler();
  else
    QCoreApplication::quit();
}

}  // namespace solvane
