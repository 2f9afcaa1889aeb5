// Our DIB decoder over bitmaps written byte by byte: every depth and compression, the header
// generations, masks, palettes, RLE skips and truncation. Each bitmap is decoded three ways
// (BMP file, packed DIB, header and bits apart), which must agree.
#include "platform/errors.h"
#include "platform/raster/dib.h"
#include "platform/raster/pixel_budget.h"
#include "support/fixtures.h"
#include "support/hostile_rasters.h"
#include "support/raster_fixtures.h"

#include <QTest>

using namespace platform;
using namespace platform::raster;
using testing::DibFixture;

Q_DECLARE_METATYPE(testing::DibFixture)

namespace {

constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Clear = 0x00000000;
constexpr QRgb C0 = 0xFF102030;
constexpr QRgb C1 = 0xFFA0B0C0;
constexpr QRgb C2 = 0xFF405060;
constexpr QRgb C3 = 0xFFE0D0C0;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// 256 distinct colours, entry i = (i, 255 - i, i / 2).
QList<QRgb> rampPalette(int count)
{
    QList<QRgb> palette;
    for (int i = 0; i < count; ++i)
        palette.append(qRgb(i & 0xFF, 255 - (i & 0xFF), (i / 2) & 0xFF));
    return palette;
}

DibFixture dib(int headerSize, qint32 width, qint32 height, int bitCount, quint32 compression,
               QList<QRgb> palette, QByteArray bits, QList<quint32> masks = {})
{
    DibFixture d;
    d.headerSize = headerSize;
    d.width = width;
    d.height = height;
    d.bitCount = bitCount;
    d.compression = compression;
    d.palette = std::move(palette);
    d.bits = std::move(bits);
    d.masks = std::move(masks);
    // Count a short colour table, so that a packed DIB finds its bits after it.
    if (headerSize >= 40 && bitCount <= 8 && d.palette.size() < (1 << bitCount))
        d.colorsUsed = quint32(d.palette.size());
    return d;
}

// The 3x3 8-bit bitmap that the truncation rows cut: rows stored bottom-up.
DibFixture threeByThree()
{
    return dib(40, 3, 3, 8, 0, {C0, C1, C2, C3},
               testing::dibRows({bytes({0, 1, 2}), bytes({1, 2, 3}), bytes({2, 3, 0})}));
}

QImage threeByThreeWithRows(int rows, int pixelsOfNext)
{
    const QList<QRgb> stored[3] = {{C0, C1, C2}, {C1, C2, C3}, {C2, C3, C0}};
    QList<QRgb> pixels(9, Clear);
    for (int row = 0; row < 3; ++row) {
        const int have = row < rows ? 3 : row == rows ? pixelsOfNext : 0;
        for (int x = 0; x < have; ++x)
            pixels[(2 - row) * 3 + x] = stored[row][x];
    }
    return testing::argbImage(3, 3, pixels);
}

// 16- and 32-bit pixels as stored: little-endian.
QByteArray le16(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v & 0xFF)).append(char(v >> 8));
    return out;
}

QByteArray le32(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (quint32 v : values)
        out.append(char(v & 0xFF)).append(char(v >> 8)).append(char(v >> 16)).append(char(v >> 24));
    return out;
}

} // namespace

class TestDib : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decode_data();
    void decode();
    void format_data();
    void format();
    void truncated_data();
    void truncated();
    void refused_data();
    void refused();
    void packedColourTableBeyondTheData();
    void fileOffsetPointingNowhereFallsBackToTheTable();
    void fileOffsetInsideHeadersOrTable_data();
    void fileOffsetInsideHeadersOrTable();
    void embeddedJpeg();
    void overBudgetIsOutOfMemory();
    void hugePictureFromFewBytesIsRefused();
};

