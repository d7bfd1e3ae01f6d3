#pragma once
// The property dialog of a named task, chosen by the task's kind: file
// backup (100), folder sync (200) and mail backup (500); every other kind has
// none and opens nothing.

#include <cstdint>

class QWidget;

namespace solvane {

class TUiShell;

// True when a property dialog exists for kind.
bool HasTaskPropertyDialog(int kind);
// Shows the dialog of kind for the task modally; true when it closed with OK
// (the task was saved). False at once for a kind without a dialog.
bool ShowTaskPropertyDialog(TUiShell& shell, int kind, std::int32_t taskId, QWidget* parent);

}  // namespace solvane
