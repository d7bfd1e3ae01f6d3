#include "ui/shell/HelpBook.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <utility>

#include "platform/DataFiles.h"

namespace solvane {

namespace {

// Keyword -> topic page of the book.
constexpr std::pair<const char*, const char*> kTopics[] = {
    {"常见问题", "faq.html"}, {"登录", "signin.html"},      {"锁定", "tray.html"},
    {"托盘", "tray.html"},    {"系统选项", "options.html"}, {"密码管理", "options.html"},
};

}  // namespace

QString HelpBookFolder() { return QString::fromStdString(FindDataFile("help")); }

QString HelpBookPageName(const QString& keyword) {
  for (const auto& [word, page] : kTopics)
    if (keyword == QString::fromUtf8(word)) return QString::fromLatin1(page);
  return QString::fromLatin1(kHelpContentsPage);
}

QString HelpBookPage(const QString& keyword, const QString& folder) {
  const QDir dir(folder);
  const QString topic = dir.filePath(HelpBookPageName(keyword));
  if (QFileInfo::exists(topic)) return topic;
  return dir.filePath(QString::fromLatin1(kHelpContentsPage));
}

QString HelpBookPage(const QString& keyword) { return HelpBookPage(keyword, HelpBookFolder()); }

bool OpenHelpBook(const QString& keyword) {
  const QString page = HelpBookPage(keyword);
  if (!QFileInfo::exists(page)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

}  // namespace solvane
