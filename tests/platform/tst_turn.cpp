// EXIF orientations as a turn of the stored pixels: where each stored pixel is shown, the
// rectangles either way, and the walk through a buffer, against Qt's own transformations.
#include "platform/raster/turn.h"

#include <QImage>
#include <QTest>
#include <QTransform>

using namespace platform::raster;

namespace {

// 5x3 pixels, each a colour of its own.
QImage numbered()
{
    QImage image(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 40, y * 80, 7));
    return image;
}

} // namespace

class TestTurn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matchesQt_data();
    void matchesQt();
    void rectanglesBothWays_data();
    void rectanglesBothWays();
};

void TestTurn::matchesQt_data()
{
    // The transformations that Qt's JPEG reader applies for each orientation.
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QImage>("expected");
    const QImage stored = numbered();
    const QTransform quarter = QTransform().rotate(90);
    QTest::newRow("1") << 1 << stored;
    QTest::newRow("2 mirrored") << 2 << stored.mirrored(true, false);
    QTest::newRow("3 half turn") << 3 << stored.transformed(QTransform().rotate(180));
    QTest::newRow("4 flipped") << 4 << stored.mirrored(false, true);
    QTest::newRow("5 transposed")
        << 5 << stored.mirrored(true, false).transformed(QTransform().rotate(270));
    QTest::newRow("6 clockwise") << 6 << stored.transformed(quarter);
    QTest::newRow("7 transversed") << 7 << stored.mirrored(true, false).transformed(quarter);
    QTest::newRow("8 anticlockwise") << 8 << stored.transformed(QTransform().rotate(270));
    QTest::newRow("0 is as stored") << 0 << stored;
    QTest::newRow("9 is as stored") << 9 << stored;
}

void TestTurn::matchesQt()
{
    QFETCH(int, orientation);
    QFETCH(QImage, expected);
    const QImage stored = numbered();
    const Turn turn(orientation, stored.size());
    QCOMPARE(turn.shown(), expected.size());

    QImage byPoint(turn.shown(), QImage::Format_RGB32);
    QImage byWalk(turn.shown(), QImage::Format_RGB32);
    byPoint.fill(0);
    byWalk.fill(0);
    auto* walked = reinterpret_cast<QRgb*>(byWalk.bits());
    const Turn::Walk walk = turn.walk(byWalk.bytesPerLine() / 4);
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            byPoint.setPixel(turn.shownAt({x, y}), stored.pixel(x, y));
            walked[walk.origin + x * walk.perColumn + y * walk.perRow] = stored.pixel(x, y);
        }
    }
    QCOMPARE(byPoint, expected.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(byWalk, expected.convertToFormat(QImage::Format_RGB32));
}

void TestTurn::rectanglesBothWays_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QRect>("shown");  // in the shown picture of a 40x30 stored one
    QTest::addColumn<QRect>("stored"); // where it comes from
    QTest::newRow("1, top-left") << 1 << QRect(0, 0, 8, 4) << QRect(0, 0, 8, 4);
    QTest::newRow("2, top-left") << 2 << QRect(0, 0, 8, 4) << QRect(32, 0, 8, 4);
    QTest::newRow("3, top-left") << 3 << QRect(0, 0, 8, 4) << QRect(32, 26, 8, 4);
    QTest::newRow("4, top-left") << 4 << QRect(0, 0, 8, 4) << QRect(0, 26, 8, 4);
    QTest::newRow("5, top-left") << 5 << QRect(0, 0, 8, 4) << QRect(0, 0, 4, 8);
    QTest::newRow("6, top-left") << 6 << QRect(0, 0, 8, 4) << QRect(0, 22, 4, 8);
    QTest::newRow("7, top-left") << 7 << QRect(0, 0, 8, 4) << QRect(36, 22, 4, 8);
    QTest::newRow("8, top-left") << 8 << QRect(0, 0, 8, 4) << QRect(36, 0, 4, 8);
    QTest::newRow("6, inside") << 6 << QRect(5, 10, 3, 2) << QRect(10, 22, 2, 3);
    QTest::newRow("6, whole") << 6 << QRect(0, 0, 30, 40) << QRect(0, 0, 40, 30);
    QTest::newRow("empty") << 6 << QRect() << QRect();
}

void TestTurn::rectanglesBothWays()
{
    QFETCH(int, orientation);
    QFETCH(QRect, shown);
    QFETCH(QRect, stored);
    const Turn turn(orientation, QSize(40, 30));
    QCOMPARE(turn.storedRect(shown), stored);
    QCOMPARE(turn.shownRect(stored), shown);
}

QTEST_APPLESS_MAIN(TestTurn)
#include "tst_turn.moc"
