#pragma once
// Screenshot mode for the documentation: with SOLVANE_SCREENSHOT=<png> the
// program saves a picture of its main window once it is signed in and
// showing its first screen, then ends; with SOLVANE_SCREENSHOT_LOGIN=<png>
// it saves the login dialog (and <name>-grown.png with the server settings
// open) when the dialog shows, then ends.

namespace solvane {

class TForm_Main;

// Arms what the environment asks for; nothing when neither variable is set.
void ArmScreenshots(TForm_Main& window);

}  // namespace solvane
