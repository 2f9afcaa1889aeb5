#include "metafile_writer.h"

#include "platform/picture_loader.h"

#include <QPainter>
#include <QtEndian>

#include <cstring>

namespace testing {

Bytes& Bytes::u8(int v)
{
    m_data.append(char(v & 0xFF));
    return *this;
}

Bytes& Bytes::u16(int v)
{
    char b[2];
    qToLittleEndian<quint16>(quint16(v), b);
    m_data.append(b, 2);
    return *this;
}

Bytes& Bytes::u32(quint32 v)
{
    char b[4];
    qToLittleEndian<quint32>(v, b);
    m_data.append(b, 4);
    return *this;
}

Bytes& Bytes::i32(qint32 v)
{
    return u32(quint32(v));
}

Bytes& Bytes::f32(float v)
{
    quint32 bits = 0;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
}

Bytes& Bytes::raw(const QByteArray& bytes)
{
    m_data.append(bytes);
    return *this;
}

Bytes& Bytes::words(std::initializer_list<int> values)
{
    for (int v : values)
        u16(v);
    return *this;
}

Bytes& Bytes::longs(std::initializer_list<qint32> values)
{
    for (qint32 v : values)
        i32(v);
    return *this;
}

Bytes& Bytes::colorRef(const QColor& c)
{
    return u32(quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16);
}

Bytes& Bytes::pad(int n)
{
    while (m_data.size() % n)
        m_data.append('\0');
    return *this;
}

QImage renderPicture(const QByteArray& file, double dpi)
{
    const platform::Picture picture = platform::decodePicture(file);
    const QSize size = picture.pixelSize(dpi, dpi);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

bool nearColor(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

QString mismatchedProbe(const QImage& image, const Probes& probes)
{
    for (const Probe& p : probes) {
        const QColor seen = image.pixelColor(p.at);
        if (!nearColor(seen, p.color))
            return u"at (%1, %2): %3, want %4"_qs.arg(p.at.x()).arg(p.at.y()).arg(seen.name(),
                                                                                  p.color.name());
    }
    return {};
}

QByteArray packedDib(const QList<QList<QColor>>& pixels, int bitCount, bool topDown)
{
    const int height = int(pixels.size());
    const int width = height ? int(pixels.first().size()) : 0;
    Bytes b;
    b.u32(40).i32(width).i32(topDown ? -height : height).u16(1).u16(bitCount).u32(0);
    b.u32(0).u32(3780).u32(3780).u32(0).u32(0);
    for (int row = 0; row < height; ++row) {
        const QList<QColor>& line = pixels[topDown ? row : height - 1 - row];
        for (const QColor& c : line) {
            b.u8(c.blue()).u8(c.green()).u8(c.red());
            if (bitCount == 32)
                b.u8(c.alpha());
        }
        b.pad(4);
    }
    return b.data();
}

// ------------------------------------------------------------------------------------ WMF

WmfWriter::WmfWriter(QRect box, int unitsPerInch, bool placeable)
    : m_box(box)
    , m_unitsPerInch(unitsPerInch)
    , m_placeable(placeable)
{
}

WmfWriter& WmfWriter::record(quint16 function, const Bytes& params)
{
    Bytes r;
    const quint32 size = quint32(3 + (params.size() + 1) / 2);
    r.u32(size).u16(function).raw(params.data()).pad(2);
    m_records.append(r.data());
    m_largest = std::max(m_largest, size);
    return *this;
}

WmfWriter& WmfWriter::words(quint16 function, std::initializer_list<int> params)
{
    return record(function, Bytes().words(params));
}

WmfWriter& WmfWriter::setTextColor(const QColor& c)
{
    return record(0x0209, Bytes().colorRef(c));
}

WmfWriter& WmfWriter::setBkColor(const QColor& c)
{
    return record(0x0201, Bytes().colorRef(c));
}

WmfWriter& WmfWriter::createPen(int style, int width, const QColor& c)
{
    ++m_objects;
    return record(0x02FA, Bytes().words({style, width, 0}).colorRef(c));
}

WmfWriter& WmfWriter::createBrush(int style, const QColor& c, int hatch)
{
    ++m_objects;
    return record(0x02FC, Bytes().u16(style).colorRef(c).u16(hatch));
}

WmfWriter& WmfWriter::createFontRaw(int height, const QByteArray& face, int charSet)
{
    ++m_objects;
    Bytes b;
    b.words({height, 0, 0, 0, 400}).u8(0).u8(0).u8(0).u8(charSet).u8(0).u8(0).u8(0).u8(0);
    QByteArray name = face.left(31);
    name.append('\0');
    b.raw(name).pad(2);
    return record(0x02FB, b);
}

WmfWriter& WmfWriter::createFont(int height, const QString& face, int charSet, int weight,
                                 int escapement)
{
    ++m_objects;
    Bytes b;
    b.words({height, 0, escapement, escapement, weight});
    b.u8(0).u8(0).u8(0).u8(charSet).u8(0).u8(0).u8(0).u8(0);
    QByteArray name = face.toLatin1().left(31);
    name.append('\0');
    b.raw(name).pad(2);
    return record(0x02FB, b);
}

WmfWriter& WmfWriter::polygon(std::initializer_list<QPoint> points)
{
    Bytes b;
    b.u16(int(points.size()));
    for (const QPoint& p : points)
        b.u16(p.x()).u16(p.y());
    return record(0x0324, b);
}

WmfWriter& WmfWriter::textOut(int x, int y, const QByteArray& text)
{
    Bytes b;
    b.u16(int(text.size())).raw(text).pad(2).u16(y).u16(x);
    return record(0x0521, b);
}

WmfWriter& WmfWriter::extTextOut(int x, int y, const QByteArray& text, int options, QRect rect,
                                 const QList<int>& dx)
{
    Bytes b;
    b.u16(y).u16(x).u16(int(text.size())).u16(options);
    if (options & 0x0006)
        b.words({rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1});
    b.raw(text).pad(2);
    for (int d : dx)
        b.u16(d);
    return record(0x0A32, b);
}

WmfWriter& WmfWriter::embedEmf(const QByteArray& emf, int chunk)
{
    const int count = int((emf.size() + chunk - 1) / chunk);
    for (int i = 0; i < count; ++i) {
        const QByteArray part = emf.mid(qsizetype(i) * chunk, chunk);
        Bytes comment;
        comment.u32(0x43464D57).u32(1).u32(0x10000).u16(0).u32(0).u32(quint32(count));
        comment.u32(quint32(part.size()))
            .u32(quint32(emf.size() - qsizetype(i) * chunk - part.size()));
        comment.u32(quint32(emf.size())).raw(part);
        record(0x0626, Bytes().u16(0x000F).u16(int(comment.size())).raw(comment.data()));
    }
    return *this;
}

WmfWriter& WmfWriter::stretchDib(int x, int y, int w, int h, const QByteArray& dib, int srcW,
                                 int srcH)
{
    Bytes b;
    b.u32(0x00CC0020).u16(0).words({srcH, srcW, 0, 0, h, w, y, x}).raw(dib);
    return record(0x0F43, b);
}

QByteArray WmfWriter::finish() const
{
    Bytes out;
    if (m_placeable) {
        Bytes header;
        header.u32(0x9AC6CDD7).u16(0);
        header.words({m_box.left(), m_box.top(), m_box.left() + m_box.width(),
                      m_box.top() + m_box.height()});
        header.u16(m_unitsPerInch).u32(0);
        quint16 checksum = 0;
        for (int i = 0; i < 20; i += 2)
            checksum ^= qFromLittleEndian<quint16>(header.data().constData() + i);
        header.u16(checksum);
        out.raw(header.data());
    }
    QByteArray records = m_records;
    records.append(Bytes().u32(3).u16(0).data());
    const quint32 words = quint32((18 + records.size()) / 2);
    out.words({1, 9, 0x0300}).u32(words).u16(m_objects).u32(m_largest).u16(0);
    out.raw(records);
    return out.data();
}

// ------------------------------------------------------------------------------------ EMF

EmfWriter::EmfWriter(QRect frame, QSize devicePixels, QSize deviceMillimetres)
    : m_frame(frame)
    , m_devicePixels(devicePixels)
    , m_deviceMillimetres(deviceMillimetres)
{
}

EmfWriter& EmfWriter::record(quint32 type, const Bytes& params)
{
    Bytes r;
    QByteArray body = params.data();
    while (body.size() % 4)
        body.append('\0');
    r.u32(type).u32(quint32(8 + body.size())).raw(body);
    m_records.append(r.data());
    ++m_count;
    return *this;
}

EmfWriter& EmfWriter::longs(quint32 type, std::initializer_list<qint32> params)
{
    return record(type, Bytes().longs(params));
}

EmfWriter& EmfWriter::setTextColor(const QColor& c)
{
    return record(24, Bytes().colorRef(c));
}

EmfWriter& EmfWriter::setBkColor(const QColor& c)
{
    return record(25, Bytes().colorRef(c));
}

EmfWriter& EmfWriter::createPen(int index, int style, int width, const QColor& c)
{
    return record(38, Bytes().longs({index, style, width, 0}).colorRef(c));
}

EmfWriter& EmfWriter::createBrush(int index, int style, const QColor& c, int hatch)
{
    return record(39, Bytes().longs({index, style}).colorRef(c).i32(hatch));
}

EmfWriter& EmfWriter::createFont(int index, int height, const QString& face, int escapement,
                                 int charSet)
{
    Bytes b;
    b.longs({index, height, 0, escapement, escapement, 400});
    b.u8(0).u8(0).u8(0).u8(charSet).u8(0).u8(0).u8(0).u8(0);
    for (int i = 0; i < 32; ++i)
        b.u16(i < face.size() ? face.at(i).unicode() : 0);
    return record(82, b);
}

EmfWriter& EmfWriter::pie(QRect box, QPoint start, QPoint end)
{
    return longs(47,
                 {box.left(), box.top(), box.right() + 1, box.bottom() + 1, start.x(), start.y(),
                  end.x(), end.y()});
}

EmfWriter& EmfWriter::polygon(std::initializer_list<QPoint> points)
{
    Bytes b;
    b.longs({0, 0, 0, 0}).u32(quint32(points.size()));
    for (const QPoint& p : points)
        b.i32(p.x()).i32(p.y());
    return record(3, b);
}

EmfWriter& EmfWriter::polyPolygon(const QList<QList<QPoint>>& polygons)
{
    Bytes b;
    quint32 total = 0;
    for (const auto& poly : polygons)
        total += quint32(poly.size());
    b.longs({0, 0, 0, 0}).u32(quint32(polygons.size())).u32(total);
    for (const auto& poly : polygons)
        b.u32(quint32(poly.size()));
    for (const auto& poly : polygons) {
        for (const QPoint& p : poly)
            b.i32(p.x()).i32(p.y());
    }
    return record(8, b);
}

EmfWriter& EmfWriter::selectClipRegion(int mode, const QList<QRect>& rects)
{
    Bytes b;
    if (rects.isEmpty()) {
        b.u32(0).i32(mode);
        return record(75, b);
    }
    const quint32 size = quint32(32 + 16 * rects.size());
    b.u32(size).i32(mode);
    b.u32(32).u32(1).u32(quint32(rects.size())).u32(quint32(16 * rects.size()));
    b.longs({0, 0, 0, 0});
    for (const QRect& r : rects)
        b.longs({r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    return record(75, b);
}

EmfWriter& EmfWriter::setWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                        float dy)
{
    return record(35, Bytes().f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy));
}

EmfWriter& EmfWriter::modifyWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                           float dy, int mode)
{
    return record(36, Bytes().f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy).i32(mode));
}

EmfWriter& EmfWriter::textOut(int x, int y, const QString& text, int options, QRect rect,
                              const QList<int>& dx, int graphicsMode)
{
    // Offsets count from the record's start: head 8, bounds 16, mode and scales 12,
    // EmrText 40, then the string (padded to 4) and the advances.
    const quint32 offString = 76;
    const quint32 stringBytes = quint32((text.size() * 2 + 3) / 4 * 4);
    Bytes b;
    b.longs({0, 0, 0, 0}).u32(quint32(graphicsMode)).f32(1).f32(1);
    b.i32(x).i32(y).u32(quint32(text.size())).u32(offString).u32(quint32(options));
    b.longs({rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1});
    b.u32(dx.isEmpty() ? 0 : offString + stringBytes);
    for (QChar c : text)
        b.u16(c.unicode());
    b.pad(4);
    for (int d : dx)
        b.i32(d);
    return record(84, b);
}

EmfWriter& EmfWriter::stretchDibits(int x, int y, int w, int h, const QByteArray& dib, int srcW,
                                    int srcH, quint32 rop)
{
    const quint32 offBmi = 80;
    const quint32 cbBmi = 40;
    Bytes b;
    b.longs({0, 0, 0, 0, x, y, 0, 0, srcW, srcH});
    b.u32(offBmi).u32(cbBmi).u32(offBmi + cbBmi).u32(quint32(dib.size() - 40)).u32(0).u32(rop);
    b.i32(w).i32(h).raw(dib);
    return record(81, b);
}

QByteArray EmfWriter::finish() const
{
    QByteArray records = m_records;
    records.append(Bytes().u32(14).u32(20).u32(0).u32(16).u32(20).data());
    const quint32 headerSize = 108;
    Bytes h;
    h.u32(1).u32(headerSize);
    h.longs({0, 0, m_devicePixels.width(), m_devicePixels.height()});
    h.longs({m_frame.left(), m_frame.top(), m_frame.left() + m_frame.width(),
             m_frame.top() + m_frame.height()});
    h.u32(0x464D4520).u32(0x10000).u32(quint32(headerSize + records.size()));
    h.u32(quint32(m_count + 2)).u16(64).u16(0).u32(0).u32(0).u32(0);
    h.longs({m_devicePixels.width(), m_devicePixels.height(), m_deviceMillimetres.width(),
             m_deviceMillimetres.height()});
    h.u32(0).u32(0).u32(0);
    h.longs({m_deviceMillimetres.width() * 1000, m_deviceMillimetres.height() * 1000});
    h.raw(records);
    return h.data();
}

} // namespace testing
