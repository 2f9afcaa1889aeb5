// Icons and cursors: which picture of the directory is shown, the AND mask at every depth,
// and damaged directories.
#include "platform/errors.h"
#include "platform/raster/ico.h"
#include "support/fixtures.h"
#include "support/raster_fixtures.h"

#include <QTest>
#include <QtEndian>

using namespace platform;
using namespace platform::raster;
using testing::IconEntryFixture;

namespace {

constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb Teal = 0xFF208080;
constexpr QRgb Clear = 0;

int strideOf(int width, int bits)
{
    return (width * bits + 31) / 32 * 4;
}

// The colour bitmap of a square icon of one colour: palette entry 0 up to 8 bits, else the
// colour itself (32 bits: with `alpha` in the fourth byte).
testing::DibFixture solidDib(int side, int bitCount, QRgb colour, int alpha = 0)
{
    testing::DibFixture d;
    d.width = side;
    d.height = 2 * side;
    d.bitCount = bitCount;
    QByteArray row(strideOf(side, bitCount), '\0');
    if (bitCount <= 8) {
        d.palette = {colour};
        d.colorsUsed = 1;
    } else {
        const int step = bitCount / 8;
        for (int x = 0; x < side; ++x) {
            row[x * step] = char(qBlue(colour));
            row[x * step + 1] = char(qGreen(colour));
            row[x * step + 2] = char(qRed(colour));
            if (step == 4)
                row[x * step + 3] = char(alpha);
        }
    }
    d.bits = row.repeated(side);
    return d;
}

// A whole entry: colours, then an AND mask that hides nothing.
IconEntryFixture solid(int side, int bitCount, QRgb colour)
{
    testing::DibFixture d = solidDib(side, bitCount, colour);
    d.bits += QByteArray(strideOf(side, 1) * side, '\0');
    return {side & 0xFF, side & 0xFF, bitCount, d.packed()};
}

// An entry of `side` x `side` whose header reads but whose depth (9 bits) no decoder takes:
// it is listed at its size and fails when tried.
IconEntryFixture undecodable(int side)
{
    IconEntryFixture entry = solid(side, 8, Red);
    entry.data[14] = 9; // biBitCount
    return entry;
}

// `file`, an icon of at least one entry, with its first directory entry listed `copies` times
// in all: every copy points at the same picture.
QByteArray withFirstEntryRepeated(const QByteArray& file, int copies)
{
    const int count = quint8(file[4]) | quint8(file[5]) << 8;
    const int added = copies - 1;
    QByteArray directory = file.left(6);
    directory[4] = char((count + added) & 0xFF);
    directory[5] = char((count + added) >> 8);
    for (int i = 0; i < count; ++i) {
        QByteArray entry = file.mid(6 + 16 * i, 16);
        const quint32 offset = qFromLittleEndian<quint32>(entry.constData() + 12) + 16 * added;
        qToLittleEndian(offset, entry.data() + 12);
        directory += i == 0 ? entry.repeated(copies) : entry;
    }
    return directory + file.mid(6 + 16 * count);
}

// The 2x2 AND mask hiding the top-left and bottom-right pixels (rows bottom-up).
const QByteArray CornerMask = testing::dibRows(
    {QByteArray(1, char(0x40)), QByteArray(1, char(0x80))});

} // namespace

class TestIco : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pick_data();
    void pick();
    void mask_data();
    void mask();
    void refused_data();
    void refused();
    void fewTries_data();
    void fewTries();
};

void TestIco::pick_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("colour");

    QTest::newRow("largest wins") << testing::iconFile(
        {solid(16, 8, Red), solid(48, 4, Green), solid(32, 32, Blue)})
                                  << QSize(48, 48) << Green;
    QTest::newRow("tie goes to the deepest colour")
        << testing::iconFile({solid(32, 4, Red), solid(32, 24, Green), solid(32, 8, Blue)})
        << QSize(32, 32) << Green;
    QTest::newRow("equal entries: the first listed")
        << testing::iconFile({solid(16, 8, Red), solid(16, 8, Green)}) << QSize(16, 16) << Red;
    IconEntryFixture understated = solid(64, 8, Red);
    understated.width = understated.height = 16;
    QTest::newRow("the picture's own size, not the directory's")
        << testing::iconFile({understated, solid(32, 8, Green)}) << QSize(64, 64) << Red;
    QImage png(40, 40, QImage::Format_ARGB32);
    png.fill(Green);
    QTest::newRow("PNG entry") << testing::iconFile(
        {solid(32, 32, Red), {40, 40, 32, testing::encodeWithQt(png, "png")}})
                               << QSize(40, 40) << Green;
    QByteArray impossible = testing::encodeWithQt(png, "png");
    impossible.replace(16, 8,
                       QByteArray("\xC7\x94\xFF\xFF\xC6\x90\xFF\xFF", 8)); // IHDR width, height
    QTest::newRow("PNG entry of an impossible size")
        << testing::iconFile({{0, 0, 32, impossible}, solid(16, 8, Red)}) << QSize(16, 16) << Red;
    IconEntryFixture damaged = solid(64, 8, Red);
    damaged.data[16] = char(9); // compression 9
    QTest::newRow("a damaged best entry leaves the next")
        << testing::iconFile({damaged, solid(16, 8, Green)}) << QSize(16, 16) << Green;
    QTest::newRow("cursor") << testing::iconFile({solid(16, 24, Blue)}, 2) << QSize(16, 16) << Blue;
    QTest::newRow("256 written as 0")
        << testing::iconFile({solid(48, 32, Red), solid(256, 8, Blue)}) << QSize(256, 256) << Blue;
}

