#include "gdi_canvas.h"

#include "geometry.h"
#include "mix_mode.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::metafile {

namespace {

// Work per path element of the region operations (simplifying, subtracting).
constexpr qint64 ElementWork = 64;

// Degrees, in [0, 360).
double normalizedDegrees(double a)
{
    a = std::fmod(a, 360.0);
    return a < 0 ? a + 360.0 : a;
}

} // namespace

void GdiCanvas::drawShape(const QPainterPath& logicalPath, bool fill, bool closedFigure)
{
    if (m_pathOpen) {
        addToPath(logicalPath, !closedFigure);
        return;
    }
    if (!usable())
        return;
    setPainterTransform(toTarget());
    if (fill)
        fillShape(withFillMode(logicalPath), m_dc.brush);
    strokeShape(logicalPath);
}

void GdiCanvas::addToPath(const QPainterPath& logicalPath, bool connectFromCurrent)
{
    if (!finiteAndInvertible(toTarget()))
        return;
    const QPainterPath mapped = toTarget().map(logicalPath);
    if (!saneRect(mapped.controlPointRect()) || !charge(mapped.elementCount()))
        return;
    if (connectFromCurrent) {
        const QPointF start = toTarget().map(m_dc.currentPos);
        if (m_pathClosedFigure || m_path.elementCount() == 0) {
            m_path.moveTo(start);
            m_pathClosedFigure = false;
        }
        // Continue the open figure: every element after the figure's first point.
        for (int i = 0; i < mapped.elementCount(); ++i) {
            const QPainterPath::Element& e = mapped.elementAt(i);
            if (e.isMoveTo()) {
                if (i > 0) {
                    m_path.moveTo(e.x, e.y);
                }
            } else if (e.isLineTo()) {
                m_path.lineTo(e.x, e.y);
            } else if (e.isCurveTo() && i + 2 < mapped.elementCount()) {
                const QPainterPath::Element& c2 = mapped.elementAt(i + 1);
                const QPainterPath::Element& end = mapped.elementAt(i + 2);
                m_path.cubicTo(e.x, e.y, c2.x, c2.y, end.x, end.y);
                i += 2;
            }
        }
    } else {
        m_path.addPath(mapped);
        m_pathClosedFigure = true;
    }
}

void GdiCanvas::moveTo(QPointF p)
{
    m_dc.currentPos = p;
    if (m_pathOpen && finiteAndInvertible(toTarget())) {
        m_path.moveTo(toTarget().map(p));
        m_pathClosedFigure = false;
    }
}

void GdiCanvas::lineTo(QPointF p)
{
    QPainterPath path(m_dc.currentPos);
    path.lineTo(p);
    drawShape(path, false, false);
    m_dc.currentPos = p;
}

void GdiCanvas::polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    if (m_pathOpen) {
        // A polyline in a path starts a figure of its own.
        if (finiteAndInvertible(toTarget())) {
            m_path.addPolygon(toTarget().map(points));
            m_pathClosedFigure = false;
        }
        return;
    }
    drawShape(path, false, false);
}

void GdiCanvas::polylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    QPainterPath path(m_dc.currentPos);
    for (const QPointF& p : points)
        path.lineTo(p);
    drawShape(path, false, false);
    m_dc.currentPos = points.back();
}

void GdiCanvas::polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    drawShape(path, true, true);
}

void GdiCanvas::polyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& poly : polygons) {
        if (poly.size() < 2)
            continue;
        path.addPolygon(poly);
        path.closeSubpath();
    }
    if (!path.isEmpty())
        drawShape(path, true, true);
}

void GdiCanvas::polyPolyline(const std::vector<QPolygonF>& polylines)
{
    for (const QPolygonF& line : polylines)
        polyline(line);
}

void GdiCanvas::polyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (m_pathOpen) {
        if (finiteAndInvertible(toTarget())) {
            m_path.addPath(toTarget().map(path));
            m_pathClosedFigure = false;
        }
        return;
    }
    drawShape(path, false, false);
}

void GdiCanvas::polyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    QPainterPath path(m_dc.currentPos);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    drawShape(path, false, false);
    m_dc.currentPos = points[i - 1];
}

void GdiCanvas::polyDraw(const QPolygonF& points, const std::vector<quint8>& types)
{
    constexpr quint8 PT_CLOSEFIGURE = 1;
    constexpr quint8 PT_LINETO = 2;
    constexpr quint8 PT_BEZIERTO = 4;
    constexpr quint8 PT_MOVETO = 6;
    QPainterPath path(m_dc.currentPos);
    QPointF figureStart = m_dc.currentPos;
    const qsizetype n = std::min<qsizetype>(points.size(), qsizetype(types.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 type = types[size_t(i)] & ~PT_CLOSEFIGURE;
        if (type == PT_MOVETO) {
            path.moveTo(points[i]);
            figureStart = points[i];
        } else if (type == PT_LINETO) {
            path.lineTo(points[i]);
        } else if (type == PT_BEZIERTO && i + 2 < n) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            return; // an invalid sequence draws nothing, as in Windows
        }
        if (types[size_t(i)] & PT_CLOSEFIGURE) {
            path.lineTo(figureStart);
            path.closeSubpath();
        }
        m_dc.currentPos = points[i];
    }
    drawShape(path, false, false);
}

void GdiCanvas::rectangle(const QRectF& box)
{
    drawShape(rectPath(box), true, true);
}

void GdiCanvas::roundRect(const QRectF& box, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    drawShape(path, true, true);
}

