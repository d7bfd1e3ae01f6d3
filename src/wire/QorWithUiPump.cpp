#include "wire/QorWithUiPump.h"

#include <memory>
#include <mutex>

namespace solvane {

namespace {

struct TUiPumpState {
  std::mutex mutex;
  std::shared_ptr<const std::function<void()>> pump;
  std::thread::id uiThread;
};

TUiPumpState& State() {
  static TUiPumpState state;
  return state;
}

std::shared_ptr<const std::function<void()>> PumpForThisThread() {
  TUiPumpState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.uiThread != std::this_thread::get_id()) return nullptr;
  return s.pump;
}

}  // namespace

void SetUiPump(std::function<void()> pump) {
  TUiPumpState& s = State();
  std::lock_guard lock(s.mutex);
  if (pump)
    s.pump = std::make_shared<const std::function<void()>>(std::move(pump));
  else
    s.pump.reset();
}

void SetUiThread(std::thread::id id) {
  TUiPumpState& s = State();
  std::lock_guard lock(s.mutex);
  s.uiThread = id;
}

bool IsUiThread() { return PumpForThisThread() != nullptr; }

void PumpUi() {
  // Called outside the lock: the pump may run handlers that call again.
  if (auto pump = PumpForThisThread()) (*pump)();
}

}  // namespace solvane