void TestIco::pick()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QFETCH(QRgb, colour);
    const QImage image = decodeIco(file);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.pixel(size.width() / 2, size.height() / 2), colour);
}

void TestIco::mask_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QImage>("expected");

    const QImage corners = testing::argbImage(2, 2, {Clear, Teal, Teal, Clear});
    for (int bits : {1, 4, 8, 24, 32}) {
        testing::DibFixture d = solidDib(2, bits, Teal);
        d.bits += CornerMask;
        QTest::addRow("%d-bit", bits) << d.packed() << corners;
    }
    testing::DibFixture alpha = solidDib(2, 32, Teal, 0x80);
    alpha.bits += CornerMask;
    QTest::newRow("32-bit alpha wins over the mask")
        << alpha.packed()
        << testing::argbImage(2, 2, QList<QRgb>(4, qRgba(0x20, 0x80, 0x80, 0x80)));
    QTest::newRow("no mask stays opaque")
        << solidDib(2, 24, Teal).packed() << testing::argbImage(2, 2, QList<QRgb>(4, Teal));
    testing::DibFixture cut = solidDib(2, 24, Teal);
    cut.bits += CornerMask.left(4);
    QTest::newRow("mask cut after its first row")
        << cut.packed() << testing::argbImage(2, 2, {Teal, Teal, Teal, Clear});
}

void TestIco::mask()
{
    QFETCH(QByteArray, entry);
    QFETCH(QImage, expected);
    const QImage image = decodeIco(testing::iconFile({{2, 2, 0, entry}}));
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    const QString difference = testing::pixelDifference(image, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestIco::refused_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = testing::iconFile({solid(16, 8, Red)});
    auto patched = [&good](int at, QByteArrayView value) {
        QByteArray out = good;
        out.replace(at, value.size(), value.toByteArray());
        return out;
    };
    QTest::newRow("reserved word set") << patched(0, "\x01");
    QTest::newRow("type 0") << patched(2, QByteArrayView("\0", 1));
    QTest::newRow("type 3") << patched(2, "\x03");
    QTest::newRow("no entries") << patched(4, QByteArrayView("\0", 1));
    QTest::newRow("entry data past the end") << patched(21, "\x7F");
    QTest::newRow("entry of size 0") << patched(14, QByteArrayView("\0\0\0\0", 4));
    QTest::newRow("directory header only") << good.left(6);
    QTest::newRow("directory cut inside the entry") << good.left(15);
    QTest::newRow("entry data cut inside its header") << good.left(22 + 20);
    QTest::newRow("every entry damaged") << patched(22 + 16, "\x09");
}

void TestIco::refused()
{
    QFETCH(QByteArray, file);
    QCOMPARE(testing::raisedError([&] { decodeIco(file); }), int(InvalidPicture));
}

void TestIco::fewTries_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("opens"); // the small good picture listed last is reached

    // Larger pictures are tried first: the damaged ones below all come before the good one.
    auto damagedThenGood = [](int damaged) {
        QList<IconEntryFixture> entries;
        for (int i = 0; i < damaged; ++i)
            entries << undecodable(32 + i);
        entries << solid(16, 8, Green);
        return testing::iconFile(entries);
    };
    QTest::newRow("7 damaged, the good one is the 8th tried") << damagedThenGood(7) << true;
    QTest::newRow("8 damaged, the good one would be the 9th") << damagedThenGood(8) << false;
    QTest::newRow("1000 entries at one damaged picture, then the good one")
        << withFirstEntryRepeated(damagedThenGood(1), 1000) << true;
    QTest::newRow("7 damaged, the first listed 1000 times")
        << withFirstEntryRepeated(damagedThenGood(7), 1000) << true;
}

void TestIco::fewTries()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, opens);
    QImage image;
    const int error = testing::raisedError([&] { image = decodeIco(file); });
    QCOMPARE(error, opens ? 0 : int(InvalidPicture));
    if (opens)
        QCOMPARE(
            testing::pixelDifference(image, testing::argbImage(16, 16, QList<QRgb>(256, Green))),
            QString());
}

QTEST_APPLESS_MAIN(TestIco)
#include "tst_ico.moc"
