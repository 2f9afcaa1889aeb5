#include "turn.h"

namespace platform::raster {

Turn::Turn(int orientation, QSize stored)
    : m_orientation(orientation >= 1 && orientation <= 8 ? orientation : 1)
    , m_stored(stored)
{
    // [EXIF 2.32 section 4.6.5, Orientation]: where the stored 0th row and 0th column go.
    switch (m_orientation) {
    case 2:
        m_mirrorColumns = true;
        break;
    case 3:
        m_mirrorColumns = m_mirrorRows = true;
        break;
    case 4:
        m_mirrorRows = true;
        break;
    case 5:
        m_transposes = true;
        break;
    case 6:
        m_transposes = m_mirrorColumns = true;
        break;
    case 7:
        m_transposes = m_mirrorColumns = m_mirrorRows = true;
        break;
    case 8:
        m_transposes = m_mirrorRows = true;
        break;
    default:
        break;
    }
}

QPoint Turn::shownAt(QPoint p) const
{
    const QSize size = shown();
    const QPoint q = m_transposes ? p.transposed() : p;
    return {m_mirrorColumns ? size.width() - 1 - q.x() : q.x(),
            m_mirrorRows ? size.height() - 1 - q.y() : q.y()};
}

namespace {

// The rectangle with corners `a` and `b`, both inside it, whichever way they lie.
QRect spanning(QPoint a, QPoint b)
{
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())),
                 QPoint(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

} // namespace

QRect Turn::shownRect(const QRect& r) const
{
    if (r.isEmpty())
        return {};
    return spanning(shownAt(r.topLeft()), shownAt(r.bottomRight()));
}

QRect Turn::storedRect(const QRect& r) const
{
    if (r.isEmpty())
        return {};
    const QSize size = shown();
    auto unmirror = [&](QPoint p) {
        const QPoint q(m_mirrorColumns ? size.width() - 1 - p.x() : p.x(),
                       m_mirrorRows ? size.height() - 1 - p.y() : p.y());
        return m_transposes ? q.transposed() : q;
    };
    return spanning(unmirror(r.topLeft()), unmirror(r.bottomRight()));
}

Turn::Walk Turn::walk(qint64 pixelsPerLine) const
{
    const QPoint origin = shownAt({0, 0});
    const qint64 right = m_mirrorColumns ? -1 : 1;
    const qint64 down = m_mirrorRows ? -pixelsPerLine : pixelsPerLine;
    return {origin.y() * pixelsPerLine + origin.x(), m_transposes ? down : right,
            m_transposes ? right : down};
}

} // namespace platform::raster
