// JPEG through Qt: EXIF orientation, pictures beyond Qt's own cap, the budget, and files
// whose markers would make the library crawl.
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "platform/raster/jpeg.h"
#include "platform/raster/jpeg_markers.h"
#include "platform/raster/pixel_budget.h"
#include "support/fixtures.h"
#include "support/hostile_rasters.h"
#include "support/raster_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace platform;
using namespace platform::raster;

namespace {

constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb White = 0xFFFFFFFF;

// 32x16: red, green over blue, white.
QImage quadrants()
{
    QImage image(32, 16, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 16, 8, QColor(Red));
    p.fillRect(16, 0, 16, 8, QColor(Green));
    p.fillRect(0, 8, 16, 8, QColor(Blue));
    p.fillRect(16, 8, 16, 8, QColor(White));
    return image;
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24
        && qAbs(qBlue(a) - qBlue(b)) < 24;
}

QByteArray withEmptySegments(const QByteArray& jpeg, int count)
{
    QByteArray segments;
    for (int i = 0; i < count; ++i)
        segments += QByteArray("\xFF\xE1\x00\x02", 4);
    return jpeg.left(2) + segments + jpeg.mid(2);
}

// The payload of an Exif APP1 segment whose IFD0 holds `before` other entries and then the
// orientation tag of TIFF type `type` with `value` in its value field, in either byte order.
QByteArray exifPayload(bool bigEndian, quint16 type, quint32 value, int before = 0)
{
    QByteArray tiff;
    auto put = [&](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            tiff.append(char((v >> shift) & 0xFF));
        }
    };
    tiff += bigEndian ? "MM" : "II";
    put(42, 2);
    put(8, 4);
    put(quint32(before + 1), 2);
    for (int i = 0; i < before; ++i) { // ImageWidth, LONG
        put(0x0100, 2);
        put(4, 2);
        put(1, 4);
        put(0x0112, 4); // the orientation tag's number as a value: must not be taken
    }
    put(0x0112, 2);
    put(type, 2);
    put(1, 4);
    // The value is left-justified in the 4-byte field.
    const int width = type == 1 || type == 6 ? 1 : type == 3 || type == 8 ? 2 : 4;
    put(value, width);
    put(0, 4 - width);
    put(0, 4); // no next IFD
    return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray segment(int marker, const QByteArray& payload)
{
    const int length = int(payload.size()) + 2;
    return QByteArray(1, char(0xFF)) + char(marker) + char(length >> 8) + char(length & 0xFF)
        + payload;
}

QByteArray plainJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(90, 120, 150));
    return testing::encodeWithQt(image, "jpeg", 90);
}

} // namespace

class TestJpeg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void orientationAsCamerasWriteIt_data();
    void orientationAsCamerasWriteIt();
    void firstExifSegmentWherever_data();
    void firstExifSegmentWherever();
    void upright_data();
    void upright();
    void overBudgetIsRefusedBeforeDecoding();
    void turningNeedsRoomForTwoCopies();
    void markerFlood_data();
    void markerFlood();
    void scanFlood_data();
    void scanFlood();
    void beyondQtsOwnCap();
};

