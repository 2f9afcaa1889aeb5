#include "raster_fixtures.h"

#include "platform/raster/pixel_budget.h"
#include "support/fixtures.h"

namespace testing {

namespace {

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(QByteArray* out)
        : m_out(out)
    {
    }
    LittleEndianWriter& u8(int v)
    {
        m_out->append(char(v & 0xFF));
        return *this;
    }
    LittleEndianWriter& u16(int v) { return u8(v).u8(v >> 8); }
    LittleEndianWriter& u32(quint32 v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }

private:
    QByteArray* m_out;
};

} // namespace

QByteArray DibFixture::info() const
{
    QByteArray out;
    LittleEndianWriter w(&out);
    w.u32(quint32(headerSize));
    if (headerSize == 12) {
        w.u16(width).u16(height).u16(1).u16(bitCount);
    } else {
        w.u32(quint32(width)).u32(quint32(height)).u16(1).u16(bitCount);
        // The later fields, as far as the header reaches (OS/2 2.x headers may stop early).
        QList<quint32> fields = {compression, quint32(bits.size()), 2835, 2835, colorsUsed, 0};
        if (headerSize >= 52)
            fields += masks;
        for (quint32 field : std::as_const(fields))
            w.u32(field);
        out.resize(headerSize, '\0');
        if (headerSize == 40)
            for (quint32 mask : masks)
                w.u32(mask);
    }
    for (QRgb c : palette) {
        w.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c));
        if (headerSize != 12)
            w.u8(0);
    }
    return out;
}

QByteArray DibFixture::file() const
{
    const QByteArray dib = info();
    QByteArray out("BM");
    LittleEndianWriter(&out)
        .u32(quint32(14 + dib.size() + bits.size()))
        .u32(0)
        .u32(quint32(14 + dib.size()));
    return out + dib + bits;
}

QByteArray dibRows(const QList<QByteArray>& rows)
{
    QByteArray out;
    for (const QByteArray& row : rows) {
        out += row;
        out.append((4 - row.size() % 4) % 4, '\0');
    }
    return out;
}

QImage argbImage(int width, int height, const QList<QRgb>& pixels)
{
    Q_ASSERT(pixels.size() == qsizetype(width) * height);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, pixels[y * width + x]);
    return image;
}

QString pixelDifference(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    // The colour of a fully transparent pixel does not show.
    auto seen = [](QRgb pixel) { return qAlpha(pixel) == 0 ? QRgb(0) : pixel; };
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb got = seen(a.pixel(x, y));
            const QRgb want = seen(e.pixel(x, y));
            if (got != want)
                return QStringLiteral("pixel (%1, %2) is #%3, expected #%4")
                    .arg(x)
                    .arg(y)
                    .arg(got, 8, 16, QLatin1Char('0'))
                    .arg(want, 8, 16, QLatin1Char('0'));
        }
    }
    return {};
}

PixelBudgetOverride::PixelBudgetOverride(qint64 bytes)
    : m_previous(platform::raster::setPixelBudget(bytes))
{
}

PixelBudgetOverride::~PixelBudgetOverride()
{
    platform::raster::setPixelBudget(m_previous);
}

QByteArray iconFile(const QList<IconEntryFixture>& entries, quint16 type)
{
    QByteArray out;
    LittleEndianWriter w(&out);
    w.u16(0).u16(type).u16(int(entries.size()));
    quint32 offset = quint32(6 + 16 * entries.size());
    for (const IconEntryFixture& e : entries) {
        w.u8(e.width).u8(e.height).u8(0).u8(0).u16(1).u16(e.bitCount);
        w.u32(quint32(e.data.size())).u32(offset);
        offset += quint32(e.data.size());
    }
    for (const IconEntryFixture& e : entries)
        out += e.data;
    return out;
}

QByteArray jpegWithOrientation(const QImage& image, int orientation)
{
    // APP1 "Exif\0\0", then a little-endian TIFF header and one IFD with one entry:
    // Orientation (0x0112), SHORT, count 1.
    QByteArray tiff("II*\0", 4);
    LittleEndianWriter t(&tiff);
    t.u32(8).u16(1).u16(0x0112).u16(3).u32(1).u16(orientation).u16(0).u32(0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    const int length = int(payload.size()) + 2;
    app1.append(char(length >> 8)).append(char(length & 0xFF));
    app1 += payload;
    const QByteArray jpeg = encodeWithQt(image, "jpeg", 95);
    // Right after SOI.
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

} // namespace testing
