#pragma once

#include "gdi_objects.h"

#include <QPointF>
#include <QTransform>

namespace platform::metafile {

/// How a metafile's device units land on the painter.
struct DeviceMapping {
    /// Device units to the painter's coordinates (before the painter's own transform).
    QTransform deviceToTarget;
    /// Device units per millimetre, for the fixed mapping modes (MM_LOMETRIC ... MM_TWIPS).
    double unitsPerMmX = 96 / 25.4;
    double unitsPerMmY = 96 / 25.4;
    /// WMF: MM_TEXT scales by window and viewport like MM_ANISOTROPIC (a WMF has no device
    /// of its own; its window is always mapped onto the picture's frame).
    bool scaledTextMode = false;
    /// The physical size of one unit of the painter's coordinates, in HIMETRIC.
    double himetricPerTargetUnit = 2540.0 / 96;
};

/// The mapping of a device context from logical units to device units ([MS-EMF] 2.3.11,
/// [MS-WMF] 2.3.5): the world transform, then the window onto the viewport as the map mode
/// says. A value, so that SaveDC keeps a copy. Like Windows, the setters leave the mapping
/// as it was for what would make it unusable: an unknown map mode, a zero extent or
/// denominator, a world transform that is not finite or not invertible.
class LogicalMapping {
public:
    int mapMode() const { return m_mapMode; }
    QPointF windowOrg() const { return m_windowOrg; }
    QPointF windowExt() const { return m_windowExt; }
    QPointF viewportOrg() const { return m_viewportOrg; }
    QPointF viewportExt() const { return m_viewportExt; }
    const QTransform& world() const { return m_world; }

    /// MM_TEXT 1 ... MM_ANISOTROPIC 8.
    void setMapMode(int mode);
    void setWindowOrg(QPointF org) { m_windowOrg = org; }
    void setWindowExt(QPointF ext);
    void setViewportOrg(QPointF org) { m_viewportOrg = org; }
    void setViewportExt(QPointF ext);
    void offsetWindowOrg(QPointF delta) { m_windowOrg += delta; }
    void offsetViewportOrg(QPointF delta) { m_viewportOrg += delta; }
    /// Multiplies the window extent by xNum / xDenom and yNum / yDenom.
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void setWorldTransform(const QTransform& world);
    /// MWT_IDENTITY 1, MWT_LEFTMULTIPLY 2 (`xform` applies first), MWT_RIGHTMULTIPLY 3,
    /// MWT_SET 4; other modes change nothing.
    void modifyWorldTransform(const QTransform& xform, quint32 mode);

    /// Logical units to the painter's coordinates on `device`: the world transform, the
    /// window onto the viewport (the fixed map modes by the device's units per millimetre,
    /// y upwards), then the device onto the painter. MM_ISOTROPIC takes the smaller of the
    /// two scales on both axes, each keeping its sign.
    QTransform toTarget(const DeviceMapping& device) const;

private:
    int m_mapMode = MM_TEXT;
    QPointF m_windowOrg{0, 0};
    QPointF m_windowExt{1, 1};
    QPointF m_viewportOrg{0, 0};
    QPointF m_viewportExt{1, 1};
    QTransform m_world;
};

} // namespace platform::metafile
