#pragma once
// Password fields of the shell show '*' for every typed character, whatever
// the platform style's own mask character is.

class QLineEdit;

namespace solvane {

void MaskWithStars(QLineEdit* edit);

}  // namespace solvane
