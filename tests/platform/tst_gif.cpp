// GIF's first frame through Qt, on its logical screen, and the frames Qt will not read.
#include "platform/errors.h"
#include "platform/raster/gif.h"
#include "support/fixtures.h"
#include "support/raster_fixtures.h"

#include <QTest>

using namespace platform;
using namespace platform::raster;

namespace {

// A logical screen of `width` x `height` with a two-colour table, then one image
// descriptor of `frameWidth` x `frameHeight` and no image data.
QByteArray emptyFrameGif(int width, int height, int frameWidth, int frameHeight)
{
    QByteArray out("GIF89a");
    out.append(char(width)).append(char(width >> 8)).append(char(height)).append(char(height >> 8));
    out.append(char(0x80)).append(char(0)).append(char(0)); // global table of 2 entries
    out.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    out.append("\x21\xFE\x02hi\x00", 6); // a comment before the image
    out.append(char(0x2C)).append(QByteArray(4, '\0'));
    out.append(char(frameWidth))
        .append(char(frameWidth >> 8))
        .append(char(frameHeight))
        .append(char(frameHeight >> 8));
    // The file ends after the descriptor, as Qt will not read it.
    out.append(char(0)).append(char(0x3B));
    return out;
}

// encodeGif()'s file of `frame` (no transparency) with its logical screen made `screen` and
// its image moved to `offset`.
QByteArray gifOnScreen(const QImage& frame, QSize screen, QPoint offset)
{
    QByteArray out = testing::encodeGif(frame, -1);
    auto put16 = [&out](qsizetype at, int value) {
        out[at] = char(value & 0xFF);
        out[at + 1] = char(value >> 8);
    };
    put16(6, screen.width());
    put16(8, screen.height());
    const qsizetype descriptor = 6 + 7 + 3 * 256;
    Q_ASSERT(out[descriptor] == char(0x2C));
    put16(descriptor + 1, offset.x());
    put16(descriptor + 3, offset.y());
    return out;
}

} // namespace

class TestGif : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void transparentIndexIsTransparent();
    void firstImageOnTheLogicalScreen_data();
    void firstImageOnTheLogicalScreen();
    void emptyFirstFrame_data();
    void emptyFirstFrame();
    void damagedFileIsRefused();
};

void TestGif::transparentIndexIsTransparent()
{
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)});
    const uchar pixels[2][3] = {{0, 1, 2}, {2, 1, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            indexed.setPixel(x, y, pixels[y][x]);
    const QImage expected = testing::argbImage(
        3, 2, {qRgb(255, 0, 0), 0, qRgb(0, 255, 0), qRgb(0, 255, 0), 0, qRgb(255, 0, 0)});
    const QString difference = testing::pixelDifference(decodeGif(testing::encodeGif(indexed, 1)),
                                                        expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestGif::firstImageOnTheLogicalScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QSize>("size"); // the picture's
    QTest::newRow("as large as the screen") << QSize(3, 2) << QPoint(0, 0) << QSize(3, 2);
    QTest::newRow("smaller, at the top-left") << QSize(7, 5) << QPoint(0, 0) << QSize(7, 5);
    QTest::newRow("smaller, at an offset") << QSize(8, 6) << QPoint(4, 3) << QSize(8, 6);
    QTest::newRow("touching the far corner") << QSize(5, 4) << QPoint(2, 2) << QSize(5, 4);
    QTest::newRow("reaching beyond the screen: cut at its edge")
        << QSize(4, 4) << QPoint(2, 3) << QSize(4, 4);
}

void TestGif::firstImageOnTheLogicalScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QPoint, offset);
    QFETCH(QSize, size);
    QImage frame(3, 2, QImage::Format_Indexed8);
    frame.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            frame.setPixel(x, y, uint((x + y) % 3));
    const QImage image = decodeGif(gifOnScreen(frame, screen, offset));
    QCOMPARE(image.size(), size);
    QList<QRgb> expected(qsizetype(size.width()) * size.height(), 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const QPoint at = offset + QPoint(x, y);
            if (at.x() < size.width() && at.y() < size.height())
                expected[at.y() * size.width() + at.x()] = frame.color(frame.pixelIndex(x, y));
        }
    }
    const QString difference = testing::pixelDifference(
        image, testing::argbImage(size.width(), size.height(), expected));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestGif::emptyFirstFrame_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("zero width") << emptyFrameGif(3, 2, 0, 2);
    QTest::newRow("zero height") << emptyFrameGif(3, 2, 3, 0);
    QTest::newRow("zero size") << emptyFrameGif(3, 2, 0, 0);
}

void TestGif::emptyFirstFrame()
{
    QFETCH(QByteArray, file);
    const QString difference = testing::pixelDifference(
        decodeGif(file), testing::argbImage(3, 2, QList<QRgb>(6, 0)));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestGif::damagedFileIsRefused()
{
    // A screen and no image at all: nothing to show.
    QByteArray noImage = emptyFrameGif(3, 2, 0, 0);
    noImage.truncate(6 + 7 + 6 + 6);
    noImage.append(char(0x3B));
    QVERIFY_THROWS_EXCEPTION(Error, decodeGif(noImage));
    QVERIFY_THROWS_EXCEPTION(Error, decodeGif(QByteArrayView("GIF89a", 6)));
}

QTEST_APPLESS_MAIN(TestGif)
#include "tst_gif.moc"
