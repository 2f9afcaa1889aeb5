#include "dib.h"

#include "../byte_reader.h"
#include "../checked_size.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "colour_profile.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <span>

namespace platform::raster {

namespace {

// Header sizes, by the structure each one announces.
constexpr quint32 BITMAPCOREHEADER_SIZE = 12; // OS/2 1.x, Windows 2.x
constexpr quint32 OS2_HEADER_MIN_SIZE = 16;   // BITMAPCOREHEADER2 may end after any field
constexpr quint32 BITMAPINFOHEADER_SIZE = 40;
constexpr quint32 BITMAPV2INFOHEADER_SIZE = 52; // adds the red, green and blue masks
constexpr quint32 BITMAPV3INFOHEADER_SIZE = 56; // adds the alpha mask
constexpr quint32 OS2_HEADER_SIZE = 64;         // BITMAPCOREHEADER2 in full
constexpr quint32 BITMAPV5HEADER_SIZE = 124;

// bV5CSType of a header whose ICC profile follows in the file [MS-WMF 2.1.1.14], "MBED".
constexpr quint32 PROFILE_EMBEDDED = 0x4D424544;

// OS/2 2.x gives 3 and 4 meanings of its own.
constexpr quint32 BCA_RLE24 = 4;

constexpr quint16 BitmapFileType = 0x4D42; // "BM"
constexpr qint64 BitmapFileHeaderSize = 14;

constexpr QRgb OpaqueBlack = 0xFF000000;
constexpr QRgb AlphaBits = 0xFF000000;

enum class Layout {
    Packed,   // the pixel data follow the colour table in the same bytes
    Separate, // the pixel data come in bytes of their own
    File,     // a BMP file's DIB: bfOffBits says where the pixel data start
    Icon,     // packed, the height counting the colour bitmap and the AND mask below it
};

enum class Coding {
    Rgb,
    Bitfields,
    Rle8,
    Rle4,
    Rle24,
    Jpeg,
    Png
};

struct Header {
    quint32 size = 0;
    qint64 width = 0;
    qint64 height = 0; // rows of the picture
    bool topDown = false;
    int bitCount = 0;
    Coding coding = Coding::Rgb;
    bool alphaBitfields = false;
    bool core = false; // colour table of RGBTRIPLEs
    quint32 colorsUsed = 0;
    std::array<quint32, 4> masks{}; // red, green, blue, alpha
    bool masksInHeader = false;
    qint64 profileOffset = 0; // of an embedded ICC profile, from the header's start
    qint64 profileSize = 0;
};

// The embedded ICC profile that `h`, read from the start of `info`, points to; empty when
// there is none or it does not lie inside.
QByteArrayView embeddedProfile(const Header& h, QByteArrayView info)
{
    if (h.profileSize <= 0 || h.profileOffset < h.size || h.profileOffset > info.size()
        || h.profileSize > info.size() - h.profileOffset)
        return {};
    return info.sliced(h.profileOffset, h.profileSize);
}

using Palette = std::array<QRgb, 256>;
using Row = std::span<const uchar>;
using Line = std::span<QRgb>;

Row rowOf(QByteArrayView bytes)
{
    return {reinterpret_cast<const uchar*>(bytes.data()), size_t(bytes.size())};
}

Coding codingOf(quint32 compression, bool os2)
{
    switch (compression) {
    case BI_RGB:
        return Coding::Rgb;
    case BI_RLE8:
        return Coding::Rle8;
    case BI_RLE4:
        return Coding::Rle4;
    case BI_BITFIELDS:
        // OS/2's 3 is 1-D Huffman, which nothing writes any more.
        if (os2)
            raise(InvalidPicture);
        return Coding::Bitfields;
    case BI_JPEG:
        static_assert(BI_JPEG == BCA_RLE24);
        return os2 ? Coding::Rle24 : Coding::Jpeg;
    case BI_PNG:
        if (os2)
            raise(InvalidPicture);
        return Coding::Png;
    case BI_ALPHABITFIELDS:
        if (os2)
            raise(InvalidPicture);
        return Coding::Bitfields;
    }
    raise(InvalidPicture);
}

bool depthFits(Coding coding, int bits)
{
    switch (coding) {
    case Coding::Rgb:
        return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24
            || bits == 32;
    case Coding::Bitfields:
        return bits == 16 || bits == 32;
    case Coding::Rle8:
        return bits == 8;
    case Coding::Rle4:
        return bits == 4;
    case Coding::Rle24:
        return bits == 24;
    case Coding::Jpeg:
    case Coding::Png:
        return true;
    }
    return false;
}

// Reads the header and leaves `r` after it. Raises when it is cut short or makes no sense.
Header readHeader(ByteReader& r, Layout layout)
{
    Header h;
    h.size = r.u32();
    qint64 height = 0;
    quint32 compression = BI_RGB;
    bool os2 = false;
    if (h.size == BITMAPCOREHEADER_SIZE) {
        h.core = true;
        h.width = r.u16();
        height = r.u16();
        r.skip(2); // planes
        h.bitCount = r.u16();
    } else if (h.size >= OS2_HEADER_MIN_SIZE && h.size <= BITMAPV5HEADER_SIZE) {
        // BITMAPCOREHEADER2 shares the first 40 bytes with BITMAPINFOHEADER but may stop
        // after any field; the missing ones are 0.
        os2 = h.size == OS2_HEADER_SIZE
            || (h.size < BITMAPV3INFOHEADER_SIZE && h.size != BITMAPINFOHEADER_SIZE
                && h.size != BITMAPV2INFOHEADER_SIZE);
        ByteReader fields = r.take(h.size - 4);
        auto field = [&fields] { return fields.remaining() >= 4 ? fields.u32() : 0u; };
        h.width = qint32(field());
        height = qint32(field());
        fields.skip(2); // planes
        h.bitCount = fields.u16();
        compression = field();
        field(); // biSizeImage: the data's own extent decides
        field(); // resolution
        field();
        h.colorsUsed = field();
        field(); // colours important
        if (!os2 && h.size >= BITMAPV2INFOHEADER_SIZE) {
            h.masksInHeader = true;
            h.masks[0] = field();
            h.masks[1] = field();
            h.masks[2] = field();
            if (h.size >= BITMAPV3INFOHEADER_SIZE)
                h.masks[3] = field();
        }
        if (h.size == BITMAPV5HEADER_SIZE) {
            // bV5CSType, the endpoints and gammas, bV5Intent, then where the profile lies
            // from the header's start [MS-WMF 2.2.2.5].
            const quint32 csType = field();
            fields.skip(36 + 12 + 4);
            const quint32 profileData = field();
            const quint32 profileSize = field();
            if (csType == PROFILE_EMBEDDED) {
                h.profileOffset = profileData;
                h.profileSize = profileSize;
            }
        }
    } else {
        raise(InvalidPicture);
    }
    if (r.failed() || h.width <= 0 || height == 0)
        raise(InvalidPicture);

    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    if (layout == Layout::Icon) {
        h.height /= 2;
        if (h.height == 0)
            raise(InvalidPicture);
    }
    h.coding = codingOf(compression, os2);
    h.alphaBitfields = compression == BI_ALPHABITFIELDS;
    if (!depthFits(h.coding, h.bitCount))
        raise(InvalidPicture);
    return h;
}

// The stored masks of a BITFIELDS bitmap, or the fixed ones of BI_RGB.
std::array<quint32, 4> pixelMasks(ByteReader& r, const Header& h, Layout layout)
{
    if (h.coding == Coding::Bitfields) {
        std::array<quint32, 4> masks = h.masks;
        if (!h.masksInHeader) {
            masks[0] = r.u32();
            masks[1] = r.u32();
            masks[2] = r.u32();
            if (h.alphaBitfields)
                masks[3] = r.u32();
            if (r.failed())
                raise(InvalidPicture);
        }
        if (masks[0] || masks[1] || masks[2] || masks[3])
            return masks;
    }
    if (h.bitCount == 16)
        return {0x7C00, 0x03E0, 0x001F, 0};
    // Windows ignores the fourth byte of BI_RGB pixels, except in icons, which keep alpha
    // there.
    return {0xFF0000, 0xFF00, 0xFF, layout == Layout::Icon ? AlphaBits : 0};
}

// One channel of a BITFIELDS pixel, scaled to 8 bits with rounding.
class Channel {
public:
    Channel() = default;
    explicit Channel(quint32 mask)
        : m_mask(mask)
        , m_shift(mask ? std::countr_zero(mask) : 0)
        , m_max(mask >> m_shift)
    {
        if (m_max > 0 && m_max <= 255) {
            for (quint32 v = 0; v <= m_max; ++v)
                m_table[v] = scale(v);
        }
    }

