#include "hostile_metafiles.h"

#include "metafile_writer.h"

#include <QBuffer>
#include <QImage>

namespace testing {

namespace {

// A picture of about 690 x 550 pixels at 96 dpi in both formats.
const QRect WmfBox(0, 0, 10000, 8000);
const QRect EmfFrame(0, 0, 17000, 13000);

constexpr int Huge = 8192;
constexpr int BS_PATTERN = 3;
constexpr int BI_RGB = 0;
constexpr int BI_RLE8 = 1;
constexpr int BI_JPEG = 4;
constexpr int BI_PNG = 5;

constexpr quint16 META_CREATEPENINDIRECT = 0x02FA;
constexpr quint16 META_DIBCREATEPATTERNBRUSH = 0x0142;
constexpr quint32 EMR_SETWORLDTRANSFORM = 35;
constexpr quint32 EMR_STRETCHDIBITS = 81;
constexpr quint32 EMR_CREATEDIBPATTERNBRUSHPT = 94;
constexpr int MWT_LEFTMULTIPLY = 2;

// BITMAPINFOHEADER.
Bytes infoHeader(int width, int height, int bitCount, int compression, int colors,
                 quint32 imageSize = 0)
{
    Bytes b;
    b.u32(40).i32(width).i32(height).u16(1).u16(bitCount).u32(quint32(compression));
    b.u32(imageSize).u32(3780).u32(3780).u32(quint32(colors)).u32(0);
    return b;
}

// EMR_STRETCHDIBITS of `info` and `bits` from (0, 0, srcW, srcH) into (0, 0, 600, 450).
Bytes stretchDibits(const QByteArray& info, const QByteArray& bits, int srcW, int srcH)
{
    const quint32 offBmi = 80;
    const auto cbBmi = quint32(info.size());
    Bytes b;
    b.longs({0, 0, 600, 450, 0, 0, 0, 0, srcW, srcH});
    b.u32(offBmi).u32(cbBmi).u32(offBmi + cbBmi).u32(quint32(bits.size())).u32(0);
    b.u32(0x00CC0020).i32(600).i32(450).raw(info).raw(bits);
    return b;
}

} // namespace

QByteArray wmfExcludeClipHoles(int holes)
{
    WmfWriter w(WmfBox, 1440);
    w.createBrush(0, Qt::red).selectObject(0);
    for (int i = 0; i < holes; ++i) {
        const int x = (i % 60) * 160 + 20;
        const int y = (i / 60) * 160 + 20;
        w.excludeClipRect(x, y, x + 80, y + 80);
        if (i % 100 == 99)
            w.rectangle(0, 0, WmfBox.width(), WmfBox.height());
    }
    return w.finish();
}

QByteArray wmfHugeMonoPattern(int rectangles, int side, bool withBits)
{
    WmfWriter w(WmfBox, 1440);
    Bytes brush;
    brush.u16(BS_PATTERN).u16(0).raw(infoHeader(side, side, 1, BI_RGB, 2).data());
    brush.u32(0x000000).u32(0xFFFFFF);
    const qsizetype bits = withBits ? qsizetype((side + 31) / 32 * 4) * side : 4;
    brush.raw(QByteArray(bits, char(0x5A)));
    w.record(META_DIBCREATEPATTERNBRUSH, brush).selectObject(0);
    for (int i = 0; i < rectangles; ++i) {
        const int x = (i * 37) % 9000;
        const int y = (i * 53) % 7000;
        w.rectangle(x, y, x + 1000, y + 1000);
    }
    return w.finish();
}

QByteArray emfHugePatternBrushes(int brushes)
{
    EmfWriter w(EmfFrame);
    for (int i = 0; i < brushes; ++i) {
        Bytes b;
        b.u32(quint32(i + 1)).u32(0).u32(32).u32(40).u32(72).u32(4);
        b.raw(infoHeader(Huge, Huge, 32, BI_RGB, 0).data()).u32(0x00808080);
        w.record(EMR_CREATEDIBPATTERNBRUSHPT, b);
        w.selectObject(quint32(i + 1));
        w.rectangle(i * 20, i * 15, i * 20 + 100, i * 15 + 100);
    }
    return w.finish();
}

QByteArray emfEmptyRleBlits(int blits)
{
    EmfWriter w(EmfFrame);
    Bytes info = infoHeader(Huge, Huge, 8, BI_RLE8, 1);
    info.u32(0x00FF0000);
    const QByteArray endOfBitmap("\x00\x01\x00\x00", 4);
    for (int i = 0; i < blits; ++i)
        w.record(EMR_STRETCHDIBITS, stretchDibits(info.data(), endOfBitmap, Huge, Huge));
    return w.finish();
}

QByteArray emfOversizedEmbeddedPicture(bool jpeg, int side, int copies)
{
    QImage picture(side, side, QImage::Format_Grayscale8);
    picture.fill(128);
    QByteArray stream;
    QBuffer buffer(&stream);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, jpeg ? "JPEG" : "PNG", jpeg ? 10 : -1);
    const Bytes info = infoHeader(16, 16, 0, jpeg ? BI_JPEG : BI_PNG, 0, quint32(stream.size()));
    EmfWriter w(EmfFrame);
    for (int i = 0; i < copies; ++i)
        w.record(EMR_STRETCHDIBITS, stretchDibits(info.data(), stream, 16, 16));
    return w.finish();
}

QByteArray emfOverflowingTransforms(int steps)
{
    EmfWriter w(EmfFrame);
    w.createBrush(1, 0, Qt::red).selectObject(1);
    // Each step scales x up by 1e30 and y down by as much: the matrix stays finite with a
    // determinant of 1, while x coordinates of 2e9 go past the largest double.
    for (int i = 0; i < steps; ++i) {
        w.modifyWorldTransform(1e30f, 0, 0, 1e-30f, 0, 0, MWT_LEFTMULTIPLY);
        w.rectangle(-2000000000, -2000000000, 2000000000, 2000000000);
        w.polygon({{-2000000000, 0}, {2000000000, 10}, {0, 2000000000}});
    }
    w.record(EMR_SETWORLDTRANSFORM, Bytes().f32(1).f32(0).f32(0).f32(1).f32(0).f32(0));
    w.createBrush(2, 0, Qt::blue).selectObject(2);
    w.rectangle(200, 150, 400, 300);
    return w.finish();
}

QByteArray wmfFullObjectTable(int creates)
{
    WmfWriter w(WmfBox, 1440);
    // Records without their parameters still take a slot each.
    for (int i = 0; i < 65535; ++i)
        w.record(META_CREATEPENINDIRECT, Bytes());
    w.deleteObject(0);
    for (int i = 0; i < creates; ++i)
        w.record(META_CREATEPENINDIRECT, Bytes());
    w.rectangle(1000, 1000, 9000, 7000);
    return w.finish();
}

QByteArray wmfDoubleByteText(int records, int bytes)
{
    constexpr int SHIFTJIS_CHARSET = 128;
    constexpr int ETO_CLIPPED = 4;
    WmfWriter w(WmfBox, 1440);
    w.createFont(-200, QStringLiteral("MS Gothic"), SHIFTJIS_CHARSET).selectObject(0);
    QByteArray text;
    while (text.size() + 2 <= bytes)
        text.append("\x82\xA0", 2); // HIRAGANA LETTER A
    for (int i = 0; i < records; ++i)
        w.extTextOut(100, 400 + 200 * i, text, ETO_CLIPPED, QRect(0, 0, 3000, 3000));
    return w.finish();
}

} // namespace testing
