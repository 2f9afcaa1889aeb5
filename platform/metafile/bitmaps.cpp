#include "bitmaps.h"

#include "../byte_reader.h"
#include "platform/cost_budget.h"
#include "platform/errors.h"
#include "platform/raster/decoders.h"
#include "platform/raster/dib.h"

#include <QtEndian>

#include <cstring>

namespace platform::metafile {

namespace {

using raster::BI_BITFIELDS;
using raster::BI_JPEG;
using raster::BI_PNG;
using raster::BI_RGB;

// Pixel data missing beyond what is present that is still filled in (a bitmap cut short at
// the end of its file, say).
constexpr qint64 FilledSlack = 64 * 1024;

// Bytes of one row of `width` pixels at `bitCount`, padded to 32 bits; 0 on overflow.
qint64 stride(qint64 width, int bitCount)
{
    if (width <= 0 || bitCount <= 0 || width > (qint64(1) << 31))
        return 0;
    return ((width * bitCount + 31) / 32) * 4;
}

// The number of colour-table entries of a DIB header.
qint64 colorEntries(const DibGeometry& g, quint32 clrUsed)
{
    if (clrUsed)
        return clrUsed;
    return g.bitCount <= 8 ? qint64(1) << g.bitCount : 0;
}

// Where the pixels follow the header, its masks and its colours in a packed DIB; -1 when
// the header is unreadable.
qint64 packedPixelsOffset(QByteArrayView info, const DibGeometry& g)
{
    ByteReader r(info);
    const quint32 headerSize = r.u32();
    if (headerSize == 12)
        return 12 + 3 * (g.bitCount <= 8 ? (qint64(1) << g.bitCount) : 0);
    r.seek(32);
    const quint32 clrUsed = r.u32();
    if (r.failed() || headerSize < 40 || clrUsed > 65536)
        return -1;
    const qint64 masks = headerSize == 40 && g.compression == BI_BITFIELDS ? 12 : 0;
    return headerSize + masks + 4 * colorEntries(g, clrUsed);
}

// Whether an uncompressed DIB's pixels are there, as far as enoughPixelData() asks.
bool uncompressedPixelsPresent(QByteArrayView info, QByteArrayView bits, const DibGeometry& g,
                               qint64 rows)
{
    if (g.compression != BI_RGB && g.compression != BI_BITFIELDS)
        return true;
    const qint64 rowBytes = stride(g.width, g.bitCount);
    if (rowBytes == 0)
        return false;
    qint64 present = bits.size();
    if (bits.isEmpty()) {
        const qint64 offset = packedPixelsOffset(info, g);
        present = offset < 0 ? 0 : std::max<qint64>(0, info.size() - offset);
    }
    return enoughPixelData(rowBytes * rows, present);
}

// A JPEG's frame size, from its first SOFn marker segment.
std::optional<QSize> jpegSize(QByteArrayView stream)
{
    ByteReader r(stream);
    if (r.u8() != 0xFF || r.u8() != 0xD8)
        return std::nullopt;
    while (!r.failed()) {
        if (r.u8() != 0xFF)
            return std::nullopt;
        quint8 marker = r.u8();
        while (marker == 0xFF && !r.failed())
            marker = r.u8();
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;
        const int length = (r.u8() << 8) | r.u8();
        if (r.failed() || length < 2)
            return std::nullopt;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
            && marker != 0xCC;
        if (frame) {
            r.u8(); // precision
            const int height = (r.u8() << 8) | r.u8();
            const int width = (r.u8() << 8) | r.u8();
            if (r.failed())
                return std::nullopt;
            return QSize(width, height);
        }
        r.skip(length - 2);
    }
    return std::nullopt;
}

// A copy of `info` whose colour table of palette indexes (16 bits each) is replaced by the
// palette's colours, so the decoder sees an ordinary DIB.
QByteArray withPaletteColors(QByteArrayView info, const DibGeometry& g, const GdiPalette& palette)
{
    ByteReader r(info);
    const quint32 headerSize = r.u32();
    if (headerSize < 40 || g.bitCount > 8)
        return {};
    r.seek(32);
    const qint64 entries = colorEntries(g, r.u32());
    if (entries > 256)
        return {};
    r.seek(headerSize);
    QByteArray out(info.data(), qsizetype(headerSize));
    for (qint64 i = 0; i < entries; ++i) {
        const quint16 index = r.u16();
        const QRgb c = index < palette.entries.size() ? palette.entries[index] : 0;
        const char quad[4] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
        out.append(quad, 4);
    }
    if (r.failed())
        return {};
    // The pixels, where they follow the table.
    out.append(info.sliced(r.position()));
    // Tell the decoder how many entries the table now has.
    const quint32 used = quint32(entries);
    for (int i = 0; i < 4; ++i)
        out[32 + i] = char((used >> (8 * i)) & 0xFF);
    return out;
}

// A 32-bit BI_RGB DIB with its alpha bytes as they are (premultiplied, as AlphaBlend wants).
QImage decodeAlpha32(QByteArrayView info, QByteArrayView bits, const DibGeometry& g)
{
    ByteReader header(info);
    const quint32 headerSize = header.u32();
    header.seek(32);
    const quint32 clrUsed = header.u32();
    if (header.failed() || headerSize < 40 || clrUsed > 256)
        return {};
    const qint64 rowBytes = stride(g.width, 32);
    const qint64 rows = g.height < 0 ? -g.height : g.height;
    // Without separate bits the pixels follow the header, its masks and its colours.
    const qint64 masks = headerSize == 40 && g.compression == BI_BITFIELDS ? 12 : 0;
    const qint64 offset = headerSize + masks + 4 * qint64(clrUsed);
    if (bits.isEmpty() && offset > info.size())
        return {};
    const QByteArrayView pixels = bits.isEmpty() ? info.sliced(qsizetype(offset)) : bits;
    if (rowBytes == 0 || pixels.size() / rowBytes < rows)
        return {};
    QImage image(int(g.width), int(rows), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    bool anyAlpha = false;
    for (qint64 y = 0; y < rows; ++y) {
        const qint64 source = g.height > 0 ? rows - 1 - y : y;
        ByteReader row(pixels.sliced(qsizetype(source * rowBytes), qsizetype(rowBytes)));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint64 x = 0; x < g.width; ++x) {
            const quint8 b = row.u8();
            const quint8 gr = row.u8();
            const quint8 r = row.u8();
            const quint8 a = row.u8();
            anyAlpha = anyAlpha || a != 0;
            // Premultiplied channels cannot exceed alpha; clamp what a writer got wrong.
            out[x] = qRgba(std::min(r, a), std::min(gr, a), std::min(b, a), a);
        }
    }
    // A bitmap whose alpha bytes are all zero has no alpha at all.
    if (!anyAlpha)
        return {};
    return image;
}

} // namespace

bool affordBitmap(CostBudget& budget, qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || width > MaxBitmapPixels || height > MaxBitmapPixels / width)
        return false;
    const qint64 pixels = width * height;
    if (!budget.charge(pixels) || !budget.hold(4 * pixels))
        return false;
    budget.release(4 * pixels);
    return true;
}