void TestJpeg::orientationAsCamerasWriteIt_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("orientation"); // 0: not an Exif segment
    QTest::newRow("SHORT, little-endian") << exifPayload(false, 3, 6) << 6;
    QTest::newRow("SHORT, big-endian") << exifPayload(true, 3, 8) << 8;
    QTest::newRow("LONG, little-endian") << exifPayload(false, 4, 6) << 6;
    QTest::newRow("LONG, big-endian") << exifPayload(true, 4, 3) << 3;
    QTest::newRow("SLONG, little-endian") << exifPayload(false, 9, 8) << 8;
    QTest::newRow("SLONG, big-endian") << exifPayload(true, 9, 6) << 6;
    QTest::newRow("SSHORT, big-endian") << exifPayload(true, 8, 5) << 5;
    QTest::newRow("BYTE") << exifPayload(false, 1, 7) << 7;
    QTest::newRow("after other entries") << exifPayload(true, 3, 2, 5) << 2;
    QTest::newRow("value 0") << exifPayload(false, 3, 0) << 1;
    QTest::newRow("value 9") << exifPayload(true, 4, 9) << 1;
    QTest::newRow("SLONG -6") << exifPayload(false, 9, quint32(-6)) << 1;
    QTest::newRow("LONG with 6 in the high half") << exifPayload(false, 4, 6u << 16) << 1;
    QTest::newRow("RATIONAL") << exifPayload(false, 5, 6) << 1;
    QTest::newRow("ASCII") << exifPayload(false, 2, '6') << 1;
    QByteArray cut = exifPayload(false, 3, 6);
    cut.chop(8);
    QTest::newRow("entry cut short") << cut << 1;
    QByteArray badOrder = exifPayload(false, 3, 6);
    badOrder[6] = 'X';
    QTest::newRow("unknown byte order") << badOrder << 1;
    QByteArray farIfd = exifPayload(false, 3, 6);
    farIfd[10] = char(0x70);
    QTest::newRow("IFD0 beyond the segment") << farIfd << 1;
    QTest::newRow("XMP, not Exif") << QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 33) << 0;
}

void TestJpeg::orientationAsCamerasWriteIt()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, orientation);
    QCOMPARE(jpeg::exifOrientation(payload).value_or(0), orientation);
}

void TestJpeg::firstExifSegmentWherever_data()
{
    QTest::addColumn<QList<QByteArray>>("segments"); // after SOI, before the picture's own
    QTest::addColumn<int>("orientation");
    const QByteArray six = segment(0xE1, exifPayload(false, 9, 6));
    const QByteArray eight = segment(0xE1, exifPayload(true, 3, 8));
    const QByteArray jfif = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    const QByteArray xmp = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
    QTest::newRow("first") << QList<QByteArray>{six} << 6;
    QTest::newRow("after JFIF") << QList<QByteArray>{jfif, six} << 6;
    QTest::newRow("after an XMP APP1") << QList<QByteArray>{xmp, eight} << 8;
    QTest::newRow("only the first Exif counts") << QList<QByteArray>{eight, six} << 8;
    QTest::newRow("none") << QList<QByteArray>{jfif, xmp} << 1;
}

void TestJpeg::firstExifSegmentWherever()
{
    QFETCH(QList<QByteArray>, segments);
    QFETCH(int, orientation);
    const QByteArray plain = testing::encodeWithQt(quadrants(), "jpeg", 95);
    QByteArray file = plain.left(2);
    for (const QByteArray& s : segments)
        file += s;
    file += plain.mid(2);
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const jpeg::Structure structure = jpeg::walkSegments(buffer);
    QVERIFY(structure.sound);
    QCOMPARE(structure.orientation, orientation);
    // The decoder turns by it: quadrants() is wide, turned by 5 to 8 tall.
    const QImage image = decodeJpeg(file);
    QCOMPARE(image.width() < image.height(), orientation >= 5);
}

void TestJpeg::upright_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRgb>>(
        "corners"); // quadrant centres: top-left, top-right, bottom-left, bottom-right
    QTest::newRow("1 as stored") << 1 << QSize(32, 16) << QList<QRgb>{Red, Green, Blue, White};
    QTest::newRow("2 mirrored") << 2 << QSize(32, 16) << QList<QRgb>{Green, Red, White, Blue};
    QTest::newRow("3 turned half") << 3 << QSize(32, 16) << QList<QRgb>{White, Blue, Green, Red};
    QTest::newRow("4 flipped") << 4 << QSize(32, 16) << QList<QRgb>{Blue, White, Red, Green};
    QTest::newRow("5 transposed") << 5 << QSize(16, 32) << QList<QRgb>{Red, Blue, Green, White};
    QTest::newRow("6 turned clockwise")
        << 6 << QSize(16, 32) << QList<QRgb>{Blue, Red, White, Green};
    QTest::newRow("7 transversed") << 7 << QSize(16, 32) << QList<QRgb>{White, Green, Blue, Red};
    QTest::newRow("8 turned anticlockwise")
        << 8 << QSize(16, 32) << QList<QRgb>{Green, White, Red, Blue};
}

