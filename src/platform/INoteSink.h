#pragma once
// Where the core's notes to the user go: the notification popup in the GUI,
// a line on stderr in the CLI, a recording in tests.

#include <string>

namespace solvane {

enum TNoteKind { kNoteInformation = 0, kNoteWarning = 1, kNoteError = 2 };

class INoteSink {
 public:
  virtual ~INoteSink() = default;
  virtual void ShowNote(const std::string& text, TNoteKind kind) = 0;
};

}  // namespace solvane
