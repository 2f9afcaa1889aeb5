#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::metafile {

/// True when every coefficient of `t` is finite and `t` is invertible, so that it can map
/// coordinates without producing infinities.
inline bool finiteAndInvertible(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21())
        && std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy())
        && std::isfinite(t.determinant()) && std::abs(t.determinant()) > 1e-18;
}

/// Coordinates beyond this (in pixels of any device) are no drawing anyone could see, and
/// more than the painter can take.
inline constexpr double MaxCoordinate = double(1 << 24);

/// True when `r` is finite and within MaxCoordinate of the origin.
inline bool saneRect(const QRectF& r)
{
    const double edges[] = {r.left(), r.top(), r.right(), r.bottom()};
    for (const double e : edges) {
        if (!std::isfinite(e) || std::abs(e) > MaxCoordinate)
            return false;
    }
    return true;
}

/// Length of the image of a unit vector along x under the linear part of `t`.
inline double xScale(const QTransform& t)
{
    return std::hypot(t.m11(), t.m12());
}

/// Length of the image of a unit vector along y under the linear part of `t`.
inline double yScale(const QTransform& t)
{
    return std::hypot(t.m21(), t.m22());
}

/// The length in device pixels of the control polygon of `path` mapped by `device`, each
/// point first brought inside `within` (the part of the device drawing can reach). It is at
/// least as long as the visible part of the curves the path makes, and what rasterising its
/// outline costs grows with it. Infinite or NaN when a point does not map to a finite one.
inline double deviceOutlineLength(const QPainterPath& path, const QTransform& device,
                                  const QRectF& within)
{
    const auto inside = [&](QPointF p) {
        return QPointF(std::clamp(p.x(), within.left(), within.right()),
                       std::clamp(p.y(), within.top(), within.bottom()));
    };
    double length = 0;
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        const QPointF mapped = device.map(QPointF(e.x, e.y));
        if (!std::isfinite(mapped.x()) || !std::isfinite(mapped.y()))
            return std::numeric_limits<double>::infinity();
        const QPointF p = inside(mapped);
        if (!e.isMoveTo())
            length += std::hypot(p.x() - last.x(), p.y() - last.y());
        last = p;
    }
    return length;
}

/// The device pixels that drawing onto `painter` into `target` (painter coordinates) can
/// reach: the target on the device, within the device.
inline QRectF reachableDeviceBounds(const QPainter& painter, const QRectF& target)
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return {};
    const double ratio = device->devicePixelRatio();
    return QRectF(0, 0, device->width() * ratio, device->height() * ratio)
        & painter.deviceTransform().mapRect(target);
}

/// True when what drawing onto `painter` costs grows with the pixels it covers (a raster
/// device); on vector devices (PDF, printers) it does not.
inline bool drawingSpendsPixels(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    return engine && engine->type() == QPaintEngine::Raster;
}

/// The device pixels a drawing with device bounds `device` may touch within `within`: for a
/// fill (`penWidth` < 0) its bounds grown by a pixel, for a stroke its bounds grown by half
/// the pen's width but at most its `length` times its width.
inline double touchedArea(const QRectF& device, const QRectF& within, double penWidth,
                          double length)
{
    const double grow = std::max(penWidth, 0.0) / 2 + 1;
    const QRectF touched = device.adjusted(-grow, -grow, grow, grow) & within;
    if (touched.isEmpty())
        return 0;
    double area = touched.width() * touched.height();
    if (penWidth >= 0)
        area = std::min(area, (length + 4 * grow) * (penWidth + 2));
    return area;
}

/// `path` (in the coordinates `device` maps to device pixels) cut to `within`, the device
/// pixels drawing can reach, grown by a margin, when it reaches far beyond them: the
/// rasteriser walks every row of a shape, drawn or not, so a polygon a few points long but
/// millions of pixels tall would cost seconds. Paths within reach, and those too complex to
/// cut cheaply, are given back as they are.
inline QPainterPath withinReach(const QPainterPath& path, const QTransform& device,
                                const QRectF& within)
{
    constexpr double Margin = 64;
    constexpr int MaxCutElements = 4096;
    const QRectF reach = within.adjusted(-Margin, -Margin, Margin, Margin);
    const QRectF bounds = device.mapRect(path.controlPointRect());
    if (reach.contains(bounds) || path.elementCount() > MaxCutElements
        || bounds.width() * bounds.height() <= 4 * reach.width() * reach.height()
        || !finiteAndInvertible(device))
        return path;
    QPainterPath box;
    box.addRect(reach);
    QPainterPath cut = path.intersected(device.inverted().map(box));
    cut.setFillRule(path.fillRule());
    return cut;
}

/// The rectangle `box`, corners in any order, as a path.
inline QPainterPath rectPath(const QRectF& box)
{
    QPainterPath path;
    path.addRect(box.normalized());
    return path;
}

} // namespace platform::metafile
