#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <cmath>

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

/// The rectangle `box`, corners in any order, as a path.
inline QPainterPath rectPath(const QRectF& box)
{
    QPainterPath path;
    path.addRect(box.normalized());
    return path;
}

} // namespace platform::metafile
