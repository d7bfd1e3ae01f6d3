#pragma once
// The wire layer's link to the user-interface event loop. A call made on the
// user-interface thread waits for its reply in 10 ms slices and runs the pump
// between them, so the interface stays live (and event handlers may run)
// while the call waits. The GUI installs both; the CLI and tests do not, and
// then every wait simply blocks.

#include <functional>
#include <thread>

namespace solvane {

// Installs (or, with an empty function, removes) the process-wide pump.
void SetUiPump(std::function<void()> pump);
// Names the user-interface thread; a default-constructed id names none.
void SetUiThread(std::thread::id id);

// True on the registered user-interface thread while a pump is installed.
bool IsUiThread();
// Runs the pump once when called on the user-interface thread; otherwise
// does nothing.
void PumpUi();

}  // namespace solvane
