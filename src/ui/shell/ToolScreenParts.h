#pragma once
// Pieces the tool screens share: their heading and the texts of the notes
// they have in common.

#include <QString>

class QLabel;
class QWidget;

namespace solvane {

// Large bold heading at the top of a tool screen.
QLabel* NewScreenHeading(const QString& text, QWidget* parent);

// Error note when no connected server connection is free.
QString NotConnectedText();

}  // namespace solvane
