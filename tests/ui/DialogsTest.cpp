// The small modal helpers: the input box (Enter, Esc, 取消, masked), the
// Yes/No questions and the modal dialog runner.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QtTest>
#include <functional>

#include "ui/shell/QorWithUIDialogs.h"

using namespace solvane;

namespace {

// Runs `answer` on the modal dialog as soon as it is up.
void WhenModalShows(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    QPointer<QWidget> guard(modal);
    answer(modal);
    // A failed check inside `answer` must not leave the test waiting.
    if (guard && guard->isVisible() && QTest::currentTestFailed()) guard->close();
  });
  poll->start();
}

// A dialog that answers itself once shown and remembers whether it lived.
class TSelfAnsweringDialog : public QDialog {
 public:
  TSelfAnsweringDialog(bool accept, bool freeOnClose, QPointer<QDialog>* seen) {
    *seen = this;
    setAttribute(Qt::WA_DeleteOnClose, freeOnClose);
    QTimer::singleShot(0, this, [this, accept] { accept ? this->accept() : reject(); });
  }
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void inputBoxAnswers_data() {
    QTest::addColumn<bool>("masked");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");
    QTest::newRow("enter") << false << "enter" << QStringLiteral("Docs 2026");
    QTest::newRow("ok button") << false << "ok" << QStringLiteral("Docs 2026");
    QTest::newRow("esc") << false << "esc" << QString();
    QTest::newRow("cancel") << false << "cancel" << QString();
    QTest::newRow("masked enter") << true << "enter" << QStringLiteral("Docs 2026");
    QTest::newRow("masked esc") << true << "esc" << QString();
    QTest::newRow("masked cancel") << true << "cancel" << QString();
  }
  void inputBoxAnswers() {
    QFETCH(bool, masked);
    QFETCH(QString, action);
    QFETCH(QString, expected);
    bool seen = false;
    WhenModalShows([&](QWidget* modal) {
      auto* dialog = qobject_cast<TQorFormWithUIInputQuery*>(modal);
      QVERIFY(dialog);
      seen = true;
      QCOMPARE(dialog->windowTitle(), QString::fromUtf8("输入密码"));
      QCOMPARE(dialog->size(), QSize(479, 82));
      auto* edit = dialog->findChild<QLineEdit*>("edit");
      QCOMPARE(edit->text(), QString::fromUtf8("旧值"));
      QCOMPARE(edit->echoMode(), masked ? QLineEdit::Password : QLineEdit::Normal);
      if (masked)
        QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                 int('*'));
      QCOMPARE(dialog->findChild<QPushButton*>("ok")->text(), QString::fromUtf8("确定"));
      QCOMPARE(dialog->findChild<QPushButton*>("cancel")->text(), QString::fromUtf8("取消"));
      QVERIFY(dialog->findChild<QPushButton*>("ok")->isDefault());
      // The initial text is selected: typing replaces it.
      QTest::keyClicks(edit, QStringLiteral("Docs 2026"));
      if (action == "enter") QTest::keyClick(edit, Qt::Key_Return);
      if (action == "esc") QTest::keyClick(edit, Qt::Key_Escape);
      if (action == "ok") dialog->findChild<QPushButton*>("ok")->click();
      if (action == "cancel") dialog->findChild<QPushButton*>("cancel")->click();
    });
    const QString answer =
        InputBox(QString::fromUtf8("输入密码"), QString::fromUtf8("旧值"), masked);
    QVERIFY(seen);
    QCOMPARE(answer, expected);
  }

  void yesNoQuestions_data() {
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("expected");
    QTest::newRow("confirm yes") << true << "yes" << true;
    QTest::newRow("confirm no") << true << "no" << false;
    QTest::newRow("ask yes") << false << "yes" << true;
    QTest::newRow("ask no") << false << "no" << false;
  }
  void yesNoQuestions() {
    QFETCH(bool, confirm);
    QFETCH(QString, button);
    QFETCH(bool, expected);
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenModalShows([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      auto* chosen = box->findChild<QAbstractButton*>(button);
      QVERIFY(chosen);
      chosen->click();
    });
    const QString question = QString::fromUtf8("确实要删除此任务吗?");
    const bool answer =
        confirm ? Confirm(question) : AskYesNo(question, QString::fromUtf8("提示信息"));
    QCOMPARE(answer, expected);
    QCOMPARE(caption, QString::fromUtf8(confirm ? "询问" : "提示信息"));
    QCOMPARE(text, question);
    QCOMPARE(icon, QMessageBox::Question);
  }

  void showModalFormReportsOkAndFreesTheDialog_data() {
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("freeOnClose");
    QTest::newRow("ok") << true << false;
    QTest::newRow("cancel") << false << false;
    QTest::newRow("ok, frees itself") << true << true;
    QTest::newRow("cancel, frees itself") << false << true;
  }
  void showModalFormReportsOkAndFreesTheDialog() {
    QFETCH(bool, accept);
    QFETCH(bool, freeOnClose);
    QPointer<QDialog> seen;
    QCOMPARE(ShowModalForm<TSelfAnsweringDialog>(accept, freeOnClose, &seen), accept);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(seen.isNull());
  }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
