#include "tasks/ErrorNotes.h"

#include <chrono>
#include <mutex>

namespace solvane {

namespace {
constexpr std::chrono::seconds kRepeatQuiet{10};
}  // namespace

void NoteError(IEngineContext& ctx, const std::string& what, const std::string& reason) {
  static std::mutex mutex;
  static std::string lastText;
  static std::chrono::steady_clock::time_point lastShown;
  const std::string text = what + "：" + reason;
  {
    std::lock_guard g(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (text == lastText && now - lastShown < kRepeatQuiet) return;
    lastText = text;
    lastShown = now;
  }
  ctx.Notes().ShowNote(text, kNoteError);
}

}  // namespace solvane