void TestDib::decode_data()
{
    QTest::addColumn<DibFixture>("dib");
    QTest::addColumn<QImage>("expected");
    using testing::argbImage;
    using testing::dibRows;

    // Indexed depths: bit order, palette lookup, bottom-up rows.
    QTest::newRow("1-bit, rows bottom-up")
        << dib(40, 3, 2, 1, 0, {C0, C1}, dibRows({bytes({0xA0}), bytes({0x60})}))
        << argbImage(3, 2, {C0, C1, C1, C1, C0, C1});
    QTest::newRow("1-bit, 9 wide crosses a byte")
        << dib(40, 9, 1, 1, 0, {C0, C1}, dibRows({bytes({0x80, 0x80})}))
        << argbImage(9, 1, {C1, C0, C0, C0, C0, C0, C0, C0, C1});
    QTest::newRow("2-bit") << dib(40, 5, 1, 2, 0, {C0, C1, C2, C3}, dibRows({bytes({0x1B, 0x80})}))
                           << argbImage(5, 1, {C0, C1, C2, C3, C2});
    QTest::newRow("4-bit, odd width")
        << dib(40, 3, 1, 4, 0, {C0, C1, C2, C3}, dibRows({bytes({0x12, 0x30})}))
        << argbImage(3, 1, {C1, C2, C3});
    QTest::newRow("8-bit") << dib(40, 3, 1, 8, 0, {C0, C1, C2}, dibRows({bytes({2, 0, 1})}))
                           << argbImage(3, 1, {C2, C0, C1});
    {
        DibFixture d = dib(40, 3, 1, 8, 0, {C0, C1}, dibRows({bytes({0, 1, 5})}));
        d.colorsUsed = 2;
        QTest::newRow("8-bit, index past a short palette is black")
            << d << argbImage(3, 1, {C0, C1, Black});
    }
    {
        const QList<QRgb> ramp = rampPalette(300);
        DibFixture d = dib(40, 2, 1, 8, 0, ramp, dibRows({bytes({0, 255})}));
        d.colorsUsed = 300;
        QTest::newRow("8-bit, palette longer than 256")
            << d << argbImage(2, 1, {ramp[0], ramp[255]});
    }
    QTest::newRow("4-bit, 16 colours when none are counted")
        << dib(40, 2, 1, 4, 0, rampPalette(16), dibRows({bytes({0xF7})}))
        << argbImage(2, 1, {rampPalette(16)[15], rampPalette(16)[7]});

    // 16-bit: 5-5-5 without masks, scaled to the full 0..255 range.
    QTest::newRow("16-bit 5-5-5, top bit ignored")
        << dib(40, 5, 1, 16, 0, {}, dibRows({le16({0x7FFF, 0x001F, 0x8001, 0x03E0, 0x3DEF})}))
        << argbImage(5, 1, {White, Blue, qRgb(0, 0, 8), Green, qRgb(123, 123, 123)});
    QTest::newRow("16-bit 5-6-5 bitfields") << dib(
        40, 3, 1, 16, 3, {}, dibRows({le16({0xF800, 0x07E0, 0x0841})}), {0xF800, 0x07E0, 0x001F})
                                            << argbImage(3, 1, {Red, Green, qRgb(8, 8, 8)});
    QTest::newRow("16-bit 1-5-5-5 with alpha, V3 header")
        << dib(56, 3, 1, 16, 3, {}, dibRows({le16({0xFC00, 0x7C00, 0x83E0})}),
               {0x7C00, 0x03E0, 0x001F, 0x8000})
        << argbImage(3, 1, {Red, qRgba(255, 0, 0, 0), Green});
    QTest::newRow("16-bit 4-4-4-4, V5 header") << dib(
        124, 2, 1, 16, 3, {}, dibRows({le16({0xFF00, 0x80F0})}), {0x0F00, 0x00F0, 0x000F, 0xF000})
                                               << argbImage(2, 1, {Red, qRgba(0, 255, 0, 136)});
    QTest::newRow("16-bit alpha that is 0 everywhere is opaque") << dib(
        56, 2, 1, 16, 3, {}, dibRows({le16({0x7C00, 0x03E0})}), {0x7C00, 0x03E0, 0x001F, 0x8000})
                                                                 << argbImage(2, 1, {Red, Green});

    // 24-bit: BGR, rows padded to 4 bytes.
    const QByteArray rgbRows = dibRows(
        {bytes({0, 0, 255, 0, 255, 0}), bytes({255, 0, 0, 255, 255, 255})});
    QTest::newRow("24-bit, rows bottom-up and padded")
        << dib(40, 2, 2, 24, 0, {}, rgbRows) << argbImage(2, 2, {Blue, White, Red, Green});
    QTest::newRow("24-bit, top-down")
        << dib(40, 2, -2, 24, 0, {}, rgbRows) << argbImage(2, 2, {Red, Green, Blue, White});

    // 32-bit.
    QTest::newRow("32-bit, fourth byte ignored")
        << dib(40, 2, 1, 32, 0, {}, bytes({0x30, 0x20, 0x10, 0x00, 0x30, 0x20, 0x10, 0x80}))
        << argbImage(2, 1, {qRgb(0x10, 0x20, 0x30), qRgb(0x10, 0x20, 0x30)});
    QTest::newRow("32-bit bitfields with alpha, V5 header")
        << dib(124, 2, 1, 32, 3, {}, bytes({0x30, 0x20, 0x10, 0x80, 0, 0, 0, 0}),
               {0xFF0000, 0xFF00, 0xFF, 0xFF000000})
        << argbImage(2, 1, {qRgba(0x10, 0x20, 0x30, 0x80), Clear});
    QTest::newRow("32-bit bitfields, red and blue swapped")
        << dib(40, 1, 1, 32, 3, {}, bytes({0x10, 0x20, 0x30, 0}), {0xFF, 0xFF00, 0xFF0000})
        << argbImage(1, 1, {qRgb(0x10, 0x20, 0x30)});
    QTest::newRow("32-bit 10-10-10 bitfields")
        << dib(40, 1, 1, 32, 3, {}, le32({0x3FF80000}), {0x3FF00000, 0x000FFC00, 0x000003FF})
        << argbImage(1, 1, {qRgb(255, 128, 0)});
    QTest::newRow("32-bit alpha bitfields after a 40-byte header")
        << dib(40, 1, 1, 32, 6, {}, le32({0x40102030}), {0xFF0000, 0xFF00, 0xFF, 0xFF000000})
        << argbImage(1, 1, {qRgba(0x10, 0x20, 0x30, 0x40)});
    QTest::newRow("V2 header carries the masks")
        << dib(52, 1, 1, 32, 3, {}, le32({0x00102030}), {0xFF, 0xFF00, 0xFF0000})
        << argbImage(1, 1, {qRgb(0x30, 0x20, 0x10)});

    // OS/2 headers.
    const QList<QRgb> ramp = rampPalette(256);
    QTest::newRow("OS/2 1.x, 8-bit with RGBTRIPLE palette")
        << dib(12, 3, 1, 8, 0, ramp, dibRows({bytes({0, 128, 255})}))
        << argbImage(3, 1, {ramp[0], ramp[128], ramp[255]});
    QTest::newRow("OS/2 1.x, 24-bit")
        << dib(12, 1, 2, 24, 0, {}, rgbRows.left(8)) << argbImage(1, 2, {Blue, Red});
    QTest::newRow("OS/2 2.x, 64-byte header")
        << dib(64, 2, 1, 4, 0, rampPalette(16), dibRows({bytes({0x3C})}))
        << argbImage(2, 1, {rampPalette(16)[3], rampPalette(16)[12]});
    QTest::newRow("OS/2 2.x, header cut to 16 bytes")
        << dib(16, 2, 1, 8, 0, ramp, dibRows({bytes({7, 9})}))
        << argbImage(2, 1, {ramp[7], ramp[9]});
    QTest::newRow("OS/2 2.x, RLE24")
        << dib(64, 2, 2, 24, 4, {},
               bytes({2, 0, 0, 255, 0, 0, 0, 3, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0, 1}))
        << argbImage(2, 2, {Blue, Green, Red, Red});

    // RLE8: run, end of line, literal run with padding, delta, end of bitmap. Skipped
    // pixels are transparent, not palette entry 0.
    QTest::newRow("RLE8 runs, literals, delta, skips")
        << dib(40, 4, 3, 8, 1, {C0, C1, C2},
               bytes({3, 1, 0, 0, 0, 3, 2, 1, 0, 0, 0, 2, 0, 1, 1, 2, 0, 1}))
        << argbImage(4, 3, {Clear, Clear, Clear, C2, C2, C1, C0, Clear, C1, C1, C1, Clear});
    QTest::newRow("RLE8 run longer than the row is cut at its end")
        << dib(40, 2, 1, 8, 1, {C0, C1}, bytes({5, 1, 0, 1})) << argbImage(2, 1, {C1, C1});
    QTest::newRow("RLE8 without end of bitmap")
        << dib(40, 2, 2, 8, 1, {C0, C1}, bytes({2, 1})) << argbImage(2, 2, {Clear, Clear, C1, C1});
    QTest::newRow("RLE8 delta past the last row ends the picture")
        << dib(40, 2, 2, 8, 1, {C0, C1}, bytes({1, 1, 0, 2, 0, 5, 2, 1}))
        << argbImage(2, 2, {Clear, Clear, C1, Clear});
    QTest::newRow("RLE8 top-down")
        << dib(40, 1, -2, 8, 1, {C0, C1}, bytes({1, 1, 0, 0, 1, 0, 0, 1}))
        << argbImage(1, 2, {C1, C0});
    QTest::newRow("RLE4 run alternates two colours")
        << dib(40, 5, 1, 4, 2, {C0, C1, C2}, bytes({5, 0x12, 0, 1}))
        << argbImage(5, 1, {C1, C2, C1, C2, C1});
    QTest::newRow("RLE4 literal run of 5 with padding")
        << dib(40, 6, 1, 4, 2, {C0, C1, C2, C3}, bytes({0, 5, 0x12, 0x30, 0x10, 0, 1, 0x22, 0, 1}))
        << argbImage(6, 1, {C1, C2, C3, C0, C1, C2});

    // Embedded PNG: Qt's reader behind our header.
    const QImage png = testing::argbImage(2, 1, {Red, qRgba(0, 0, 255, 0x80)});
    QTest::newRow("PNG inside a V5 header")
        << dib(124, 2, 1, 0, 5, {}, testing::encodeWithQt(png, "png")) << png;
}

