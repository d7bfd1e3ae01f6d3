#pragma once
// Looking for a notification popup in a GUI test.

#include <QString>
#include <QStringList>

#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane::testing {

// True when a popup with exactly this text and kind is open.
inline bool HasNote(const QString& text, int kind) {
  for (auto* note : OpenNotes())
    if (note->Text() == text && note->Kind() == kind) return true;
  return false;
}

// "text (kind)" of every open popup, for failure messages.
inline QString DescribeNotes() {
  QStringList all;
  for (auto* note : OpenNotes()) all << note->Text() + " (" + QString::number(note->Kind()) + ")";
  return all.join(" | ");
}

}  // namespace solvane::testing
