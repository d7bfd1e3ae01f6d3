// The pie control: position clamping, and the colours of the drawn cylinder
// sampled from the rendered picture.

#include <QtTest>
#include <cmath>

#include "ui/shell/TSimplePie.h"

using namespace solvane;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kMagenta(255, 0, 255);

// Counts the pie's paint events.
class TPaintCounter : public QObject {
 public:
  int Count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Count;
    return false;
  }
};

}  // namespace

class PieTest : public QObject {
  Q_OBJECT

 private:
  // The pixel of the top ellipse at angle degrees (counter-clockwise from
  // three o'clock on screen) and radius fraction r.
  static QPoint OnTop(const TSimplePie& pie, double degrees, double r) {
    const QRectF top = pie.TopRect();
    const double a = degrees * M_PI / 180.0;
    return QPoint(int(top.center().x() + r * top.width() / 2 * std::cos(a)),
                  int(top.center().y() - r * top.height() / 2 * std::sin(a)));
  }
  // A pixel of the rim straight below the top ellipse's edge at x offset
  // fraction fx from the centre (negative: left).
  static QPoint OnRim(const TSimplePie& pie, double fx) {
    const QRectF top = pie.TopRect();
    const double halfW = top.width() / 2;
    const double halfH = top.height() / 2;
    const double edge = top.center().y() + halfH * std::sqrt(1 - fx * fx);
    return QPoint(int(top.center().x() + fx * halfW), int(edge + TSimplePie::kRimDepth / 2.0));
  }
  static QColor At(const QImage& image, QPoint p) { return image.pixelColor(p); }

 private slots:
  void positionIsClamped_data() {
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("kept");
    QTest::newRow("below") << -5 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("inside") << 42 << 42;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("above") << 150 << 100;
  }
  void positionIsClamped() {
    QFETCH(int, set);
    QFETCH(int, kept);
    TSimplePie pie;
    pie.SetPosition(set);
    QCOMPARE(pie.Position(), kept);
  }

  void defaultsAndHalfBrightness() {
    TSimplePie pie;
    QCOMPARE(pie.UsedColor(), kBlue);
    QCOMPARE(pie.BaseColor(), kMagenta);
    QCOMPARE(HalfBright(QColor(255, 101, 6)), QColor(127, 50, 3));
  }

  void sectorsAndRimTakeTheirColours_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("degrees");  // a point on the top
    QTest::addColumn<bool>("used");
    // The used sector runs counter-clockwise from the right-hand radius.
    QTest::newRow("25: upper right") << 25 << 45.0 << true;
    QTest::newRow("25: upper left") << 25 << 135.0 << false;
    QTest::newRow("25: lower right") << 25 << 315.0 << false;
    QTest::newRow("75: lower left") << 75 << 225.0 << true;
    QTest::newRow("75: lower right") << 75 << 315.0 << false;
    QTest::newRow("0: upper right") << 0 << 45.0 << false;
    QTest::newRow("100: lower right") << 100 << 315.0 << true;
    QTest::newRow("150 is full") << 150 << 350.0 << true;
  }
  void sectorsAndRimTakeTheirColours() {
    QFETCH(int, position);
    QFETCH(double, degrees);
    QFETCH(bool, used);
    TSimplePie pie;
    pie.resize(200, 112);
    pie.SetPosition(position);
    const QImage image = pie.grab().toImage();
    const QColor top = used ? kBlue : kMagenta;
    QCOMPARE(At(image, OnTop(pie, degrees, 0.6)), top);
    // Below the lower half the rim shows the part above it, half as bright.
    const double angle = degrees * M_PI / 180.0;
    if (std::sin(angle) < 0)
      QCOMPARE(At(image, OnRim(pie, 0.8 * std::cos(angle))), HalfBright(top));
    // Outside the cylinder: the button face.
    QCOMPARE(At(image, QPoint(1, image.height() - 2)), pie.palette().color(QPalette::Button));
  }

  void otherColoursAreUsed() {
    TSimplePie pie;
    pie.resize(160, 100);
    pie.SetPosition(50);  // the upper half
    pie.SetUsedColor(QColor(0, 200, 0));
    pie.SetBaseColor(QColor(200, 100, 0));
    const QImage image = pie.grab().toImage();
    QCOMPARE(At(image, OnTop(pie, 90, 0.5)), QColor(0, 200, 0));
    QCOMPARE(At(image, OnTop(pie, 270, 0.5)), QColor(200, 100, 0));
    QCOMPARE(At(image, OnRim(pie, 0.0)), QColor(100, 50, 0));
  }

  void changesRepaint() {
    TSimplePie pie;
    pie.resize(120, 90);
    pie.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pie));
    TPaintCounter counter;
    pie.installEventFilter(&counter);
    auto repaints = [&](auto change) {
      QCoreApplication::processEvents();
      const int before = counter.Count;
      change();
      QCoreApplication::processEvents();
      return counter.Count > before;
    };
    QVERIFY(repaints([&] { pie.SetPosition(30); }));
    QVERIFY(repaints([&] { pie.SetUsedColor(Qt::green); }));
    QVERIFY(repaints([&] { pie.SetBaseColor(Qt::gray); }));
    QVERIFY(repaints([&] { pie.resize(140, 100); }));
  }
};

QTEST_MAIN(PieTest)
#include "PieTest.moc"