void TestDib::decode()
{
    QFETCH(DibFixture, dib);
    QFETCH(QImage, expected);

    const QString fromFile = testing::pixelDifference(decodeBmp(dib.file()), expected);
    QVERIFY2(fromFile.isEmpty(), qPrintable(u"BMP file: " + fromFile));
    const QString packed = testing::pixelDifference(decodeDib(dib.packed()), expected);
    QVERIFY2(packed.isEmpty(), qPrintable(u"packed DIB: " + packed));
    const QString apart = testing::pixelDifference(decodeDib(dib.info(), dib.bits), expected);
    QVERIFY2(apart.isEmpty(), qPrintable(u"header and bits apart: " + apart));
}

void TestDib::format_data()
{
    QTest::addColumn<DibFixture>("dib");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("opaque bitmap paints without conversion")
        << dib(40, 1, 1, 24, 0, {}, bytes({1, 2, 3, 0})) << QImage::Format_RGB32;
    QTest::newRow("alpha channel kept straight")
        << dib(124, 1, 1, 32, 3, {}, le32({0x80102030}), {0xFF0000, 0xFF00, 0xFF, 0xFF000000})
        << QImage::Format_ARGB32;
    QTest::newRow("alpha that is 0 everywhere")
        << dib(124, 1, 1, 32, 3, {}, le32({0x00102030}), {0xFF0000, 0xFF00, 0xFF, 0xFF000000})
        << QImage::Format_RGB32;
    QTest::newRow("truncated bitmap has transparent pixels")
        << dib(40, 2, 1, 24, 0, {}, bytes({1, 2, 3})) << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("RLE that covers every pixel is opaque")
        << dib(40, 2, 1, 8, 1, {C0}, bytes({2, 0, 0, 1})) << QImage::Format_RGB32;
    QTest::newRow("RLE with skips")
        << dib(40, 2, 1, 8, 1, {C0}, bytes({1, 0, 0, 1})) << QImage::Format_ARGB32_Premultiplied;
}

