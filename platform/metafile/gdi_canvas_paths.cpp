#include "gdi_canvas.h"

#include "geometry.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <cmath>

namespace platform::metafile {

namespace {

// Work per path element of the path and region operations.
constexpr qint64 PathWork = 64;
// Clip paths more complex than this many elements (about 400 separate rectangles) end the
// picture.
constexpr int MaxClipElements = 2048;

} // namespace

void GdiCanvas::beginPath()
{
    m_pathOpen = true;
    m_path = QPainterPath();
    m_pathClosedFigure = true;
}

void GdiCanvas::endPath()
{
    m_pathOpen = false;
}

void GdiCanvas::abortPath()
{
    m_pathOpen = false;
    m_path = QPainterPath();
}

void GdiCanvas::closeFigure()
{
    if (m_pathOpen && !m_path.isEmpty()) {
        m_path.closeSubpath();
        m_pathClosedFigure = true;
    }
}

void GdiCanvas::fillPath()
{
    paintPath(true, false);
}

void GdiCanvas::strokePath()
{
    paintPath(false, true);
}

void GdiCanvas::strokeAndFillPath()
{
    paintPath(true, true);
}

void GdiCanvas::paintPath(bool fill, bool stroke)
{
    // A path still being recorded is dropped, as Windows does.
    if (m_pathOpen || !usable()) {
        abortPath();
        return;
    }
    m_painter.setTransform(m_painterBase);
    if (fill)
        fillShape(withFillMode(m_path), m_dc.brush);
    if (stroke)
        strokeShape(m_path);
    m_path = QPainterPath();
}

void GdiCanvas::flattenPath()
{
    if (!charge(PathWork * m_path.elementCount()))
        return;
    QPainterPath flat;
    for (const QPolygonF& poly : m_path.toSubpathPolygons())
        flat.addPolygon(poly);
    m_path = flat;
}

void GdiCanvas::widenPath()
{
    const QPen pen = makePen();
    if (pen.style() == Qt::NoPen)
        return;
    // The pen's width in our units: cosmetic widths are device pixels.
    const double base = std::sqrt(std::abs(m_painterBase.determinant()));
    if (!charge(PathWork * m_path.elementCount()))
        return;
    QPainterPathStroker stroker;
    stroker.setWidth(pen.widthF() / std::max(base, 1e-9));
    stroker.setCapStyle(pen.capStyle());
    stroker.setJoinStyle(pen.joinStyle());
    m_path = stroker.createStroke(m_path);
}

void GdiCanvas::selectClipPath(int mode)
{
    if (m_pathOpen) {
        abortPath();
        return;
    }
    if (charge(PathWork * m_path.elementCount()))
        combineClip(withFillMode(m_path).simplified(), mode);
    m_path = QPainterPath();
}

// Clipping

void GdiCanvas::combineClip(const QPainterPath& targetPath, int mode)
{
    // Region operations cost about the elements of both sides; points that came out of the
    // mapping non-finite or beyond any device make no clip.
    const qint64 elements = targetPath.elementCount() + (m_dc.clip ? m_dc.clip->elementCount() : 0);
    if (mode < RGN_AND || mode > RGN_COPY || !saneRect(targetPath.controlPointRect())
        || !charge(PathWork * elements))
        return;
    switch (mode) {
    case RGN_AND:
        m_dc.clip = m_dc.clip ? m_dc.clip->intersected(targetPath) : targetPath;
        break;
    case RGN_OR:
        // No clip region already lets everything through.
        if (m_dc.clip)
            m_dc.clip = m_dc.clip->united(targetPath);
        break;
    case RGN_XOR: {
        const QPainterPath current = m_dc.clip.value_or(frameTargetPath());
        m_dc.clip = current.united(targetPath).subtracted(current.intersected(targetPath));
        break;
    }
    case RGN_DIFF:
        m_dc.clip = m_dc.clip.value_or(frameTargetPath()).subtracted(targetPath);
        break;
    case RGN_COPY:
        m_dc.clip = targetPath;
        break;
    default:
        return;
    }
    m_clipApplied = false;
    // A clip made of more pieces than any picture needs ends the picture: each later
    // operation and fill would cost more than the last.
    if (m_dc.clip && m_dc.clip->elementCount() > MaxClipElements)
        stop();
}

void GdiCanvas::intersectClipRect(const QRectF& box)
{
    if (!finiteAndInvertible(toTarget()))
        return;
    combineClip(toTarget().map(rectPath(box)), RGN_AND);
}

void GdiCanvas::excludeClipRect(const QRectF& box)
{
    if (!finiteAndInvertible(toTarget()))
        return;
    combineClip(toTarget().map(rectPath(box)), RGN_DIFF);
}

void GdiCanvas::selectClipRegion(const std::optional<QPainterPath>& region, int mode,
                                 bool deviceUnits)
{
    if (!region) {
        if (mode == RGN_COPY) {
            m_dc.clip.reset();
            m_clipApplied = false;
        }
        return;
    }
    const QTransform& toUnits = deviceUnits ? m_device.deviceToTarget : toTarget();
    if (!finiteAndInvertible(toUnits))
        return;
    combineClip(toUnits.map(*region), mode);
}

void GdiCanvas::offsetClip(QPointF delta)
{
    if (!m_dc.clip || !finiteAndInvertible(toTarget()))
        return;
    const QPointF d = toTarget().map(delta) - toTarget().map(QPointF(0, 0));
    m_dc.clip->translate(d);
    m_clipApplied = false;
}

void GdiCanvas::setMetaRegion()
{
    if (!m_dc.clip)
        return;
    m_dc.metaClip = m_dc.metaClip ? m_dc.metaClip->intersected(*m_dc.clip) : *m_dc.clip;
    m_dc.clip.reset();
    m_clipApplied = false;
}

} // namespace platform::metafile
