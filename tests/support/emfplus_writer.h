#pragma once

#include "metafile_writer.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>

namespace testing {

/// Writes an EMF whose pictures are EMF+ records ([MS-EMFPLUS]): the EMF+ header first,
/// then records gathered into EMR_COMMENT records, GDI records between them where asked,
/// and EmfPlusEndOfFile. The default EMF is a 96 x 96 pixel picture whose device pixels are
/// the picture's pixels at 96 dpi.
class EmfPlusWriter {
public:
    /// `dual` marks the header as a dual file's; `dpi` is the header's logical dpi.
    explicit EmfPlusWriter(bool dual = false, QRect frame = QRect(0, 0, 2540, 2540), int dpi = 96);

    /// Any EMF+ record: its type, flags and data, into the comment being gathered.
    EmfPlusWriter& record(quint16 type, quint16 flags, const Bytes& data);
    /// The records gathered so far as one EMR_COMMENT.
    EmfPlusWriter& endComment();
    /// The EMF underneath, for GDI records (the comment being gathered is written first).
    EmfWriter& gdi();

    // Objects ([MS-EMFPLUS] 2.2.1), each in an EmfPlusObject record.
    /// An object of ObjectType `type` and its data, split into `parts` continued records.
    EmfPlusWriter& object(int id, int type, const Bytes& data, int parts = 1);
    EmfPlusWriter& solidBrush(int id, const QColor& c);
    /// A pen of `width` in `unit` with a solid brush of `c`; `penFlags` and `extra` the
    /// optional data as EmfPlusPenData puts it after the width.
    EmfPlusWriter& pen(int id, float width, const QColor& c, int unit = 2, quint32 penFlags = 0,
                       const Bytes& extra = {});
    /// A path of float points and their types (0 start, 1 line, 3 Bézier, | 0x80 close).
    EmfPlusWriter& path(int id, const QList<QPointF>& points, const QList<int>& types);

    // State
    EmfPlusWriter& setPageTransform(int unit, float scale);
    EmfPlusWriter& setWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                     float dy);
    EmfPlusWriter& getDc() { return record(0x4004, 0, {}); }

    // Drawing
    /// EmfPlusFillRects of float rectangles with an ARGB colour.
    EmfPlusWriter& fillRects(const QColor& c, const QList<QRectF>& rects);
    /// EmfPlusFillRects with brush object `brushId`.
    EmfPlusWriter& fillRectsWith(int brushId, const QList<QRectF>& rects);

    /// The file, with EmfPlusEndOfFile and EMR_EOF.
    QByteArray finish();

    /// Float points as EMF+ stores them.
    static Bytes points(const QList<QPointF>& points);
    /// A float rectangle (x, y, width, height).
    static Bytes rect(const QRectF& r);
    /// An ARGB colour as EMF+ stores it.
    static quint32 argb(const QColor& c) { return c.rgba(); }

private:
    EmfWriter m_emf;
    QByteArray m_comment;
};

} // namespace testing