void TestDib::format()
{
    QFETCH(DibFixture, dib);
    QFETCH(QImage::Format, format);
    QCOMPARE(decodeBmp(dib.file()).format(), format);
}

void TestDib::truncated_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QImage>("expected"); // null: refused

    const QByteArray whole = threeByThree().file();
    const int offBits = 14 + 40 + 4 * 4;
    QTest::newRow("in the file header") << whole.left(10) << QImage();
    QTest::newRow("after the file header") << whole.left(14) << QImage();
    QTest::newRow("in the info header") << whole.left(30) << QImage();
    QTest::newRow("after the info header") << whole.left(54) << QImage();
    QTest::newRow("in the colour table") << whole.left(60) << QImage();
    QTest::newRow("after the colour table") << whole.left(offBits) << QImage();
    QTest::newRow("after the first row") << whole.left(offBits + 4) << threeByThreeWithRows(1, 0);
    QTest::newRow("inside the second row") << whole.left(offBits + 6) << threeByThreeWithRows(1, 2);
    QTest::newRow("only the last padding byte missing")
        << whole.left(whole.size() - 1) << threeByThreeWithRows(3, 0);
    QTest::newRow("last pixel missing")
        << whole.left(whole.size() - 2) << threeByThreeWithRows(2, 2);

    DibFixture masked = dib(40, 1, 1, 16, 3, {}, le16({0xF800}), {0xF800, 0x07E0, 0x001F});
    QTest::newRow("in the masks") << masked.file().left(14 + 40 + 6) << QImage();

    // RLE8, 4x2: a run of 3, a literal run of 3, end of line, a delta.
    const DibFixture rle = dib(40, 4, 2, 8, 1, {C0, C1, C2},
                               bytes({3, 1, 0, 3, 2, 0, 1, 0, 0, 0, 0, 2, 1, 0, 0, 1}));
    const int rleBits = 14 + 40 + 3 * 4;
    QTest::newRow("RLE8 in a run")
        << rle.file().left(rleBits + 3)
        << testing::argbImage(4, 2, {Clear, Clear, Clear, Clear, C1, C1, C1, Clear});
    QTest::newRow("RLE8 in a literal run gives its whole pixels")
        << rle.file().left(rleBits + 6)
        << testing::argbImage(4, 2, {Clear, Clear, Clear, Clear, C1, C1, C1, C2});
    QTest::newRow("RLE8 in a delta")
        << rle.file().left(rleBits + 12)
        << testing::argbImage(4, 2, {Clear, Clear, Clear, Clear, C1, C1, C1, C2});
}

