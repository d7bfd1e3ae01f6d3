#pragma once
// The core's notes (sign-in, disk space, task ends) shown as notification
// popups. The core calls from any of its threads; the popup is always
// created on the GUI thread by a queued call, and the caller never waits.

#include "platform/INoteSink.h"

namespace solvane {

class TQtNoteSink : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind kind) override;
};

}  // namespace solvane