void GdiCanvas::ellipse(const QRectF& box)
{
    QPainterPath path;
    path.addEllipse(box.normalized());
    drawShape(path, true, true);
}

QPainterPath GdiCanvas::arcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end)
{
    const QRectF r = box.normalized();
    QPainterPath path;
    if (r.width() <= 0 || r.height() <= 0)
        return path;
    const QPointF c = r.center();
    const double a = r.width() / 2;
    const double b = r.height() / 2;
    // QPainterPath's angles: degrees of the ellipse's parameter, counter-clockwise on a
    // y-down surface.
    auto angleOf = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / b, (p.x() - c.x()) / a) * 180 / std::numbers::pi;
    };
    const double t0 = angleOf(start);
    const double t1 = angleOf(end);
    // The arc direction is seen on the device: a mapping that mirrors the picture turns a
    // counter-clockwise sweep in logical units into a clockwise one on the device.
    const bool mirrored = toTarget().determinant() < 0;
    const bool counterClockwise = (m_dc.arcDirection != AD_CLOCKWISE) != mirrored;
    double sweep = counterClockwise ? normalizedDegrees(t1 - t0) : -normalizedDegrees(t0 - t1);
    if (sweep == 0)
        sweep = counterClockwise ? 360 : -360;
    switch (kind) {
    case ArcKind::Arc:
    case ArcKind::Chord:
        path.arcMoveTo(r, t0);
        path.arcTo(r, t0, sweep);
        if (kind == ArcKind::Chord)
            path.closeSubpath();
        break;
    case ArcKind::ArcTo:
        path.moveTo(m_dc.currentPos);
        path.arcTo(r, t0, sweep);
        break;
    case ArcKind::Pie:
        path.moveTo(c);
        path.arcTo(r, t0, sweep);
        path.closeSubpath();
        break;
    }
    return path;
}

void GdiCanvas::arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end)
{
    const QPainterPath path = arcPath(kind, box, start, end);
    if (path.isEmpty())
        return;
    switch (kind) {
    case ArcKind::Arc:
        drawShape(path, false, false);
        break;
    case ArcKind::ArcTo:
        drawShape(path, false, false);
        m_dc.currentPos = path.currentPosition();
        break;
    case ArcKind::Chord:
    case ArcKind::Pie:
        drawShape(path, true, true);
        break;
    }
}

void GdiCanvas::angleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!(radius > 0) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg))
        return;
    const QRectF r(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(m_dc.currentPos);
    path.arcTo(r, startDeg, std::clamp(sweepDeg, -3600.0, 3600.0));
    drawShape(path, false, false);
    m_dc.currentPos = path.currentPosition();
}

void GdiCanvas::setPixel(QPointF p, const QColor& color)
{
    if (m_pathOpen || !usable())
        return;
    const QPointF at = toTarget().map(p);
    // One device pixel of the metafile, at least one pixel of ours.
    const double base = std::max(1e-9, std::sqrt(std::abs(m_painterBase.determinant())));
    const double size = std::max(std::abs(m_device.deviceToTarget.m11()), m_hairline / base);
    m_painter.setTransform(m_painterBase);
    const QRectF pixel(at.x(), at.y(), size, size);
    if (!affordDrawing(pixel, 1))
        return;
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.fillRect(pixel, color);
}

// Regions and gradients

void GdiCanvas::fillRegion(const QPainterPath& region, const GdiBrush& brush, bool deviceUnits)
{
    if (m_pathOpen || !usable())
        return;
    setPainterTransform(deviceUnits ? m_device.deviceToTarget : toTarget());
    fillShape(region, brush);
}

void GdiCanvas::frameRegion(const QPainterPath& region, const GdiBrush& brush, QSizeF size,
                            bool deviceUnits)
{
    if (m_pathOpen || !usable())
        return;
    // The frame is the band of the given width and height just inside the region's edge.
    const QTransform toUnits = deviceUnits ? m_device.deviceToTarget : toTarget();
    double w = std::abs(size.width());
    double hgt = std::abs(size.height());
    if (deviceUnits) {
        // The size is logical; the region is in device units.
        w *= xScale(toTarget()) / std::max(1e-12, xScale(toUnits));
        hgt *= yScale(toTarget()) / std::max(1e-12, yScale(toUnits));
    }
    if (!charge(ElementWork * region.elementCount()))
        return;
    QPainterPath inner;
    const QPainterPath outline = region.simplified();
    for (const QPolygonF& poly : outline.toFillPolygons()) {
        const QRectF b = poly.boundingRect();
        inner.addRect(b.adjusted(w, hgt, -w, -hgt));
    }
    setPainterTransform(toUnits);
    fillShape(outline.subtracted(inner), brush);
}

void GdiCanvas::invertRegion(const QPainterPath& region, bool deviceUnits)
{
    if (m_pathOpen || !usable())
        return;
    const QPaintEngine* engine = m_painter.paintEngine();
    if (!engine || !engine->hasFeature(QPaintEngine::BlendModes))
        return;
    setPainterTransform(deviceUnits ? m_device.deviceToTarget : toTarget());
    if (!affordPath(region))
        return;
    m_painter.setCompositionMode(QPainter::CompositionMode_Difference);
    m_painter.fillPath(region, Qt::white);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::fillGradient(const QPainterPath& logicalPath, const QBrush& brush)
{
    if (m_pathOpen || !usable() || !mixModeOf(m_dc.rop2).draw)
        return;
    setPainterTransform(toTarget());
    if (!affordPath(logicalPath))
        return;
    applyRop2(m_dc.rop2);
    m_painter.fillPath(logicalPath, brush);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace platform::metafile