bool enoughPixelData(qint64 needed, qint64 present)
{
    return needed - present <= std::max<qint64>(present, 0) + FilledSlack;
}

std::optional<QSize> embeddedPictureSize(QByteArrayView stream, quint32 compression)
{
    if (compression == BI_JPEG)
        return jpegSize(stream);
    // PNG: the signature, then IHDR's length, type, width and height (big-endian).
    static constexpr char Signature[] = "\x89PNG\r\n\x1a\n";
    if (compression != BI_PNG || stream.size() < 24
        || !stream.startsWith(QByteArrayView(Signature, 8)) || stream.sliced(12, 4) != "IHDR")
        return std::nullopt;
    const quint32 width = qFromBigEndian<quint32>(stream.data() + 16);
    const quint32 height = qFromBigEndian<quint32>(stream.data() + 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return std::nullopt;
    return QSize(int(width), int(height));
}

DibGeometry dibGeometry(QByteArrayView info)
{
    ByteReader r(info);
    DibGeometry g;
    const quint32 headerSize = r.u32();
    if (headerSize == 12) {
        g.width = r.u16();
        g.height = r.i16();
        r.u16(); // planes
        g.bitCount = r.u16();
    } else if (headerSize >= 40) {
        g.width = r.i32();
        g.height = r.i32();
        r.u16();
        g.bitCount = r.u16();
        g.compression = r.u32();
    }
    if (r.failed())
        return {};
    return g;
}

QRectF dibSourceRect(QByteArrayView info, double x, double y, double w, double h)
{
    const DibGeometry g = dibGeometry(info);
    if (g.height > 0)
        y = double(g.height) - y - h;
    return QRectF(x, y, w, h);
}

QImage decodeMetafileDib(QByteArrayView info, QByteArrayView bits, quint32 usage,
                         const GdiPalette& palette, CostBudget& budget, bool keepAlpha)
{
    const DibGeometry g = dibGeometry(info);
    if (!g.valid())
        return {};
    const qint64 rows = g.height < 0 ? -g.height : g.height;
    if (!uncompressedPixelsPresent(info, bits, g, rows) || !affordBitmap(budget, g.width, rows))
        return {};
    if (keepAlpha && g.bitCount == 32
        && (g.compression == BI_RGB || g.compression == BI_BITFIELDS)) {
        QImage alpha = decodeAlpha32(info, bits, g);
        if (!alpha.isNull())
            return alpha;
    }
    try {
        // A DIB can carry a whole JPEG or PNG file as its pixels ([MS-WMF] 2.1.1.7), decoded
        // only where it is no larger than the header says (and the budget was charged).
        if (g.compression == BI_JPEG || g.compression == BI_PNG) {
            const QByteArrayView stream = bits.isEmpty()
                ? info.sliced(std::min<qsizetype>(40, info.size()))
                : bits;
            const std::optional<QSize> own = embeddedPictureSize(stream, g.compression);
            if (!own || own->width() > g.width || own->height() > rows)
                return {};
            if (g.compression == BI_JPEG)
                return raster::decode(PictureFormat::Jpeg, stream);
            QImage png;
            png.loadFromData(stream, "PNG");
            return png;
        }
        if (usage == DIB_PAL_COLORS && g.bitCount <= 8) {
            const QByteArray fixed = withPaletteColors(info, g, palette);
            if (fixed.isEmpty())
                return {};
            return raster::decodeDib(fixed, bits);
        }
        return raster::decodeDib(info, bits);
    } catch (const Error&) {
        return {};
    }
}

QImage decodeMonoDib(QByteArrayView info, QByteArrayView bits, CostBudget& budget)
{
    const DibGeometry g = dibGeometry(info);
    if (!g.valid() || g.bitCount != 1 || g.compression != BI_RGB)
        return {};
    const qint64 rows = g.height < 0 ? -g.height : g.height;
    if (!uncompressedPixelsPresent(info, bits, g, rows) || !affordBitmap(budget, g.width, rows))
        return {};
    ByteReader r(info);
    const quint32 headerSize = r.u32();
    r.seek(headerSize);
    // Packed, the pixels follow a table of two RGBQUADs (RGBTRIPLEs after a
    // BITMAPCOREHEADER). Its colours do not matter: only the bits do.
    if (bits.isEmpty())
        r.skip(headerSize == 12 ? 6 : 8);
    if (r.failed())
        return {};
    const QByteArrayView data = bits.isEmpty() ? r.rest() : bits;

    QImage image(int(g.width), int(rows), QImage::Format_Mono);
    if (image.isNull())
        return {};
    // Index 0, black, stands for the 0 bits: the pattern's text-colour pixels.
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.fill(0);
    const qint64 rowBytes = (g.width + 7) / 8;
    const qint64 strideBytes = stride(g.width, 1);
    for (qint64 stored = 0; stored < rows; ++stored) {
        const qint64 offset = stored * strideBytes;
        if (offset >= data.size())
            break;
        const qint64 n = qMin(rowBytes, qint64(data.size()) - offset);
        const int y = int(g.height < 0 ? stored : rows - 1 - stored);
        std::memcpy(image.scanLine(y), data.data() + offset, size_t(n));
    }
    return image;
}

QImage decodeBitmap16(QByteArrayView bitmap, const QColor& foreground, const QColor& background,
                      CostBudget& budget)
{
    ByteReader r(bitmap);
    r.i16(); // type
    const qint64 width = r.i16();
    const qint64 height = r.i16();
    const qint64 widthBytes = r.i16();
    const int planes = r.u8();
    const int bitsPixel = r.u8();
    if (r.failed() || width <= 0 || height <= 0 || planes != 1 || widthBytes <= 0)
        return {};
    if (bitsPixel != 1 && bitsPixel != 8 && bitsPixel != 24 && bitsPixel != 32)
        return {};
    if (widthBytes * 8 < width * bitsPixel || width > MaxBitmapPixels / height)
        return {};
    // The pixel rows follow the 10-byte header, top row first, each widthBytes long.
    const QByteArrayView bits = bitmap.sliced(10);
    if (bits.size() / widthBytes < height || !affordBitmap(budget, width, height))
        return {};
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (qint64 y = 0; y < height; ++y) {
        const QByteArrayView row = bits.sliced(qsizetype(y * widthBytes), qsizetype(widthBytes));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            switch (bitsPixel) {
            case 1: {
                const bool set = (quint8(row[qsizetype(x / 8)]) >> (7 - x % 8)) & 1;
                out[x] = (set ? background : foreground).rgb();
                break;
            }
            case 8: {
                const int v = quint8(row[qsizetype(x)]);
                out[x] = qRgb(v, v, v);
                break;
            }
            default: {
                const qsizetype at = qsizetype(x * (bitsPixel / 8));
                out[x] = qRgb(quint8(row[at + 2]), quint8(row[at + 1]), quint8(row[at]));
                break;
            }
            }
        }
    }
    return image;
}

} // namespace platform::metafile