void TestDib::truncated()
{
    QFETCH(QByteArray, file);
    QFETCH(QImage, expected);
    if (expected.isNull()) {
        QVERIFY_THROWS_EXCEPTION(Error, decodeBmp(file));
        return;
    }
    const QString difference = testing::pixelDifference(decodeBmp(file), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestDib::refused_data()
{
    QTest::addColumn<QByteArray>("file");

    const DibFixture good = dib(40, 1, 1, 24, 0, {}, bytes({1, 2, 3, 0}));
    QByteArray notBm = good.file();
    notBm[1] = 'A';
    QTest::newRow("not BM") << notBm;
    auto with = [&good](auto change) {
        DibFixture d = good;
        change(d);
        return d.file();
    };
    QTest::newRow("header size 0") << with([](DibFixture& d) { d.headerSize = 0; });
    QTest::newRow("header size 11") << with([](DibFixture& d) { d.headerSize = 11; });
    QTest::newRow("header size 125") << with([](DibFixture& d) { d.headerSize = 125; });
    QTest::newRow("width 0") << with([](DibFixture& d) { d.width = 0; });
    QTest::newRow("width negative") << with([](DibFixture& d) { d.width = -1; });
    QTest::newRow("height 0") << with([](DibFixture& d) { d.height = 0; });
    QTest::newRow("0 bits") << with([](DibFixture& d) { d.bitCount = 0; });
    QTest::newRow("3 bits") << with([](DibFixture& d) { d.bitCount = 3; });
    QTest::newRow("64 bits") << with([](DibFixture& d) { d.bitCount = 64; });
    QTest::newRow("unknown compression") << with([](DibFixture& d) { d.compression = 7; });
    QTest::newRow("RLE8 at 4 bits") << with([](DibFixture& d) {
        d.bitCount = 4;
        d.compression = 1;
    });
    QTest::newRow("RLE4 at 8 bits") << with([](DibFixture& d) {
        d.bitCount = 8;
        d.compression = 2;
    });
    QTest::newRow("bitfields at 24 bits") << with([](DibFixture& d) {
        d.compression = 3;
        d.masks = {0xFF0000, 0xFF00, 0xFF};
    });
    QTest::newRow("OS/2 Huffman") << with([](DibFixture& d) {
        d.headerSize = 64;
        d.bitCount = 1;
        d.compression = 3;
    });
    QTest::newRow("no pixel data") << with([](DibFixture& d) { d.bits.clear(); });
    QTest::newRow("RLE without data") << with([](DibFixture& d) {
        d.bitCount = 8;
        d.compression = 1;
        d.bits.clear();
    });
    QTest::newRow("PNG compression with other bytes")
        << with([](DibFixture& d) { d.compression = 5; });
    // Sizes whose products pass 64 bits: refused, and never formed.
    QTest::newRow("0x7FFFFFFF square at 32 bits") << with([](DibFixture& d) {
        d.width = 0x7FFFFFFF;
        d.height = 0x7FFFFFFF;
        d.bitCount = 32;
    });
    QTest::newRow("0x7FFFFFFF square at 24 bits, top-down") << with([](DibFixture& d) {
        d.width = 0x7FFFFFFF;
        d.height = -0x7FFFFFFF;
    });
    QTest::newRow("PNG larger than the header") << with([](DibFixture& d) {
        d.bitCount = 0;
        d.compression = 5;
        d.bits = testing::pngOfZeros({2, 1});
    });
    QTest::newRow("PNG taller than the header") << with([](DibFixture& d) {
        d.bitCount = 0;
        d.compression = 5;
        d.bits = testing::pngOfZeros({1, 2});
    });
}

void TestDib::refused()
{
    QFETCH(QByteArray, file);
    QCOMPARE(testing::raisedError([&] { decodeBmp(file); }), int(InvalidPicture));
}

void TestDib::packedColourTableBeyondTheData()
{
    // Where only the colour table's length says where the bits start, a table that does
    // not fit leaves no bits to find.
    DibFixture d = dib(40, 1, 1, 8, 0, {C0}, bytes({0, 0, 0, 0}));
    d.colorsUsed = 1000;
    QVERIFY_THROWS_EXCEPTION(Error, decodeDib(d.packed()));
    // A BMP file says so itself.
    const QString difference = testing::pixelDifference(decodeBmp(d.file()),
                                                        testing::argbImage(1, 1, {C0}));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestDib::fileOffsetPointingNowhereFallsBackToTheTable()
{
    QByteArray file = dib(40, 1, 1, 8, 0, {C0, C1}, bytes({1, 0, 0, 0})).file();
    file[10] = char(0xFF); // bfOffBits far past the end
    file[11] = char(0xFF);
    const QString difference = testing::pixelDifference(decodeBmp(file),
                                                        testing::argbImage(1, 1, {C1}));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestDib::fileOffsetInsideHeadersOrTable_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QRgb>>("pixels");
    // bfOffBits as written: 14 + header + masks + table.
    auto withOffset = [](const DibFixture& d, quint32 offset) {
        QByteArray file = d.file();
        for (int i = 0; i < 4; ++i)
            file[10 + i] = char(offset >> (8 * i));
        return file;
    };
    const DibFixture indexed = dib(40, 2, 1, 8, 0, {C0, C1, C2, C3}, bytes({2, 3, 0, 0}));
    QTest::newRow("8-bit, at the file header") << withOffset(indexed, 0) << QList<QRgb>{C2, C3};
    QTest::newRow("8-bit, at the info header") << withOffset(indexed, 14) << QList<QRgb>{C2, C3};
    QTest::newRow("8-bit, at the table") << withOffset(indexed, 54) << QList<QRgb>{C2, C3};
    QTest::newRow("8-bit, inside the table") << withOffset(indexed, 54 + 6) << QList<QRgb>{C2, C3};
    QTest::newRow("8-bit, at the last entry")
        << withOffset(indexed, 54 + 12) << QList<QRgb>{C2, C3};
    QTest::newRow("8-bit, right after the table")
        << withOffset(indexed, 54 + 16) << QList<QRgb>{C2, C3};
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const DibFixture fields = dib(40, 2, 1, 32, 3, {}, le32({0xFF0000, 0x0000FF}),
                                  {0xFF0000, 0xFF00, 0xFF});
    QTest::newRow("bitfields, at the masks")
        << withOffset(fields, 54 + 4) << QList<QRgb>{red, blue};
    const DibFixture v5 = dib(124, 2, 1, 24, 0, {}, bytes({0, 0, 255, 255, 0, 0, 0, 0}));
    QTest::newRow("V5 header, inside it") << withOffset(v5, 14 + 60) << QList<QRgb>{red, blue};
}

void TestDib::fileOffsetInsideHeadersOrTable()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QRgb>, pixels);
    const QString difference = testing::pixelDifference(
        decodeBmp(file), testing::argbImage(int(pixels.size()), 1, pixels));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestDib::embeddedJpeg()
{
    QImage grey(16, 8, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    const QImage image = decodeBmp(
        dib(124, 16, 8, 0, 4, {}, testing::encodeWithQt(grey, "jpeg", 95)).file());
    QCOMPARE(image.size(), QSize(16, 8));
    QVERIFY(qAbs(qGray(image.pixel(5, 5)) - 128) <= 2);
}

void TestDib::overBudgetIsOutOfMemory()
{
    const testing::PixelBudgetOverride budget(1 << 20);
    auto solid = [](int side) {
        return dib(40, side, side, 8, 0, {C1},
                   QByteArray(qsizetype(side) * ((side + 3) & ~3), '\0'))
            .file();
    };
    QCOMPARE(decodeBmp(solid(512)).size(), QSize(512, 512)); // exactly 1 MiB of pixels
    QCOMPARE(testing::raisedError([&] { decodeBmp(solid(513)); }), int(OutOfMemory));
}

void TestDib::hugePictureFromFewBytesIsRefused()
{
    // 1 x 100 million pixels (400 MB) promised by a 70-byte file: refused before allocating,
    // while the same truncation of a modest picture still shows what there is.
    const testing::PixelBudgetOverride budget(qint64(1) << 40);
    const QByteArray promise = dib(40, 1, 100'000'000, 24, 0, {}, bytes({1, 2, 3, 0})).file();
    QCOMPARE(testing::raisedError([&] { decodeBmp(promise); }), int(InvalidPicture));
    QCOMPARE(decodeBmp(dib(40, 1000, 1000, 24, 0, {}, bytes({1, 2, 3, 0})).file()).size(),
             QSize(1000, 1000));
}

QTEST_APPLESS_MAIN(TestDib)
#include "tst_dib.moc"
