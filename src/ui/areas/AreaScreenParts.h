#pragma once
// Pieces the share and authorised area screens share: the caller of their
// server calls, a busy state for call sequences, and how sizes and dates
// of server records are shown.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "api/Caller.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace solvane {

class TPublicInfo;

// The signed-in user and the workstation, as calls that change something
// carry them.
api::TCaller CallerOf(TPublicInfo& info);

// While alive: the screen (its lists and buttons) is disabled and the
// cursor is busy. Server calls on the GUI thread handle events while they
// wait, so nothing may be clicked twice meanwhile.
class TAreaBusy {
 public:
  explicit TAreaBusy(QWidget* screen);
  ~TAreaBusy();
  TAreaBusy(const TAreaBusy&) = delete;
  TAreaBusy& operator=(const TAreaBusy&) = delete;

 private:
  QPointer<QWidget> m_screen;
  bool m_wasEnabled = true;
};

// "3,000,000,000 (2.79 GB)": exact bytes, grouped, and a readable unit
// beside them; the bytes alone below 1 KB.
QString SizeText(std::int64_t bytes);
// A packed DOS date-time as "yyyy-mm-dd hh:nn:ss"; empty when not valid.
QString DosDateText(std::int64_t packed);
// A date-time text of the server as "yyyy-mm-dd hh:nn:ss"; a text that does
// not read as one is shown as it came.
QString ServerDateText(const std::string& text);

// A list widget of the area screens: columns with these headers, whole rows
// selected, no tree decoration.
QTreeWidget* NewAreaList(const QStringList& headers, const QString& name, QWidget* parent);
// Widths of the first columns of a list, in pixels.
void SetColumnWidths(QTreeWidget* list, std::initializer_list<int> widths);
// A push button with its object name.
QPushButton* NewAreaButton(const QString& text, const QString& name, QWidget* parent);
// A link-like label that runs the help popup (or anything else) on click.
QPushButton* NewHelpLink(const QString& text, const QString& name, QWidget* parent);

}  // namespace solvane
