#include "gdi_canvas.h"

#include "geometry.h"
#include "platform/cost_budget.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>

namespace platform::metafile {

namespace {

// Path elements and glyphs in units of work.
constexpr qint64 ElementCost = 8;
// Every drawing that reaches the painter, beside its area and elements; under a clip path,
// each costs besides about this much per scan line of the clip.
constexpr qint64 DrawCost = 64;
constexpr qint64 ClipLineCost = 16;
// Per device pixel of a filled outline's length.
constexpr qint64 OutlineCost = 4;

} // namespace

GdiCanvas::GdiCanvas(QPainter& painter, const QRectF& target, const DeviceMapping& mapping,
                     CostBudget& budget)
    : m_painter(painter)
    , m_budget(budget)
    , m_target(target)
    , m_device(mapping)
    , m_painterBase(painter.transform())
{
    if (const QPaintDevice* device = painter.device())
        m_hairline = std::max(1.0, device->logicalDpiX() / 96.0);
    m_deviceBounds = reachableDeviceBounds(painter, target);
    m_chargeArea = drawingSpendsPixels(painter);
    m_clipBounds = m_deviceBounds;
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

GdiCanvas::~GdiCanvas()
{
    if (!m_pattern.image.isNull())
        m_budget.release(m_pattern.image.sizeInBytes());
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_painterBase);
}

// ------------------------------------------------------------------------------- mapping

const QTransform& GdiCanvas::toTarget()
{
    if (!m_toTargetValid) {
        m_toTarget = m_dc.mapping.toTarget(m_device);
        m_toTargetValid = true;
    }
    return m_toTarget;
}

bool GdiCanvas::charge(qint64 units)
{
    return m_budget.charge(units);
}

void GdiCanvas::stop()
{
    m_budget.charge(m_budget.workLeft() + 1);
}

bool GdiCanvas::affordDrawing(const QRectF& bounds, qint64 elements, double penWidth,
                              double strokeLength)
{
    if (m_budget.spent())
        return false;
    const QRectF device = m_painter.deviceTransform().mapRect(bounds);
    if (!saneRect(device))
        return false;
    const double area = m_chargeArea ? touchedArea(device, m_clipBounds, penWidth, strokeLength)
                                     : 0;
    const qint64 clipLines = (m_dc.clip || m_dc.metaClip) && m_chargeArea
        ? qint64(std::max(0.0, m_clipBounds.height()))
        : 0;
    return m_budget.charge(DrawCost + ClipLineCost * clipLines + ElementCost * elements
                           + qint64(area));
}

bool GdiCanvas::affordPath(const QPainterPath& path, double penWidth)
{
    double length = 0;
    if (m_chargeArea) {
        length = deviceOutlineLength(path, m_painter.deviceTransform(), m_clipBounds);
        if (!std::isfinite(length))
            return false;
    }
    // A fill's rasteriser walks its outline as well as covering its area.
    if (penWidth < 0 && !m_budget.charge(qint64(length) * OutlineCost))
        return false;
    return affordDrawing(path.controlPointRect(), path.elementCount(), penWidth, length);
}

void GdiCanvas::saveDc()
{
    if (m_saved.size() < MaxSaveDepth)
        m_saved.push_back(m_dc);
}

void GdiCanvas::restoreDc(int which)
{
    const qsizetype count = qsizetype(m_saved.size());
    const qsizetype index = which < 0 ? count + which : qsizetype(which) - 1;
    if (which == 0 || index < 0 || index >= count)
        return;
    m_dc = std::move(m_saved[size_t(index)]);
    m_saved.resize(size_t(index));
    m_toTargetValid = false;
    m_clipApplied = false;
}

void GdiCanvas::select(const GdiObject& object)
{
    if (const auto* pen = std::get_if<GdiPen>(&object))
        selectPen(*pen);
    else if (const auto* brush = std::get_if<GdiBrush>(&object))
        selectBrush(*brush);
    else if (const auto* font = std::get_if<GdiFont>(&object))
        selectFont(*font);
    else if (const auto* palette = std::get_if<GdiPalette>(&object))
        selectPalette(*palette);
    else if (const auto* region = std::get_if<GdiRegion>(&object))
        selectClipRegion(region->path, RGN_COPY, false);
}

// ------------------------------------------------------------------------- drawing state

bool GdiCanvas::usable()
{
    if (!finiteAndInvertible(toTarget()))
        return false;
    if (!m_clipApplied)
        applyClip();
    return true;
}

void GdiCanvas::setPainterTransform(const QTransform& t)
{
    m_painter.setTransform(t * m_painterBase);
}

QPainterPath GdiCanvas::frameTargetPath() const
{
    return rectPath(m_target);
}

void GdiCanvas::applyClip()
{
    // The frame is the picture: nothing is drawn outside it.
    m_painter.setTransform(m_painterBase);
    m_painter.setClipRect(m_target, Qt::ReplaceClip);
    if (m_dc.metaClip)
        m_painter.setClipPath(*m_dc.metaClip, Qt::IntersectClip);
    if (m_dc.clip)
        m_painter.setClipPath(*m_dc.clip, Qt::IntersectClip);
    m_clipApplied = true;
    // Putting a clip path on the painter costs its elements, and bounds what later fills touch.
    const qint64 elements = (m_dc.metaClip ? m_dc.metaClip->elementCount() : 0)
        + (m_dc.clip ? m_dc.clip->elementCount() : 0);
    m_budget.charge(ElementCost * elements);
    m_clipBounds = m_painter.deviceTransform().mapRect(m_painter.clipBoundingRect())
        & m_deviceBounds;
}

} // namespace platform::metafile
