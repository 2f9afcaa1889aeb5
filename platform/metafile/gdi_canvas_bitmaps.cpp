#include "gdi_canvas.h"

#include "geometry.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>

namespace platform::metafile {

void GdiCanvas::patBlt(const QRectF& box, quint32 rop)
{
    if (m_pathOpen || !usable())
        return;
    setPainterTransform(toTarget());
    const QPainterPath path = rectPath(box);
    const QPaintEngine* engine = m_painter.paintEngine();
    const bool blend = engine && engine->hasFeature(QPaintEngine::BlendModes);
    m_painter.setPen(Qt::NoPen);
    // Fills of a colour of their own are charged here, those of the brush in fillShape().
    if ((rop == BLACKNESS || rop == WHITENESS || (rop == DSTINVERT && blend)) && !affordPath(path))
        return;
    switch (rop) {
    case BLACKNESS:
        m_painter.fillPath(path, Qt::black);
        break;
    case WHITENESS:
        m_painter.fillPath(path, Qt::white);
        break;
    case DSTINVERT:
        if (blend) {
            m_painter.setCompositionMode(QPainter::CompositionMode_Difference);
            m_painter.fillPath(path, Qt::white);
        }
        break;
    case PATINVERT:
        if (blend) {
            m_painter.setCompositionMode(QPainter::CompositionMode_Difference);
            fillShape(path, m_dc.brush);
        }
        break;
    case NOOP:
        break;
    default:
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        fillShape(path, m_dc.brush);
        break;
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::drawImage(const QRectF& box, const QImage& image, const QRectF& source, quint32 rop,
                          int constantAlpha)
{
    if (m_pathOpen || image.isNull() || !usable())
        return;
    if (source.width() <= 0 || source.height() <= 0 || box.width() == 0 || box.height() == 0)
        return;
    // Ternary operations on a source bitmap, as composition modes where one fits.
    QImage picture = image;
    const qint64 pixels = qint64(image.width()) * image.height();
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case NOOP:
        return;
    case BLACKNESS:
    case WHITENESS:
    case PATCOPY:
    case PATINVERT:
    case DSTINVERT:
        patBlt(box, rop);
        return;
    case SRCAND:
        mode = QPainter::CompositionMode_Multiply;
        break;
    case SRCPAINT:
        mode = QPainter::CompositionMode_Lighten;
        break;
    case SRCINVERT:
        mode = QPainter::CompositionMode_Difference;
        break;
    case NOTSRCCOPY:
        if (!charge(pixels))
            return;
        picture.invertPixels();
        break;
    case MERGEPAINT:
        if (!charge(pixels))
            return;
        picture.invertPixels();
        mode = QPainter::CompositionMode_Lighten;
        break;
    default:
        break;
    }
    const QPaintEngine* engine = m_painter.paintEngine();
    if (mode != QPainter::CompositionMode_SourceOver
        && (!engine || !engine->hasFeature(QPaintEngine::BlendModes)))
        mode = QPainter::CompositionMode_SourceOver;

    // Map the source rectangle onto the box; a negative extent mirrors the bitmap.
    QTransform placement;
    placement.translate(box.x(), box.y());
    placement.scale(box.width() / source.width(), box.height() / source.height());
    placement.translate(-source.x(), -source.y());
    setPainterTransform(placement * toTarget());
    // Where the device does not draw pixels (a PDF), the bitmap's own pixels are the work.
    if (!affordDrawing(source, 4) || (!m_chargeArea && !charge(pixels)))
        return;
    m_painter.setCompositionMode(mode);
    m_painter.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    m_painter.drawImage(source, picture, source);
    m_painter.setOpacity(1.0);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace platform::metafile
