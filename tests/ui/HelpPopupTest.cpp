// The help popup: its texts, placement beside the mouse, and the ways it
// closes (any key, a click on it, a right click anywhere in the program).

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ui/shell/TForm_Help.h"

using namespace solvane;

class HelpPopupTest : public QObject {
  Q_OBJECT

 private slots:
  void tableTexts_data() {
    QTest::addColumn<int>("topic");
    QTest::addColumn<int>("subTopic");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("file backup")
        << 1 << 100 << QString::fromUtf8("文件备份")
        << QString::fromUtf8(
               "    "
               "将若干个目录/文件的数据传送到Server上的过程:第一次执行将全备,以后每次会自动增量."
               "另外,您可以按照意愿,设定自己的过滤条件...\n\n"
               "    如果您是一次性备份的,则点击立即执行按钮即可...\n"
               "    如果您需要以后周期性的执行,则可先保存为任务,在需要的时候执行");
    QTest::newRow("authorised area")
        << 2 << 300 << QString::fromUtf8("授权数据区")
        << QString::fromUtf8(
               "    "
               "方便您查看您有权限的其他人的数据的功能,但这是跟整个系统的安全模式相关的."
               "在标准模式下,您是部门领导的话,才有权看下属的数据...\n\n"
               "    "
               "如果目前整个系统若处在安全模式下,您想看某人的数据,必须发送请求,"
               "在征得对方同意的情况下,您才能够进行查看...\n"
               "    在安全模式下,若您的数据不想为其他人所看,请您务必进行撤销动作...");
  }
  void tableTexts() {
    QFETCH(int, topic);
    QFETCH(int, subTopic);
    QFETCH(QString, title);
    QFETCH(QString, text);
    TForm_Help popup;
    popup.SetTopic(topic, subTopic);
    QCOMPARE(popup.Title(), title);
    QCOMPARE(popup.Text(), text);
    QCOMPARE(popup.findChild<QLabel*>("title")->text(), title);
    QCOMPARE(popup.findChild<QLabel*>("text")->text(), text);
  }

  // The window cannot scroll (any key or click closes it), so every text
  // must show whole: the window is 327 wide and at least 109 high.
  void everyTextShowsWhole() {
    TForm_Help popup;
    const QList<QPair<int, int>> pairs = {{1, 100}, {1, 200}, {1, 300},
                                          {1, 500}, {2, 100}, {2, 300}};
    QSet<QString> titles;
    for (const auto& [topic, subTopic] : pairs) {
      popup.Popup(topic, subTopic, QPoint(600, 100));
      QVERIFY(QTest::qWaitForWindowExposed(&popup));
      titles.insert(popup.Title());
      QCOMPARE(popup.Text().split(QLatin1Char('\n')).size(), 4);
      QCOMPARE(popup.width(), 327);
      QVERIFY(popup.height() >= 109);
      const auto* text = popup.findChild<QLabel*>("text");
      const QRect area = text->contentsRect();
      const QRect needed = text->fontMetrics().boundingRect(QRect(0, 0, area.width(), 100000),
                                                            Qt::TextWordWrap, popup.Text());
      QVERIFY2(area.height() >= needed.height(),
               qPrintable(QStringLiteral("%1 < %2").arg(area.height()).arg(needed.height())));
      QVERIFY(popup.rect().contains(text->geometry()));
    }
    QCOMPARE(titles.size(), pairs.size());
  }

  void unknownPairKeepsThePreviousTexts() {
    TForm_Help popup;
    popup.SetTopic(9, 9);
    QVERIFY(popup.Title().isEmpty());
    popup.SetTopic(1, 200);
    const QString text = popup.Text();
    for (const auto& [topic, subTopic] : {QPair(1, 400), QPair(2, 200), QPair(0, 0)}) {
      popup.SetTopic(topic, subTopic);
      QCOMPARE(popup.Title(), QString::fromUtf8("文件夹同步"));
      QCOMPARE(popup.Text(), text);
    }
  }

  void placedBesideTheMouse_data() {
    QTest::addColumn<QPoint>("mouse");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    const QRect screen(0, 0, 1280, 800);
    QTest::newRow("right edge at the mouse") << QPoint(700, 300) << screen << QPoint(373, 300);
    QTest::newRow("near the left edge") << QPoint(100, 250) << screen << QPoint(20, 250);
    QTest::newRow("exactly 20 px") << QPoint(347, 10) << screen << QPoint(20, 10);
    QTest::newRow("rises above the screen's bottom")
        << QPoint(700, 780) << screen << QPoint(373, 800 - 109);
    QTest::newRow("second screen")
        << QPoint(1400, 40) << QRect(1280, 0, 1024, 768) << QPoint(1300, 40);
  }
  void placedBesideTheMouse() {
    QFETCH(QPoint, mouse);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    TForm_Help popup;
    popup.setFixedSize(327, 109);
    PlaceHelpPopup(popup, mouse, screen);
    QCOMPARE(popup.pos(), expected);
  }

  void anyKeyClosesIt_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("letter") << int(Qt::Key_A);
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("arrow") << int(Qt::Key_Down);
  }
  void anyKeyClosesIt() {
    QFETCH(int, key);
    TForm_Help popup;
    popup.Popup(1, 500, QPoint(600, 300));
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QCOMPARE(popup.Title(), QString::fromUtf8("任务列表"));
    QCOMPARE(popup.pos(), QPoint(600 - 327, 300));
    QTRY_COMPARE(QApplication::focusWidget(), &popup);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!popup.isVisible());
  }

  void mouseOnItClosesIt() {
    TForm_Help popup;
    popup.Popup(2, 100, QPoint(600, 300));
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QTest::mouseClick(popup.findChild<QLabel*>("title"), Qt::LeftButton);
    QVERIFY(!popup.isVisible());
  }

  void rightButtonAnywhereClosesIt() {
    QPushButton elsewhere(QStringLiteral("elsewhere"));
    elsewhere.show();
    TForm_Help popup;
    popup.Popup(1, 300, QPoint(600, 300));
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    // A left click elsewhere leaves it open; the right button closes it.
    QTest::mouseClick(&elsewhere, Qt::LeftButton);
    QVERIFY(popup.isVisible());
    QTest::mouseClick(&elsewhere, Qt::RightButton);
    QVERIFY(!popup.isVisible());
    // Shown again, it answers again.
    popup.Popup(1, 300, QPoint(600, 300));
    QVERIFY(popup.isVisible());
    QTest::mouseClick(&elsewhere, Qt::RightButton);
    QVERIFY(!popup.isVisible());
  }
};

QTEST_MAIN(HelpPopupTest)
#include "HelpPopupTest.moc"
