// The notification popup: growth for long texts, kinds and their looks,
// its course (slide in, stay, slide out), clicks, focus, the open-notes
// list and notes sent by the core from another thread.

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>
#include <thread>

#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/QtNoteSink.h"

using namespace solvane;

namespace {

constexpr int kStayMs = 150;
constexpr int kCourseTimeoutMs = 5000;

TQorFormUIWithMsnMsg* ShowAndGet(const QString& text, int kind) {
  const qsizetype before = OpenNotes().size();
  ShowNote(text, kind);
  const QList<TQorFormUIWithMsnMsg*> notes = OpenNotes();
  return notes.size() == before + 1 ? notes.last() : nullptr;
}

int AreaBottom() {
  const QRect area = TQorFormUIWithMsnMsg::WorkArea();
  return area.y() + area.height();
}

bool Near(QColor actual, QColor expected) {
  return qAbs(actual.red() - expected.red()) <= 6 && qAbs(actual.green() - expected.green()) <= 6 &&
         qAbs(actual.blue() - expected.blue()) <= 6;
}

}  // namespace

class NoteTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetNoteTimings({15, kStayMs}); }
  void cleanup() {
    CloseAllNotes();
    QVERIFY(OpenNotes().isEmpty());
  }

  void textFitsTheLabel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("grows");
    QTest::newRow("short") << QString::fromUtf8("登录成功") << false;
    QTest::newRow("five lines") << QString::fromUtf8(
                                       "第一行: 连接服务器失败\n第二行: 请检查网络\n第三行: "
                                       "或者服务器设置\n第四行: 稍后再试\n第五行: 谢谢")
                                << true;
    QTest::newRow("long path without blanks")
        << QString::fromUtf8(
               "文件/home/ann/documents/quarterly_reports/2026/"
               "report_final_version_with_figures.docx上传失败")
        << true;
  }
  void textFitsTheLabel() {
    QFETCH(QString, text);
    QFETCH(bool, grows);
    TQorFormUIWithMsnMsg* note = ShowAndGet(text, 2);
    QVERIFY(note);
    QLabel* label = note->TextLabel();
    QCOMPARE(label->width(), TQorFormUIWithMsnMsg::kTextWidth);
    // Measured independently: wrapped at words, and anywhere where a word
    // alone is wider than the label.
    const QFontMetrics metrics(label->font());
    const int lines = text.count(QLatin1Char('\n')) + 1;
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, label->width(), 100000), Qt::TextWrapAnywhere, text);
    QVERIFY2(label->height() >= needed.height(), qPrintable(QString::number(label->height())));
    QVERIFY(label->height() >= lines * metrics.height());
    QCOMPARE(label->height() > TQorFormUIWithMsnMsg::kTextHeight, grows);
    if (!grows) QCOMPARE(label->height(), TQorFormUIWithMsnMsg::kTextHeight);
    // The popup grew by exactly what the label grew; the label stays inside.
    QCOMPARE(note->height() - TQorFormUIWithMsnMsg::kClientHeight,
             label->height() - TQorFormUIWithMsnMsg::kTextHeight);
    QCOMPARE(note->width(), TQorFormUIWithMsnMsg::kClientWidth);
    QVERIFY(note->rect().contains(label->geometry()));
  }

  void runawayTextStaysWithinTheWorkArea() {
    QStringList lines;
    for (int i = 0; i < 300; ++i) lines << QString::fromUtf8("第%1行").arg(i);
    TQorFormUIWithMsnMsg* note = ShowAndGet(lines.join(QLatin1Char('\n')), 2);
    QVERIFY(note);
    QVERIFY(note->height() <= TQorFormUIWithMsnMsg::WorkArea().height());
    QVERIFY(note->height() > TQorFormUIWithMsnMsg::kClientHeight);
  }

  void kindsHaveTheirLabelAndColours_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QColor>("right");
    QTest::newRow("information") << 0 << QString::fromUtf8("信息")
                                 << QApplication::palette().color(QPalette::Disabled,
                                                                  QPalette::WindowText);
    QTest::newRow("warning") << 1 << QString::fromUtf8("警告") << QColor(Qt::yellow);
    QTest::newRow("error") << 2 << QString::fromUtf8("错误") << QColor(Qt::magenta);
  }
  void kindsHaveTheirLabelAndColours() {
    QFETCH(int, kind);
    QFETCH(QString, label);
    QFETCH(QColor, right);
    TQorFormUIWithMsnMsg* note = ShowAndGet(QString::fromUtf8("备份完成"), kind);
    QVERIFY(note);
    QCOMPARE(note->Kind(), kind);
    QCOMPARE(note->Text(), QString::fromUtf8("备份完成"));
    QCOMPARE(note->KindLabel()->text(), label);
    // Below the labels only the background shows: a grey frame around a
    // horizontal gradient from white to the kind's colour.
    const QImage image = note->grab().toImage();
    const int y = image.height() - 4;
    QCOMPARE(image.pixelColor(0, y), QColor(119, 119, 119));
    QCOMPARE(image.pixelColor(image.width() - 1, 0), QColor(119, 119, 119));
    QVERIFY(Near(image.pixelColor(1, y), Qt::white));
    QVERIFY2(Near(image.pixelColor(image.width() - 2, y), right),
             qPrintable(image.pixelColor(image.width() - 2, y).name()));
    const QColor middle = image.pixelColor(image.width() / 2, y);
    QVERIFY(Near(middle, QColor((255 + right.red()) / 2, (255 + right.green()) / 2,
                                (255 + right.blue()) / 2)));
  }

  void unknownKindShowsNothing() {
    const qsizetype windows = QApplication::topLevelWidgets().size();
    for (int kind : {-1, 3, 100}) ShowNote(QStringLiteral("x"), kind);
    QVERIFY(OpenNotes().isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
  }

  void slidesInStaysAndLeaves() {
    TQorFormUIWithMsnMsg* note = ShowAndGet(QString::fromUtf8("同步完成"), 0);
    QVERIFY(note);
    QPointer<TQorFormUIWithMsnMsg> alive(note);
    const QRect area = TQorFormUIWithMsnMsg::WorkArea();
    QVERIFY(note->isVisible());
    QCOMPARE(note->x(), area.x() + area.width() - note->width());
    QCOMPARE(note->y(), AreaBottom() - 1);
    QCOMPARE(note->Phase(), TQorFormUIWithMsnMsg::TPhase::SlidingIn);

    QTRY_COMPARE_WITH_TIMEOUT(note->Phase(), TQorFormUIWithMsnMsg::TPhase::Staying,
                              kCourseTimeoutMs);
    // Flush with the work area's bottom, at most the last step above it.
    const int bottom = note->y() + note->height();
    QVERIFY(bottom <= AreaBottom());
    QVERIFY(bottom > AreaBottom() - (note->Step() * 3 / 11 + 1));
    QCOMPARE(note->x(), area.x() + area.width() - note->width());

    QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), kCourseTimeoutMs);
    QVERIFY(OpenNotes().isEmpty());
  }

  void clickSlidesOutAtOnce_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("popup") << "popup";
    QTest::newRow("text") << "text";
    QTest::newRow("icon") << "icon";
  }
  void clickSlidesOutAtOnce() {
    QFETCH(QString, target);
    // A long stay: only the click can end it within the test's time-out.
    SetNoteTimings({15, 60000});
    TQorFormUIWithMsnMsg* note = ShowAndGet(QString::fromUtf8("正在连接"), 1);
    SetNoteTimings({15, kStayMs});
    QVERIFY(note);
    QPointer<TQorFormUIWithMsnMsg> alive(note);
    QTest::qWait(30);
    QCOMPARE(note->Phase(), TQorFormUIWithMsnMsg::TPhase::SlidingIn);
    QWidget* widget = target == "text"   ? note->TextLabel()
                      : target == "icon" ? note->KindIcon()
                                         : static_cast<QWidget*>(note);
    QTest::mouseClick(widget, Qt::LeftButton);
    QCOMPARE(note->Phase(), TQorFormUIWithMsnMsg::TPhase::SlidingOut);
    QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), kCourseTimeoutMs);
    QVERIFY(OpenNotes().isEmpty());
  }

  // Notes often come while a modal dialog is up (sign-in failures): the
  // click that dismisses one must not be swallowed by the modal state.
  void clickWorksWhileAModalDialogIsUp() {
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    SetNoteTimings({15, 60000});
    QPointer<TQorFormUIWithMsnMsg> note = ShowAndGet(QString::fromUtf8("口令错误"), 2);
    SetNoteTimings({15, kStayMs});
    QVERIFY(note);
    QVERIFY(QTest::qWaitForWindowExposed(note));
    // Through the window system's path, where modal blocking applies.
    QTest::mouseClick(note->windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(note->Phase(), TQorFormUIWithMsnMsg::TPhase::SlidingOut);
    QTRY_VERIFY_WITH_TIMEOUT(note.isNull(), kCourseTimeoutMs);
  }

  void neverTakesTheFocus() {
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();
    QCOMPARE(QApplication::focusWidget(), &edit);

    TQorFormUIWithMsnMsg* note = ShowAndGet(QString::fromUtf8("磁盘空间不足"), 1);
    QVERIFY(note);
    QTest::qWait(60);
    QVERIFY(note->isVisible());
    QVERIFY(note->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QCOMPARE(QApplication::activeWindow(), &edit);
    QCOMPARE(QApplication::focusWidget(), &edit);
    QTest::mouseClick(note, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), &edit);
  }

  void severalNotesRunTheirOwnCourse() {
    // Stay long enough that the others are still there when one has gone.
    SetNoteTimings({15, 1000});
    QList<QPointer<TQorFormUIWithMsnMsg>> notes;
    for (int kind : {0, 1, 2}) notes << ShowAndGet(QString::number(kind), kind);
    SetNoteTimings({15, kStayMs});
    QCOMPARE(OpenNotes().size(), 3);
    for (const auto& note : notes) {
      QVERIFY(note);
      QCOMPARE(note->x(), notes.first()->x());
    }
    notes[1]->SlideOut();
    QTRY_VERIFY_WITH_TIMEOUT(notes[1].isNull(), kCourseTimeoutMs);
    QCOMPARE(OpenNotes().size(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(OpenNotes().isEmpty(), kCourseTimeoutMs);
    QTRY_VERIFY(notes[0].isNull() && notes[2].isNull());
  }

  void closeAllNotesFreesEveryPopup() {
    SetNoteTimings({15, 60000});
    QPointer<TQorFormUIWithMsnMsg> first = ShowAndGet(QStringLiteral("a"), 0);
    QPointer<TQorFormUIWithMsnMsg> second = ShowAndGet(QStringLiteral("b"), 2);
    SetNoteTimings({15, kStayMs});
    QVERIFY(first && second);
    CloseAllNotes();
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QVERIFY(OpenNotes().isEmpty());
  }

  void coreNotesFromAWorkerThreadLandOnTheGuiThread() {
    TQtNoteSink sink;
    std::thread worker([&sink] { sink.ShowNote("磁盘空间不足, 请清理后再备份", kNoteWarning); });
    worker.join();
    // Nothing is created on the worker; the GUI thread shows it when it runs.
    QVERIFY(OpenNotes().isEmpty());
    QTRY_COMPARE(OpenNotes().size(), 1);
    TQorFormUIWithMsnMsg* note = OpenNotes().first();
    QCOMPARE(note->thread(), QApplication::instance()->thread());
    QCOMPARE(note->Kind(), 1);
    QCOMPARE(note->Text(), QString::fromUtf8("磁盘空间不足, 请清理后再备份"));
    QVERIFY(note->isVisible());
  }

  // Last: once the program's event loop has ended, no popup stays or appears.
  void notesEndWithTheProgram() {
    SetNoteTimings({15, 60000});
    QPointer<TQorFormUIWithMsnMsg> open = ShowAndGet(QStringLiteral("a"), 0);
    QVERIFY(open);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QVERIFY(open.isNull());
    ShowNote(QStringLiteral("b"), 2);
    TQtNoteSink().ShowNote("c", kNoteError);
    QCoreApplication::processEvents();
    QVERIFY(OpenNotes().isEmpty());
  }
};

QTEST_MAIN(NoteTest)
#include "NoteTest.moc"
