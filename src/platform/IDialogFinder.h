#pragma once
// Finds other programs' top-level windows (a dialog that waits for the
// user) and brings one to the front. Used by the Outlook reader's watcher.
// Safe to call from any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace solvane {

// Identifies one top-level window of the desktop.
using TWindowRef = std::uintptr_t;

class IDialogFinder {
 public:
  virtual ~IDialogFinder() = default;
  // A top-level window of that window class with exactly that title.
  virtual std::optional<TWindowRef> FindTopLevel(std::string_view windowClass,
                                                 std::string_view title) = 0;
  // Raises the window above the others and gives it the focus.
  virtual void BringToFront(TWindowRef window) = 0;
};

// The desktop's windows; on this platform there are none to find.
std::unique_ptr<IDialogFinder> CreateDialogFinder();

}  // namespace solvane
