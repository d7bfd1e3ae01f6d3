#include "platform/IDialogFinder.h"

namespace solvane {

namespace {

// The dialogs looked for are Windows dialogs: none appear on this platform.
class TNoDialogFinder : public IDialogFinder {
 public:
  std::optional<TWindowRef> FindTopLevel(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  void BringToFront(TWindowRef) override {}
};

}  // namespace

std::unique_ptr<IDialogFinder> CreateDialogFinder() { return std::make_unique<TNoDialogFinder>(); }

}  // namespace solvane
