#pragma once
// "帮助中心": the maker's web site, the support mail box and the help book
// (its contents page and the frequently asked questions).

#include <QString>

#include "ui/shell/QorWithUIDynamicForm.h"

class QPushButton;

namespace solvane {

inline constexpr char kMakerWebSite[] = "https://www.kestrune.example/";
inline constexpr char kSupportMailAddress[] = "support@kestrune.example";
// Keyword of the help book's frequently-asked-questions topic.
inline constexpr char kFaqKeyword[] = "常见问题";

class TForm_Tool_HelpCenter : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  explicit TForm_Tool_HelpCenter(TUiShell& shell, QWidget* parent = nullptr);

  // The link whose text is text; null when there is none.
  QPushButton* Link(const QString& text) const;

 private:
  QPushButton* AddLink(const QString& text, const QString& name, const QString& detail);
};

}  // namespace solvane