    bool present() const { return m_max != 0; }

    uchar operator()(quint32 pixel) const
    {
        const quint32 v = (pixel & m_mask) >> m_shift;
        return m_max <= 255 ? m_table[v] : scale(v);
    }

private:
    uchar scale(quint32 v) const { return uchar((quint64(v) * 255 + m_max / 2) / m_max); }

    quint32 m_mask = 0;
    int m_shift = 0;
    quint32 m_max = 0;
    std::array<uchar, 256> m_table{};
};

struct Bitfields {
    explicit Bitfields(const std::array<quint32, 4>& masks)
        : red(masks[0])
        , green(masks[1])
        , blue(masks[2])
        , alpha(masks[3])
        , plain8888(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF
                    && (masks[3] == 0 || masks[3] == AlphaBits))
    {
    }
    Channel red, green, blue, alpha;
    bool plain8888; // the byte layout of QRgb: copy, no scaling
};

// Expands a row of 1-, 2-, 4- or 8-bit indices into `out`.
void indexedRow(Row src, int bits, const Palette& palette, Line out)
{
    if (bits == 8) {
        for (size_t x = 0; x < out.size(); ++x)
            out[x] = palette[src[x]];
        return;
    }
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (size_t x = 0; x < out.size(); ++x) {
        const int shift = 8 - bits * (int(x % perByte) + 1);
        out[x] = palette[(src[x / perByte] >> shift) & mask];
    }
}

void bgrRow(Row src, Line out)
{
    for (size_t x = 0; x < out.size(); ++x)
        out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
}

// Decodes 16- or 32-bit pixels; returns the OR of their alpha values (0 without alpha).
QRgb bitfieldRow(Row src, int bytesPerPixel, const Bitfields& f, Line out)
{
    QRgb alphaSeen = 0;
    if (bytesPerPixel == 4 && f.plain8888) {
        const QRgb keep = f.alpha.present() ? 0 : AlphaBits;
        for (size_t x = 0; x < out.size(); ++x) {
            const size_t i = 4 * x;
            const QRgb pixel = QRgb(src[i]) | QRgb(src[i + 1]) << 8 | QRgb(src[i + 2]) << 16
                | QRgb(src[i + 3]) << 24;
            out[x] = pixel | keep;
            alphaSeen |= pixel;
        }
        return f.alpha.present() ? alphaSeen & AlphaBits : 0;
    }
    for (size_t x = 0; x < out.size(); ++x) {
        const size_t i = size_t(bytesPerPixel) * x;
        quint32 pixel = quint32(src[i]) | quint32(src[i + 1]) << 8;
        if (bytesPerPixel == 4)
            pixel |= quint32(src[i + 2]) << 16 | quint32(src[i + 3]) << 24;
        const int a = f.alpha.present() ? f.alpha(pixel) : 255;
        out[x] = qRgba(f.red(pixel), f.green(pixel), f.blue(pixel), a);
        alphaSeen |= QRgb(a) << 24;
    }
    return f.alpha.present() ? alphaSeen : 0;
}

class Target {
public:
    Target(QImage& image, bool topDown)
        : m_image(image)
        , m_topDown(topDown)
    {
    }

