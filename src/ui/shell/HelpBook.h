#pragma once
// The help book: HTML pages in the folder "help" beside the program (or
// installed under PREFIX/share/solvane, see platform/DataFiles.h), opened
// in the desktop's browser. A keyword names a topic page; the empty keyword
// and every keyword without a page open the contents page.

#include <QString>

namespace solvane {

inline constexpr char kHelpContentsPage[] = "index.html";

// The folder of the help book: "help" in the program's folder, else the
// installed one.
QString HelpBookFolder();
// The page file name a keyword leads to ("常见问题" -> "faq.html"); the
// contents page for the empty keyword and for unknown ones.
QString HelpBookPageName(const QString& keyword);
// Full path of the keyword's page inside folder; the contents page when the
// topic page is missing there.
QString HelpBookPage(const QString& keyword, const QString& folder);
QString HelpBookPage(const QString& keyword);
// Opens the keyword's page with the desktop's associated program; false
// when the help book is missing or nothing could open it.
bool OpenHelpBook(const QString& keyword);

}  // namespace solvane
