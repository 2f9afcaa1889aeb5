#include "gdi_canvas.h"

#include "geometry.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace platform::metafile {

GdiCanvas::GdiCanvas(QPainter& painter, const QRectF& target, const DeviceMapping& mapping)
    : m_painter(painter)
    , m_target(target)
    , m_device(mapping)
    , m_painterBase(painter.transform())
{
    if (const QPaintDevice* device = painter.device())
        m_hairline = std::max(1.0, device->logicalDpiX() / 96.0);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

GdiCanvas::~GdiCanvas()
{
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
}

} // namespace platform::metafile
