#include "gdi_canvas.h"

#include "mix_mode.h"
#include "platform/cost_budget.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace platform::metafile {

namespace {

// The least ink of a pen thinner than a pixel, so that it never vanishes.
constexpr double MinThinPenInk = 0.15;
// Pens thinner than this many HIMETRIC are the writer's "thinnest line": one full pixel.
constexpr double HairlineHimetric = 1.5;

// Dash and gap lengths of the styled pens, as Windows draws them: cosmetic pens in device
// pixels, geometric pens in pen widths.
std::vector<double> cosmeticDashes(quint32 style)
{
    switch (style) {
    case PS_DASH:
        return {18, 6};
    case PS_DOT:
        return {3, 3};
    case PS_DASHDOT:
        return {9, 6, 3, 6};
    case PS_DASHDOTDOT:
        return {9, 3, 3, 3, 3, 3};
    case PS_ALTERNATE:
        return {1, 1};
    default:
        return {};
    }
}

std::vector<double> geometricDashes(quint32 style)
{
    switch (style) {
    case PS_DASH:
        return {3, 1};
    case PS_DOT:
        return {1, 1};
    case PS_DASHDOT:
        return {3, 1, 1, 1};
    case PS_DASHDOTDOT:
        return {3, 1, 1, 1, 1, 1};
    case PS_ALTERNATE:
        return {1, 1};
    default:
        return {};
    }
}

Qt::BrushStyle hatchStyle(int hatch)
{
    switch (hatch) {
    case HS_HORIZONTAL:
        return Qt::HorPattern;
    case HS_VERTICAL:
        return Qt::VerPattern;
    case HS_FDIAGONAL:
        return Qt::FDiagPattern;
    case HS_BDIAGONAL:
        return Qt::BDiagPattern;
    case HS_CROSS:
        return Qt::CrossPattern;
    case HS_DIAGCROSS:
        return Qt::DiagCrossPattern;
    default:
        return Qt::SolidPattern;
    }
}

// `path` (in device pixels) with the points of its horizontal and vertical line edges moved
// to the nearest pixel centre.
QPainterPath snappedToPixels(const QPainterPath& path)
{
    const int n = path.elementCount();
    std::vector<QPointF> points(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        points[size_t(i)] = path.elementAt(i);
    auto lineBetween = [&](int a, int b) {
        return b >= 0 && b < n && path.elementAt(std::max(a, b)).isLineTo();
    };
    for (int i = 0; i < n; ++i) {
        if (path.elementAt(i).isCurveTo()
            || (i > 0 && path.elementAt(i).type == QPainterPath::CurveToDataElement))
            continue;
        const QPointF p = path.elementAt(i);
        bool snapX = false;
        bool snapY = false;
        for (const int j : {i - 1, i + 1}) {
            if (!lineBetween(i, j))
                continue;
            const QPointF q = path.elementAt(j);
            snapX = snapX || std::abs(p.x() - q.x()) < 1e-6;
            snapY = snapY || std::abs(p.y() - q.y()) < 1e-6;
        }
        if (snapX)
            points[size_t(i)].setX(std::round(p.x()) + 0.5);
        if (snapY)
            points[size_t(i)].setY(std::round(p.y()) + 0.5);
    }
    QPainterPath out = path;
    for (int i = 0; i < n; ++i)
        out.setElementPositionAt(i, points[size_t(i)].x(), points[size_t(i)].y());
    return out;
}

} // namespace

QPen GdiCanvas::makePen()
{
    const GdiPen& p = m_dc.pen;
    const quint32 style = p.style & PS_STYLE_MASK;
    if (style == PS_NULL)
        return Qt::NoPen;
    const QTransform full = toTarget() * m_painterBase;
    const double scale = std::sqrt(std::abs(full.determinant()));
    const double wanted = p.width * scale;
    const bool hairline = wanted <= m_hairline * 1.5;
    QColor color = p.color;
    // A pen thinner than a pixel still draws one pixel wide, but only with the ink it
    // covers, as an anti-aliased renderer shows it; only width 0 means "one pixel".
    // Pens of a hundredth of a millimetre or less are the writer's "thinnest line".
    const double himetric = p.width * std::sqrt(std::abs(toTarget().determinant()))
        * m_device.himetricPerTargetUnit;
    if (p.width > 0 && wanted < m_hairline && himetric >= HairlineHimetric)
        color.setAlphaF(color.alphaF() * std::max(wanted / m_hairline, MinThinPenInk));
    // A pen wider than the picture covers all of it: no wider, so that an absurd width
    // costs no more than a reasonable one.
    const QRectF device = m_painterBase.mapRect(m_target);
    const double widest = 2 * std::hypot(device.width(), device.height()) + 16 * m_hairline;
    QPen pen(color, std::clamp(wanted, m_hairline, widest));
    pen.setCosmetic(true);

    // Windows draws the dashes of pens made by CreatePen only when they are one pixel
    // wide; wider ones come out solid. Pens made by ExtCreatePen keep their styles.
    std::vector<double> dashes;
    if (style == PS_USERSTYLE && !p.dashes.empty()) {
        const double unit = p.geometric && p.width > 0 ? p.width : 1.0;
        for (double d : p.dashes)
            dashes.push_back(std::max(d / unit, 0.1));
    } else if (p.geometric && !hairline) {
        dashes = geometricDashes(style);
    } else if (hairline || p.geometric) {
        dashes = cosmeticDashes(style);
    }
    if (!dashes.empty()) {
        if (dashes.size() % 2)
            dashes.push_back(dashes.back());
        pen.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
    }

    if (hairline) {
        pen.setCapStyle(dashes.empty() ? Qt::SquareCap : Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else {
        switch (p.style & PS_ENDCAP_MASK) {
        case PS_ENDCAP_SQUARE:
            pen.setCapStyle(Qt::SquareCap);
            break;
        case PS_ENDCAP_FLAT:
            pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (p.style & PS_JOIN_MASK) {
        case PS_JOIN_BEVEL:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case PS_JOIN_MITER:
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setMiterLimit(std::max(1.0, m_dc.miterLimit));
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
        }
    }
    return pen;
}

void GdiCanvas::applyRop2(int rop2)
{
    const MixMode m = mixModeOf(rop2);
    const QPaintEngine* engine = m_painter.paintEngine();
    if (m.mode != QPainter::CompositionMode_SourceOver && engine
        && engine->hasFeature(QPaintEngine::BlendModes))
        m_painter.setCompositionMode(m.mode);
    else
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

std::optional<QBrush> GdiCanvas::patternBrush(const GdiBrush& brush)
{
    QImage image = brush.pattern;
    if (brush.monochrome && !image.isNull()) {
        // A monochrome pattern paints its 0 bits in the text colour, its 1 bits in the
        // background colour: made into those colours once, for every fill that uses them.
        const QRgb foreground = m_dc.textColor.rgb();
        const QRgb background = m_dc.bkColor.rgb();
        if (m_pattern.image.isNull() || m_pattern.key != image.cacheKey()
            || m_pattern.foreground != foreground || m_pattern.background != background) {
            if (!m_pattern.image.isNull())
                m_budget.release(m_pattern.image.sizeInBytes());
            m_pattern = {};
            const qint64 pixels = qint64(image.width()) * image.height();
            if (!m_budget.charge(2 * pixels) || !m_budget.hold(4 * pixels))
                return std::nullopt;
            QImage mono = image.convertToFormat(QImage::Format_Mono);
            mono.setColorCount(2);
            const bool zeroIsDark = qGray(mono.color(0)) < qGray(mono.color(1));
            mono.setColor(zeroIsDark ? 0 : 1, foreground);
            mono.setColor(zeroIsDark ? 1 : 0, background);
            m_pattern.image = mono.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            m_budget.release(4 * pixels);
            if (m_pattern.image.isNull() || !m_budget.hold(m_pattern.image.sizeInBytes())) {
                m_pattern = {};
                return std::nullopt;
            }
            m_pattern.key = image.cacheKey();
            m_pattern.foreground = foreground;
            m_pattern.background = background;
        }
        image = m_pattern.image;
    }
    QBrush out(image);
    // One pattern pixel is one device pixel (1/96 inch), whatever the mapping.
    const QTransform full = m_painter.transform();
    const QTransform pixels = QTransform::fromScale(m_hairline, m_hairline)
        * QTransform::fromTranslate(m_dc.brushOrg.x(), m_dc.brushOrg.y());
    out.setTransform(pixels * full.inverted());
    return out;
}

QPainterPath GdiCanvas::withFillMode(QPainterPath path) const
{
    path.setFillRule(m_dc.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

void GdiCanvas::fillShape(const QPainterPath& path, const GdiBrush& brush)
{
    if (brush.style == BS_NULL)
        return;
    const MixMode mix = mixModeOf(m_dc.rop2);
    if (!mix.draw || !affordPath(path))
        return;
    applyRop2(m_dc.rop2);
    m_painter.setPen(Qt::NoPen);
    switch (brush.style) {
    case BS_HATCHED:
        if (m_dc.bkMode == OPAQUE) {
            m_painter.setBrush(mixColor(mix, m_dc.bkColor));
            m_painter.drawPath(path);
        }
        m_painter.setBrush(QBrush(mixColor(mix, brush.color), hatchStyle(brush.hatch)));
        break;
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
        if (!brush.pattern.isNull()) {
            if (const std::optional<QBrush> pattern = patternBrush(brush)) {
                m_painter.setBrush(*pattern);
                break;
            }
        }
        m_painter.setBrush(mixColor(mix, brush.color));
        break;
    default:
        m_painter.setBrush(mixColor(mix, brush.color));
        break;
    }
    m_painter.drawPath(path);
}

void GdiCanvas::strokeShape(const QPainterPath& path)
{
    QPen pen = makePen();
    if (pen.style() == Qt::NoPen)
        return;
    const MixMode mix = mixModeOf(m_dc.rop2);
    if (!mix.draw || !affordPath(path, pen.widthF()))
        return;
    applyRop2(m_dc.rop2);
    pen.setColor(mixColor(mix, pen.color()));
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    const QPaintEngine* engine = m_painter.paintEngine();
    if (pen.widthF() <= m_hairline && engine && engine->type() == QPaintEngine::Raster) {
        // On pixels, a one-pixel line along x or y is drawn through the pixels' centres, so
        // it stays crisp instead of smearing over two half-inked rows.
        const QTransform drawing = m_painter.transform();
        m_painter.setTransform(QTransform());
        m_painter.drawPath(snappedToPixels(drawing.map(path)));
        m_painter.setTransform(drawing);
        return;
    }
    m_painter.drawPath(path);
}

} // namespace platform::metafile
