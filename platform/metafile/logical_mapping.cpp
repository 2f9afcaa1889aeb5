#include "logical_mapping.h"

#include "geometry.h"

#include <algorithm>
#include <cmath>

namespace platform::metafile {

namespace {

constexpr double MmPerInch = 25.4;

// Millimetres per logical unit of the fixed map modes; 0 for the others.
double millimetresPerUnit(int mode)
{
    switch (mode) {
    case MM_LOMETRIC:
        return 0.1;
    case MM_HIMETRIC:
        return 0.01;
    case MM_LOENGLISH:
        return 0.01 * MmPerInch;
    case MM_HIENGLISH:
        return 0.001 * MmPerInch;
    case MM_TWIPS:
        return MmPerInch / 1440;
    default:
        return 0;
    }
}

} // namespace

void LogicalMapping::setMapMode(int mode)
{
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return;
    m_mapMode = mode;
}

void LogicalMapping::setWindowExt(QPointF ext)
{
    // Windows refuses a zero extent; so do we, keeping the mapping invertible.
    if (ext.x() == 0 || ext.y() == 0)
        return;
    m_windowExt = ext;
}

void LogicalMapping::setViewportExt(QPointF ext)
{
    if (ext.x() == 0 || ext.y() == 0)
        return;
    m_viewportExt = ext;
}

void LogicalMapping::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setWindowExt(QPointF(m_windowExt.x() * xNum / xDenom, m_windowExt.y() * yNum / yDenom));
}

void LogicalMapping::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setViewportExt(QPointF(m_viewportExt.x() * xNum / xDenom, m_viewportExt.y() * yNum / yDenom));
}

void LogicalMapping::setWorldTransform(const QTransform& world)
{
    if (!finiteAndInvertible(world))
        return;
    m_world = world;
}

void LogicalMapping::modifyWorldTransform(const QTransform& xform, quint32 mode)
{
    switch (mode) {
    case 1: // MWT_IDENTITY
        setWorldTransform(QTransform());
        break;
    case 2: // MWT_LEFTMULTIPLY: the new transform applies first
        setWorldTransform(xform * m_world);
        break;
    case 3: // MWT_RIGHTMULTIPLY
        setWorldTransform(m_world * xform);
        break;
    case 4: // MWT_SET
        setWorldTransform(xform);
        break;
    default:
        break;
    }
}

QTransform LogicalMapping::toTarget(const DeviceMapping& device) const
{
    double sx = 1;
    double sy = 1;
    int mode = m_mapMode;
    if (mode == MM_TEXT && device.scaledTextMode)
        mode = MM_ANISOTROPIC;
    if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        sx = m_viewportExt.x() / m_windowExt.x();
        sy = m_viewportExt.y() / m_windowExt.y();
        if (mode == MM_ISOTROPIC) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
    }
    // The fixed map modes' y grows upwards.
    if (const double mm = millimetresPerUnit(mode); mm > 0) {
        sx = mm * device.unitsPerMmX;
        sy = -mm * device.unitsPerMmY;
    }
    const QTransform page(sx, 0, 0, sy, m_viewportOrg.x() - m_windowOrg.x() * sx,
                          m_viewportOrg.y() - m_windowOrg.y() * sy);
    return m_world * page * device.deviceToTarget;
}

} // namespace platform::metafile
