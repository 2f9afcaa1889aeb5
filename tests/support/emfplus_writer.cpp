#include "emfplus_writer.h"

namespace testing {

namespace {

constexpr quint32 EmrComment = 70;
constexpr quint32 EmfPlusIdentifier = 0x2B464D45; // "EMF+"
constexpr quint32 GraphicsVersion = 0xDBC01002;

} // namespace

EmfPlusWriter::EmfPlusWriter(bool dual, QRect frame, int dpi)
    : m_emf(frame, {960, 960}, {254, 254})
{
    record(0x4001, dual ? 1 : 0,
           Bytes().u32(GraphicsVersion).u32(1).u32(quint32(dpi)).u32(quint32(dpi)));
    endComment();
}

EmfPlusWriter& EmfPlusWriter::record(quint16 type, quint16 flags, const Bytes& data)
{
    QByteArray body = data.data();
    while (body.size() % 4)
        body.append('\0');
    Bytes r;
    r.u16(type).u16(flags).u32(quint32(12 + body.size())).u32(quint32(body.size())).raw(body);
    m_comment.append(r.data());
    return *this;
}

EmfPlusWriter& EmfPlusWriter::endComment()
{
    if (m_comment.isEmpty())
        return *this;
    m_emf.record(EmrComment,
                 Bytes().u32(quint32(4 + m_comment.size())).u32(EmfPlusIdentifier).raw(m_comment));
    m_comment.clear();
    return *this;
}

EmfWriter& EmfPlusWriter::gdi()
{
    endComment();
    return m_emf;
}

EmfPlusWriter& EmfPlusWriter::object(int id, int type, const Bytes& data, int parts)
{
    const quint16 flags = quint16((type << 8) | id);
    if (parts <= 1)
        return record(0x4008, flags, data);
    const QByteArray all = data.data();
    const qsizetype chunk = (all.size() + parts - 1) / parts;
    for (qsizetype at = 0; at < all.size(); at += chunk) {
        const bool last = at + chunk >= all.size();
        // Every part but the last says it continues and how large the whole object is.
        Bytes part;
        if (!last)
            part.u32(quint32(all.size()));
        part.raw(all.mid(at, chunk));
        record(0x4008, quint16(flags | (last ? 0 : 0x8000)), part);
    }
    return *this;
}

EmfPlusWriter& EmfPlusWriter::solidBrush(int id, const QColor& c)
{
    return object(id, 1, Bytes().u32(GraphicsVersion).u32(0).u32(argb(c)));
}

EmfPlusWriter& EmfPlusWriter::pen(int id, float width, const QColor& c, int unit, quint32 penFlags,
                                  const Bytes& extra)
{
    Bytes data;
    data.u32(GraphicsVersion).u32(0).u32(penFlags).u32(quint32(unit)).f32(width);
    data.raw(extra.data());
    data.u32(GraphicsVersion).u32(0).u32(argb(c));
    return object(id, 2, data);
}

EmfPlusWriter& EmfPlusWriter::path(int id, const QList<QPointF>& pts, const QList<int>& types)
{
    Bytes data;
    data.u32(GraphicsVersion).u32(quint32(pts.size())).u32(0);
    data.raw(points(pts).data());
    for (int t : types)
        data.u8(t);
    data.pad(4);
    return object(id, 3, data);
}

EmfPlusWriter& EmfPlusWriter::setPageTransform(int unit, float scale)
{
    return record(0x4030, quint16(unit), Bytes().f32(scale));
}

EmfPlusWriter& EmfPlusWriter::setWorldTransform(float m11, float m12, float m21, float m22,
                                                float dx, float dy)
{
    return record(0x402A, 0, Bytes().f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy));
}

EmfPlusWriter& EmfPlusWriter::fillRects(const QColor& c, const QList<QRectF>& rects)
{
    Bytes data;
    data.u32(argb(c)).u32(quint32(rects.size()));
    for (const QRectF& r : rects)
        data.raw(rect(r).data());
    return record(0x400A, 0x8000, data);
}

EmfPlusWriter& EmfPlusWriter::fillRectsWith(int brushId, const QList<QRectF>& rects)
{
    Bytes data;
    data.u32(quint32(brushId)).u32(quint32(rects.size()));
    for (const QRectF& r : rects)
        data.raw(rect(r).data());
    return record(0x400A, 0, data);
}

QByteArray EmfPlusWriter::finish()
{
    record(0x4002, 0, {});
    endComment();
    return m_emf.finish();
}

Bytes EmfPlusWriter::points(const QList<QPointF>& pts)
{
    Bytes b;
    for (const QPointF& p : pts)
        b.f32(float(p.x())).f32(float(p.y()));
    return b;
}

Bytes EmfPlusWriter::rect(const QRectF& r)
{
    return Bytes().f32(float(r.x())).f32(float(r.y())).f32(float(r.width())).f32(float(r.height()));
}

} // namespace testing