    // The picture line of the `row`th row stored in the file.
    Line line(qint64 row)
    {
        const int y = m_topDown ? int(row) : m_image.height() - 1 - int(row);
        return {reinterpret_cast<QRgb*>(m_image.scanLine(y)), size_t(m_image.width())};
    }

private:
    QImage& m_image;
    bool m_topDown;
};

struct Decoded {
    QImage image;
    bool alphaInUse = false; // the pixels carry alpha of their own
};

qint64 strideOf(qint64 width, int bits)
{
    return (width * bits + 31) / 32 * 4;
}

// Uncompressed pixels, one pass straight into the picture. Rows that the data do not reach
// stay transparent.
Decoded decodeUncompressed(const Header& h, const Palette& palette,
                           const std::array<quint32, 4>& masks, QByteArrayView bits,
                           qint64 sourceBytes, CostBudget& budget)
{
    if (bits.isEmpty())
        raise(InvalidPicture);
    const int depth = h.bitCount;
    const qint64 stride = strideOf(h.width, depth);
    const qint64 rowBytes = (h.width * depth + 7) / 8;
    // The last row's end; a size too large to state lies beyond any data.
    const std::optional<qint64> extent = checkedMulAdd(stride, h.height - 1, rowBytes);
    const bool complete = extent && bits.size() >= *extent;
    const Bitfields fields(masks);
    const bool hasAlpha = depth >= 16 && fields.alpha.present();
    const QImage::Format format = hasAlpha ? QImage::Format_ARGB32
        : complete                         ? QImage::Format_RGB32
                                           : QImage::Format_ARGB32_Premultiplied;
    Decoded out{allocatePicture(budget, h.width, h.height, format, sourceBytes)};
    Target target(out.image, h.topDown);

    // Pixels of the `row`th stored row that the data hold.
    auto pixelsIn = [&](qint64 row) -> qint64 {
        const qint64 offset = row * stride;
        const qint64 have = offset < bits.size() ? qMin(rowBytes, bits.size() - offset) : 0;
        return qMin(h.width, have * 8 / depth);
    };

    QRgb alphaSeen = 0;
    for (qint64 row = 0; row < h.height; ++row) {
        const Line line = target.line(row);
        const qint64 n = pixelsIn(row);
        if (n > 0) {
            const Row src = rowOf(bits.sliced(row * stride, (n * depth + 7) / 8));
            const Line part = line.first(size_t(n));
            if (depth <= 8)
                indexedRow(src, depth, palette, part);
            else if (depth == 24)
                bgrRow(src, part);
            else
                alphaSeen |= bitfieldRow(src, depth / 8, fields, part);
        }
        std::fill(line.begin() + n, line.end(), 0);
    }

    out.alphaInUse = hasAlpha && alphaSeen != 0;
    if (hasAlpha && alphaSeen == 0) {
        // An alpha channel that is 0 everywhere was never meant: show the colours.
        for (qint64 row = 0; row < h.height; ++row) {
            const Line line = target.line(row);
            for (QRgb& pixel : line.first(size_t(pixelsIn(row))))
                pixel |= AlphaBits;
        }
        if (complete)
            out.image.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return out;
}

// RLE4, RLE8 and OS/2 RLE24: runs, literal runs, end of line, delta and end of bitmap.
// Pixels that the stream skips or never reaches stay transparent.
Decoded decodeRle(const Header& h, const Palette& palette, QByteArrayView bits, qint64 sourceBytes,
                  CostBudget& budget)
{
    if (bits.isEmpty())
        raise(InvalidPicture);
    Decoded out{allocatePicture(budget, h.width, h.height, QImage::Format_ARGB32_Premultiplied,
                                sourceBytes)};
    out.image.fill(0);
    Target target(out.image, h.topDown);

    qint64 x = 0;
    qint64 y = 0;
    qint64 written = 0;
    Line line = target.line(0);
    auto put = [&](QRgb colour) {
        if (x < h.width) {
            line[size_t(x)] = colour;
            ++written;
        }
        ++x;
    };
    auto nextLine = [&](qint64 down) {
        y += down;
        if (y < h.height)
            line = target.line(y);
    };

    ByteReader r(bits);
    while (y < h.height) {
        const int count = r.u8();
        if (count > 0) {
            switch (h.coding) {
            case Coding::Rle8: {
                const QRgb colour = palette[r.u8()];
                for (int i = 0; i < count; ++i)
                    put(colour);
                break;
            }
            case Coding::Rle4: {
                const int pair = r.u8();
                const QRgb colours[2] = {palette[pair >> 4], palette[pair & 15]};
                for (int i = 0; i < count; ++i)
                    put(colours[i & 1]);
                break;
            }
            default: {
                const int blue = r.u8();
                const int green = r.u8();
                const QRgb colour = qRgb(r.u8(), green, blue);
                for (int i = 0; i < count; ++i)
                    put(colour);
                break;
            }
            }
            if (r.failed())
                break;
            continue;
        }
        const int code = r.u8();
        if (r.failed() || code == 1) // end of bitmap
            break;
        if (code == 0) { // end of line
            x = 0;
            nextLine(1);
        } else if (code == 2) { // delta: right and down
            const int dx = r.u8();
            const int dy = r.u8();
            if (r.failed())
                break;
            x += dx;
            nextLine(dy);
        } else { // `code` literal pixels, padded to a 16-bit boundary
            const qint64 size = h.coding == Coding::Rle8 ? code
                : h.coding == Coding::Rle4               ? (code + 1) / 2
                                                         : 3 * qint64(code);
            // A literal run cut short by the end of the data still gives its whole pixels.
            const Row src = rowOf(r.bytes(qMin(size, r.remaining())));
            const qint64 n = h.coding == Coding::Rle8 ? qMin<qint64>(code, qint64(src.size()))
                : h.coding == Coding::Rle4            ? qMin<qint64>(code, 2 * qint64(src.size()))
                                                      : qint64(src.size()) / 3;
            for (qint64 i = 0; i < n; ++i) {
                const size_t at = size_t(i);
                switch (h.coding) {
                case Coding::Rle8:
                    put(palette[src[at]]);
                    break;
                case Coding::Rle4:
                    put(palette[(i & 1) ? src[at / 2] & 15 : src[at / 2] >> 4]);
                    break;
                default:
                    put(qRgb(src[3 * at + 2], src[3 * at + 1], src[3 * at]));
                    break;
                }
            }
            if (n < code)
                break;
            r.skip(size & 1);
        }
    }
    if (written == h.width * h.height)
        out.image.reinterpretAsFormat(QImage::Format_RGB32);
    return out;
}

Palette readPalette(QByteArrayView table, int entrySize, qint64 declared)
{
    Palette palette;
    palette.fill(OpaqueBlack);
    ByteReader r(table);
    const qint64 count = std::min(
        {declared, qint64(palette.size()), qint64(table.size()) / entrySize});
    for (qint64 i = 0; i < count; ++i) {
        const int blue = r.u8();
        const int green = r.u8();
        const int red = r.u8();
        if (entrySize == 4)
            r.skip(1); // rgbReserved: not alpha
        palette[size_t(i)] = qRgb(red, green, blue);
    }
    return palette;
}

// Clears the pixels whose AND-mask bit is set. The mask rows follow the colour bitmap, one
// bit per pixel, each row padded to 32 bits, in the colour bitmap's row order.
void applyAndMask(QImage& image, bool topDown, QByteArrayView mask)
{
    const qint64 width = image.width();
    const qint64 stride = strideOf(width, 1);
    Target target(image, topDown);
    for (qint64 row = 0; row < image.height(); ++row) {
        const qint64 offset = row * stride;
        if (offset >= mask.size())
            break;
        const Row bits = rowOf(mask.sliced(offset, qMin(stride, mask.size() - offset)));
        const Line line = target.line(row);
        const qint64 n = qMin(width, qint64(bits.size()) * 8);
        for (qint64 x = 0; x < n; ++x) {
            if (bits[size_t(x / 8)] & (0x80 >> (x % 8)))
                line[size_t(x)] = 0;
        }
    }
}

// The size a bitmap's header claims, for the JPEG or PNG stream it carries.
QSize claimedSize(const Header& h)
{
    constexpr qint64 Largest = std::numeric_limits<int>::max();
    return {int(qMin(h.width, Largest)), int(qMin(h.height, Largest))};
}

Decoded decodePixels(const Header& h, const Palette& palette, const std::array<quint32, 4>& masks,
                     QByteArrayView bits, Layout layout, qint64 sourceBytes, CostBudget& budget);

Decoded decode(QByteArrayView info, Layout layout, CostBudget& budget,
               QByteArrayView separateBits = {}, qint64 bitsOffset = -1)
{
    ByteReader r(info);
    const Header h = readHeader(r, layout);
    const std::array<quint32, 4> masks = pixelMasks(r, h, layout);

    const int entrySize = h.core ? 3 : 4;
    // JPEG and PNG bitmaps have 0 bits per pixel, and no table unless one is counted.
    const qint64 declared = h.colorsUsed && !h.core ? qint64(h.colorsUsed)
        : h.bitCount >= 1 && h.bitCount <= 8        ? qint64(1) << h.bitCount
                                                    : 0;
    const qint64 tableStart = r.position();
    QByteArrayView table;
    QByteArrayView bits;
    // An offset that points into the headers, or into a colour table that the file holds
    // whole, is a writer's mistake: the pixels follow the table, as other readers take them.
    const qint64 tableEnd = tableStart + declared * entrySize;
    const bool intoTable = bitsOffset < tableEnd && tableEnd < info.size();
    if (layout == Layout::File && bitsOffset >= tableStart && !intoTable
        && bitsOffset < info.size()) {
        table = info.sliced(tableStart, bitsOffset - tableStart);
        bits = info.sliced(bitsOffset);
    } else if (layout == Layout::Separate) {
        table = r.rest().first(qMin(declared * entrySize, r.remaining()));
        bits = separateBits;
    } else {
        // Packed, or a file whose offset to the bits points nowhere: the bits follow the
        // whole colour table.
        table = r.bytes(declared * entrySize);
        if (r.failed())
            raise(InvalidPicture);
        bits = r.rest();
    }
    const Palette palette = readPalette(table, entrySize, declared);
    const qint64 sourceBytes = info.size() + separateBits.size();
    Decoded out = decodePixels(h, palette, masks, bits, layout, sourceBytes, budget);
    if (const auto profile = ColourProfile::fromIcc(embeddedProfile(h, info)))
        profile->convert(out.image);
    return out;
}

Decoded decodePixels(const Header& h, const Palette& palette, const std::array<quint32, 4>& masks,
                     QByteArrayView bits, Layout layout, qint64 sourceBytes, CostBudget& budget)
{
    switch (h.coding) {
    case Coding::Rgb:
    case Coding::Bitfields: {
        Decoded out = decodeUncompressed(h, palette, masks, bits, sourceBytes, budget);
        if (layout == Layout::Icon && !out.alphaInUse) {
            const qint64 colourBytes = strideOf(h.width, h.bitCount) * h.height;
            if (colourBytes < bits.size())
                applyAndMask(out.image, h.topDown, bits.sliced(colourBytes));
        }
        return out;
    }
    case Coding::Rle8:
    case Coding::Rle4:
    case Coding::Rle24:
        return decodeRle(h, palette, bits, sourceBytes, budget);
    case Coding::Jpeg:
        return {decodeWithQt(bits, "jpeg", budget, claimedSize(h))};
    case Coding::Png:
        return {decodeWithQt(bits, "png", budget, claimedSize(h))};
    }
    raise(InvalidPicture);
}

} // namespace

bool sniffBmp(ByteReader head)
{
    return head.u16() == BitmapFileType;
}

QImage decodeBmp(QByteArrayView file)
{
    CostBudget budget(file.size());
    return decodeBmp(file, budget);
}

QImage decodeBmp(QByteArrayView file, CostBudget& budget)
{
    ByteReader r(file);
    const quint16 type = r.u16();
    r.skip(8); // bfSize and the reserved words: writers fill them carelessly
    const quint32 offBits = r.u32();
    if (r.failed() || type != BitmapFileType)
        raise(InvalidPicture);
    return decode(r.rest(), Layout::File, budget, {}, qint64(offBits) - BitmapFileHeaderSize).image;
}

std::optional<PlainBitmap> plainBitmap(QByteArrayView head, qint64 fileSize)
{
    ByteReader file(head);
    const quint16 type = file.u16();
    file.skip(8);
    const qint64 offBits = file.u32();
    if (file.failed() || type != BitmapFileType)
        return std::nullopt;
    ByteReader r(file.rest());
    Header h;
    std::array<quint32, 4> masks{};
    try {
        h = readHeader(r, Layout::File);
        masks = pixelMasks(r, h, Layout::File);
    } catch (const Error&) {
        return std::nullopt; // not plain: the whole decoder has its say
    }
    const bool plainRgb = h.coding == Coding::Rgb && (h.bitCount == 24 || h.bitCount == 32);
    const bool plainFields = h.coding == Coding::Bitfields && h.bitCount == 32
        && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF && masks[3] == 0;
    if (!plainRgb && !plainFields)
        return std::nullopt;
    const qint64 stride = strideOf(h.width, h.bitCount);
    const qint64 rowBytes = h.width * h.bitCount / 8;
    // The rows must start after the headers and all be in the file.
    const std::optional<qint64> rowsEnd = checkedMulAdd(stride, h.height - 1, rowBytes);
    if (offBits < BitmapFileHeaderSize + r.position() || !rowsEnd || *rowsEnd > fileSize - offBits)
        return std::nullopt;
    checkPictureSize(h.width, h.height, fileSize);
    PlainBitmap plain{int(h.width), int(h.height), h.topDown, h.bitCount, offBits, stride};
    if (h.profileSize > 0 && h.profileOffset >= h.size
        && h.profileOffset + h.profileSize <= fileSize - BitmapFileHeaderSize) {
        plain.profileOffset = BitmapFileHeaderSize + h.profileOffset;
        plain.profileSize = h.profileSize;
    }
    return plain;
}

QImage decodeDib(QByteArrayView info, QByteArrayView bits)
{
    CostBudget budget(info.size() + bits.size());
    return decodeDib(info, bits, budget);
}

QImage decodeDib(QByteArrayView info, QByteArrayView bits, CostBudget& budget)
{
    return decode(info, bits.isEmpty() ? Layout::Packed : Layout::Separate, budget, bits).image;
}

QImage decodeIconDib(QByteArrayView entry)
{
    CostBudget budget(entry.size());
    return decodeIconDib(entry, budget);
}

QImage decodeIconDib(QByteArrayView entry, CostBudget& budget)
{
    QImage image = decode(entry, Layout::Icon, budget).image;
    // Opaque and fully transparent pixels read the same in every 32-bit format.
    if (image.format() != QImage::Format_ARGB32)
        image.reinterpretAsFormat(QImage::Format_ARGB32);
    return image;
}

} // namespace platform::raster