void TestJpeg::upright()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QList<QRgb>, corners);

    const QImage image = decodeJpeg(testing::jpegWithOrientation(quadrants(), orientation));
    QCOMPARE(image.size(), size);
    const int w = size.width();
    const int h = size.height();
    const QPoint centres[4] = {
        {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int i = 0; i < 4; ++i) {
        const QRgb actual = image.pixel(centres[i]);
        QVERIFY2(
            near(actual, corners[i]),
            qPrintable(
                QStringLiteral("quadrant %1 is #%2").arg(i).arg(actual, 8, 16, QLatin1Char('0'))));
    }
}

void TestJpeg::overBudgetIsRefusedBeforeDecoding()
{
    const testing::PixelBudgetOverride budget(1 << 20);
    QCOMPARE(decodeJpeg(plainJpeg(512, 512)).size(), QSize(512, 512));
    QCOMPARE(testing::raisedError([] { decodeJpeg(plainJpeg(600, 600)); }), int(OutOfMemory));
}

void TestJpeg::turningNeedsRoomForTwoCopies()
{
    QImage image(512, 400, QImage::Format_RGB32);
    image.fill(Qt::gray);
    // One copy (800 KiB) fits in 1 MiB, two do not.
    const testing::PixelBudgetOverride budget(1 << 20);
    QCOMPARE(decodeJpeg(testing::jpegWithOrientation(image, 1)).size(), QSize(512, 400));
    QCOMPARE(testing::raisedError([&] { decodeJpeg(testing::jpegWithOrientation(image, 6)); }),
             int(OutOfMemory));
}

void TestJpeg::markerFlood_data()
{
    QTest::addColumn<int>("segments");
    QTest::addColumn<bool>("opens");
    QTest::newRow("a hundred empty APP1 segments") << 100 << true;
    QTest::newRow("five thousand") << 5000 << false;
}

void TestJpeg::markerFlood()
{
    QFETCH(int, segments);
    QFETCH(bool, opens);
    const QByteArray file = withEmptySegments(plainJpeg(8, 8), segments);
    if (opens)
        QCOMPARE(decodeJpeg(file).size(), QSize(8, 8));
    else
        QVERIFY_THROWS_EXCEPTION(Error, decodeJpeg(file));
}

void TestJpeg::scanFlood_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("emptyScans");
    QTest::addColumn<bool>("opens");
    // Scans beyond what any encoder writes, however small the picture.
    QTest::newRow("16 x 16, 499 empty scans") << 16 << 499 << true;
    QTest::newRow("16 x 16, 500 empty scans") << 16 << 500 << false;
    // Each scan a pass over the picture: 64 of them are what its own size pays for, less the
    // pixels themselves.
    QTest::newRow("2048 x 2048, 60 empty scans") << 2048 << 60 << true;
    QTest::newRow("2048 x 2048, 100 empty scans") << 2048 << 100 << false;
}

// Decoded whole from memory, and from a file as the loader streams it.
void TestJpeg::scanFlood()
{
    QFETCH(int, side);
    QFETCH(int, emptyScans);
    QFETCH(bool, opens);
    const QByteArray file = testing::jpegWithEmptyScans(side, emptyScans);
    const int expected = opens ? 0 : int(InvalidPicture);
    QImage whole;
    QCOMPARE(testing::raisedError([&] { whole = decodeJpeg(file); }), expected);
    QCOMPARE(whole.size(), opens ? QSize(side, side) : QSize(0, 0));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scans.jpg"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QImage streamed;
    QCOMPARE(testing::raisedError([&] { streamed = LoadPicture(path).image(); }), expected);
    QCOMPARE(streamed.size(), whole.size());
}

void TestJpeg::beyondQtsOwnCap()
{
    // 6000x6000 at 4 bytes is 144 MB: Qt's reader alone refuses it.
    const QImage image = decodeJpeg(plainJpeg(6000, 6000));
    QCOMPARE(image.size(), QSize(6000, 6000));
    QVERIFY(near(image.pixel(5999, 5999), qRgb(90, 120, 150)));
}

QTEST_APPLESS_MAIN(TestJpeg)
#include "tst_jpeg.moc"
