// The help book beside the program, its keyword look-up, and the four links
// of the help centre (opened through the desktop's URL handlers, recorded
// here instead).

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "ui/shell/HelpBook.h"
#include "ui/shell/TForm_Tool_HelpCenter.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const QStringList kPages = {"index.html", "faq.html", "signin.html", "options.html", "tray.html"};

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

// Stands in for the desktop: records every URL the program asks it to open.
class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> Opened;
 public slots:
  void Open(const QUrl& url) { Opened << url; }
};

class HelpBookTest : public QObject {
  Q_OBJECT

 private:
  TUrlRecorder m_recorder;
  const QString m_programHelp = QDir(SOLVANE_PROGRAM_DIR).filePath("help");

 private slots:
  void initTestCase() {
    for (const char* scheme : {"file", "https", "mailto"})
      QDesktopServices::setUrlHandler(scheme, &m_recorder, "Open");
  }
  void cleanupTestCase() {
    for (const char* scheme : {"file", "https", "mailto"})
      QDesktopServices::unsetUrlHandler(scheme);
  }
  void init() { m_recorder.Opened.clear(); }

  void pagesLieBesideTheProgramAndTheirLinksResolve() {
    const QRegularExpression href(QStringLiteral("href=\"([^\"#:]+)\""));
    for (const QString& page : kPages) {
      const QString text = ReadText(QDir(m_programHelp).filePath(page));
      QVERIFY2(!text.isEmpty(), qPrintable(page));
      QVERIFY2(text.contains("charset=\"utf-8\""), qPrintable(page));
      for (auto match = href.globalMatch(text); match.hasNext();) {
        const QString target = match.next().captured(1);
        QVERIFY2(QFile::exists(QDir(m_programHelp).filePath(target)),
                 qPrintable(page + " -> " + target));
      }
    }
    // The contents page leads to every topic.
    const QString contents = ReadText(QDir(m_programHelp).filePath("index.html"));
    for (const QString& page : kPages.mid(1))
      QVERIFY2(contents.contains("href=\"" + page + "\""), qPrintable(page));
  }

  void keywordsLeadToTheirPages_data() {
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("page");
    QTest::newRow("contents") << QString() << "index.html";
    QTest::newRow("faq") << U("常见问题") << "faq.html";
    QTest::newRow("sign-in") << U("登录") << "signin.html";
    QTest::newRow("lock") << U("锁定") << "tray.html";
    QTest::newRow("unknown") << U("没有这个") << "index.html";
  }
  void keywordsLeadToTheirPages() {
    QFETCH(QString, keyword);
    QFETCH(QString, page);
    QCOMPARE(HelpBookPageName(keyword), page);
    QCOMPARE(HelpBookPage(keyword, m_programHelp), QDir(m_programHelp).filePath(page));
  }

  void missingTopicPageFallsBackToContents() {
    QTemporaryDir book;
    QFile::copy(QDir(m_programHelp).filePath("index.html"), book.filePath("index.html"));
    QCOMPARE(HelpBookPage(U("常见问题"), book.path()), book.filePath("index.html"));
  }

  void helpCentreLinksOpenSiteMailAndBook() {
    TUiTestEnv env;
    TUiShell shell(env.Info());
    TForm_Tool_HelpCenter screen(shell);
    for (const char* text : {"访问我们的网站", "获取支持", "帮助手册", "常见问题解答"})
      QVERIFY2(screen.Link(U(text)), text);

    screen.Link(U("访问我们的网站"))->click();
    screen.Link(U("获取支持"))->click();
    screen.Link(U("帮助手册"))->click();
    screen.Link(U("常见问题解答"))->click();
    QCOMPARE(m_recorder.Opened.size(), 4);
    QCOMPARE(m_recorder.Opened[0].scheme(), QString("https"));
    QCOMPARE(m_recorder.Opened[1], QUrl("mailto:" + QString(kSupportMailAddress)));
    // This test program carries a copy of the book beside it.
    QCOMPARE(m_recorder.Opened[2], QUrl::fromLocalFile(HelpBookPage(QString())));
    QVERIFY(m_recorder.Opened[2].toLocalFile().endsWith("/help/index.html"));
    QVERIFY(m_recorder.Opened[3].toLocalFile().endsWith("/help/faq.html"));
    QVERIFY(QFile::exists(m_recorder.Opened[3].toLocalFile()));
    QVERIFY2(!HasNote(U("无法打开帮助手册"), 2), qPrintable(DescribeNotes()));
    CloseAllNotes();
  }
};

QTEST_MAIN(HelpBookTest)
#include "HelpBookTest.moc"
