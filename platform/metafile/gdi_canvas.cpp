#include "gdi_canvas.h"

#include "geometry.h"
#include "platform/fonts.h"
#include "text_decoding.h"
#include "text_layout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::metafile {

namespace {

// Font sizes above this many device pixels draw nothing useful and cost a lot.
constexpr double MaxFontPixels = 20000;
// The least ink of a pen thinner than a pixel, so that it never vanishes.
constexpr double MinThinPenInk = 0.15;
constexpr double HairlineHimetric = 1.5;
// Glyphs in the standard Macintosh order that TrueType faces begin with.
constexpr char16_t StandardGlyphCount = 258;

// Degrees, in [0, 360).
double normalizedDegrees(double a)
{
    a = std::fmod(a, 360.0);
    return a < 0 ? a + 360.0 : a;
}

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

QColor inverted(const QColor& c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue(), c.alpha());
}

// How a binary raster operation reaches QPainter: whether to draw at all, the composition
// mode, and what becomes of the pen or brush colour. Bitwise operations on 0/255 channels
// are products (AND), maxima (OR) and differences (XOR); partial values blend smoothly.
struct MixMode {
    bool draw = true;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    enum {
        Keep,
        Invert,
        Black,
        White
    } color = Keep;
};

MixMode mixModeOf(int rop2)
{
    MixMode m;
    switch (rop2) {
    case R2_BLACK:
        m.color = MixMode::Black;
        break;
    case R2_WHITE:
        m.color = MixMode::White;
        break;
    case R2_NOP:
        m.draw = false;
        break;
    case R2_NOTCOPYPEN:
        m.color = MixMode::Invert;
        break;
    case R2_NOT:
        m.color = MixMode::White;
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_XORPEN:
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_NOTXORPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_MASKPEN:
        m.mode = QPainter::CompositionMode_Multiply;
        break;
    case R2_MASKNOTPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Multiply;
        break;
    case R2_MERGEPEN:
        m.mode = QPainter::CompositionMode_Lighten;
        break;
    case R2_MERGENOTPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Lighten;
        break;
    default:
        // R2_COPYPEN and the operations QPainter has no counterpart for.
        break;
    }
    return m;
}

QColor mixColor(const MixMode& m, const QColor& c)
{
    switch (m.color) {
    case MixMode::Keep:
        break;
    case MixMode::Invert:
        return inverted(c);
    case MixMode::Black:
        return Qt::black;
    case MixMode::White:
        return Qt::white;
    }
    return c;
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

// A font's family hint from LOGFONT's pitch and family byte.
QFont::StyleHint styleHintOf(int pitchAndFamily)
{
    switch (pitchAndFamily & 0xF0) {
    case 0x10: // FF_ROMAN
        return QFont::Serif;
    case 0x20: // FF_SWISS
        return QFont::SansSerif;
    case 0x30: // FF_MODERN
        return QFont::TypeWriter;
    case 0x40: // FF_SCRIPT
        return QFont::Cursive;
    case 0x50: // FF_DECORATIVE
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
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

QBrush GdiCanvas::patternBrush(const GdiBrush& brush)
{
    QImage image = brush.pattern;
    if (brush.monochrome && !image.isNull()) {
        // A monochrome pattern paints its 0 bits in the text colour, its 1 bits in the
        // background colour.
        QImage mono = image.convertToFormat(QImage::Format_Mono);
        mono.setColorCount(2);
        const bool zeroIsDark = qGray(mono.color(0)) < qGray(mono.color(1));
        mono.setColor(zeroIsDark ? 0 : 1, m_dc.textColor.rgb());
        mono.setColor(zeroIsDark ? 1 : 0, m_dc.bkColor.rgb());
        image = mono.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    QBrush out(image);
    // One pattern pixel is one device pixel (1/96 inch), whatever the mapping.
    const QTransform full = m_painter.transform();
    const QTransform pixels = QTransform::fromScale(m_hairline, m_hairline)
        * QTransform::fromTranslate(m_dc.brushOrg.x(), m_dc.brushOrg.y());
    out.setTransform(pixels * full.inverted());
    return out;
}

void GdiCanvas::fillShape(const QPainterPath& path, const GdiBrush& brush)
{
    if (brush.style == BS_NULL)
        return;
    const MixMode mix = mixModeOf(m_dc.rop2);
    if (!mix.draw)
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
            m_painter.setBrush(patternBrush(brush));
            break;
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
    if (!mix.draw)
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

void GdiCanvas::drawShape(const QPainterPath& logicalPath, bool fill, bool closedFigure)
{
    if (m_pathOpen) {
        addToPath(logicalPath, !closedFigure);
        return;
    }
    if (!usable())
        return;
    setPainterTransform(toTarget());
    if (fill) {
        QPainterPath filled = logicalPath;
        filled.setFillRule(m_dc.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
        fillShape(filled, m_dc.brush);
    }
    strokeShape(logicalPath);
}

void GdiCanvas::addToPath(const QPainterPath& logicalPath, bool connectFromCurrent)
{
    if (!finiteAndInvertible(toTarget()))
        return;
    const QPainterPath mapped = toTarget().map(logicalPath);
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

// ------------------------------------------------------------------------------ figures

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
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.fillRect(QRectF(at.x(), at.y(), size, size), color);
}

// -------------------------------------------------------------------------------- text

std::optional<QFont> GdiCanvas::realizeFont(const QString& family, double ys, double xs) const
{
    // The font's em height in our units, then its point size on our device.
    const GdiFont& f = m_dc.font;
    QFont font(family);
    font.setStyleHint(styleHintOf(f.pitchAndFamily));
    font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 1, 1000)));
    font.setItalic(f.italic);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QPaintDevice* device = m_painter.device();
    const double dpi = device ? device->logicalDpiY() : 96.0;
    const double base = std::sqrt(std::abs(m_painterBase.determinant()));
    double em = 0;
    if (f.height < 0) {
        em = -double(f.height) * ys;
    } else if (f.height > 0) {
        // A positive height is the cell (ascent + descent), not the em.
        QFont probe = font;
        probe.setPixelSize(1000);
        const QFontMetricsF pm(probe);
        const double cell = pm.ascent() + pm.descent();
        em = f.height * ys * (cell > 0 ? 1000 / cell : 1.0);
    } else {
        em = 16 * std::abs(m_device.deviceToTarget.m22());
    }
    if (!(em * base > 0.05) || em * base > MaxFontPixels)
        return std::nullopt;
    font.setPointSizeF(em * 72 / dpi);
    if (f.width != 0) {
        // A width asks for the average character width: stretch the face to it.
        const QFontMetricsF wm(font, device);
        const double average = wm.averageCharWidth();
        const double wanted = std::abs(f.width) * xs;
        if (average > 0) {
            const int stretch = int(std::lround(100 * wanted / average));
            if (std::abs(stretch - 100) > 2)
                font.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    return font;
}

std::optional<GdiCanvas::TextFace> GdiCanvas::textFace(const QString& rawText,
                                                       quint32 options) const
{
    const GdiFont& f = m_dc.font;
    QString face = f.face;
    if (face.startsWith(u'@')) // vertical variant of a CJK face
        face.remove(0, 1);
    // MathType's "MT Extra" has code points of its own (accents, arrows over letters) that
    // no installed face shows; drawing them as Symbol characters would put wrong glyphs
    // over the equation, so they are left out.
    if (face.compare(u"MT Extra", Qt::CaseInsensitive) == 0)
        return std::nullopt;
    TextFace chosen;
    chosen.symbol = isSymbolFont(face, f.charSet);
    chosen.family = installedFace(face.isEmpty() ? QStringLiteral("Arial") : face);
    // Glyph indexes name glyphs of the writer's font. TrueType faces, and the metric-
    // compatible faces that stand in for them, share the order of the first 258 glyphs
    // (the standard Macintosh set: ASCII and the common Latin letters); beyond it the
    // same index is another glyph, so such text is left out rather than garbled.
    chosen.glyphIndexes = options & ETO_GLYPH_INDEX;
    if (chosen.glyphIndexes
        && (chosen.symbol || m_pathOpen || !QFontDatabase::hasFamily(chosen.family)
            || std::any_of(rawText.begin(), rawText.end(),
                           [](QChar g) { return g.unicode() >= StandardGlyphCount; })))
        return std::nullopt;
    if (chosen.symbol)
        chosen.family = installedFace(QStringLiteral("Symbol"));
    return chosen;
}

void GdiCanvas::textOut(QPointF reference, const QString& rawText, const std::vector<double>& dx,
                        quint32 options, const std::optional<QRectF>& rect, bool advancedMode)
{
    if (!usable())
        return;
    const QTransform L = toTarget();
    if (rect && (options & ETO_OPAQUE) && !m_pathOpen) {
        setPainterTransform(L);
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painter.fillPath(rectPath(*rect), m_dc.bkColor);
    }
    if (rawText.isEmpty())
        return;
    const std::optional<TextFace> face = textFace(rawText, options);
    if (!face)
        return;
    const QString text = face->symbol ? symbolToUnicode(rawText) : rawText;
    const std::optional<QFont> font = realizeFont(face->family, yScale(L), xScale(L));
    if (!font)
        return;

    const QFontMetricsF fm(*font, m_painter.device());
    TextMetrics metrics;
    metrics.ascent = fm.ascent();
    metrics.descent = fm.descent();
    QGlyphRun glyphs;
    if (face->glyphIndexes) {
        glyphs.setRawFont(QRawFont::fromFont(*font));
        QList<quint32> indexes;
        for (const QChar unit : text)
            indexes.append(unit.unicode());
        glyphs.setGlyphIndexes(indexes);
        for (const QPointF& advance : glyphs.rawFont().advancesForGlyphIndexes(indexes))
            metrics.advances.push_back(advance.x());
    } else if (dx.empty()) {
        for (const QChar unit : text)
            metrics.advances.push_back(fm.horizontalAdvance(unit));
        metrics.wholeWidth = fm.horizontalAdvance(text);
    }
    const TextLayout layout = layoutText(m_dc, {reference, text.size(), dx, advancedMode}, metrics,
                                         L);
    if (layout.nextCurrentPos)
        m_dc.currentPos = *layout.nextCurrentPos;

    if (m_pathOpen) {
        QPainterPath outlines;
        for (qsizetype i = 0; i < text.size(); ++i)
            outlines.addText(layout.positions[size_t(i)], *font, text.at(i));
        m_path.addPath(layout.toTarget.map(outlines));
        return;
    }
    paintText(*font, text, face->glyphIndexes ? &glyphs : nullptr, !dx.empty(), layout,
              (options & ETO_CLIPPED) ? rect : std::nullopt);
}

void GdiCanvas::paintText(const QFont& font, const QString& text, QGlyphRun* glyphs, bool useDx,
                          const TextLayout& layout, const std::optional<QRectF>& clip)
{
    if (clip) {
        m_painter.save();
        setPainterTransform(toTarget());
        m_painter.setClipRect(clip->normalized(), Qt::IntersectClip);
    }
    setPainterTransform(layout.toTarget);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_dc.bkMode == OPAQUE)
        m_painter.fillRect(layout.box, m_dc.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_dc.textColor);
    if (glyphs) {
        glyphs->setPositions(QList<QPointF>(layout.positions.begin(), layout.positions.end()));
        m_painter.drawGlyphRun(QPointF(0, 0), *glyphs);
    } else if (useDx) {
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            qsizetype len = 1;
            // Keep surrogate pairs and combining marks with their base character.
            while (i + len < n && (text.at(i + len).isLowSurrogate() || text.at(i + len).isMark()))
                ++len;
            m_painter.drawText(layout.positions[size_t(i)], text.mid(i, len));
            i += len - 1;
        }
    } else {
        m_painter.drawText(layout.start, text);
    }
    const QFontMetricsF fm(font, m_painter.device());
    const double line = std::max(fm.lineWidth(), 0.5);
    const QPointF start = layout.start;
    if (m_dc.font.underline)
        m_painter.fillRect(QRectF(start.x(), start.y() + fm.underlinePos(), layout.width, line),
                           m_dc.textColor);
    if (m_dc.font.strikeOut)
        m_painter.fillRect(QRectF(start.x(), start.y() - fm.strikeOutPos(), layout.width, line),
                           m_dc.textColor);
    if (clip)
        m_painter.restore();
}

// ------------------------------------------------------------------------------ regions

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
    m_painter.setCompositionMode(QPainter::CompositionMode_Difference);
    m_painter.fillPath(region, Qt::white);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::fillGradient(const QPainterPath& logicalPath, const QBrush& brush)
{
    if (m_pathOpen || !usable() || !mixModeOf(m_dc.rop2).draw)
        return;
    setPainterTransform(toTarget());
    applyRop2(m_dc.rop2);
    m_painter.fillPath(logicalPath, brush);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ------------------------------------------------------------------------------ bitmaps

void GdiCanvas::patBlt(const QRectF& box, quint32 rop)
{
    if (m_pathOpen || !usable())
        return;
    setPainterTransform(toTarget());
    const QPainterPath path = rectPath(box);
    const QPaintEngine* engine = m_painter.paintEngine();
    const bool blend = engine && engine->hasFeature(QPaintEngine::BlendModes);
    m_painter.setPen(Qt::NoPen);
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
        picture.invertPixels();
        break;
    case MERGEPAINT:
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
    m_painter.setCompositionMode(mode);
    m_painter.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    m_painter.drawImage(source, picture, source);
    m_painter.setOpacity(1.0);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// -------------------------------------------------------------------------------- paths

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
    if (m_pathOpen || !usable()) {
        abortPath();
        return;
    }
    QPainterPath path = m_path;
    path.setFillRule(m_dc.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    m_painter.setTransform(m_painterBase);
    fillShape(path, m_dc.brush);
    m_path = QPainterPath();
}

void GdiCanvas::strokePath()
{
    if (m_pathOpen || !usable()) {
        abortPath();
        return;
    }
    m_painter.setTransform(m_painterBase);
    strokeShape(m_path);
    m_path = QPainterPath();
}

void GdiCanvas::strokeAndFillPath()
{
    if (m_pathOpen || !usable()) {
        abortPath();
        return;
    }
    QPainterPath path = m_path;
    path.setFillRule(m_dc.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    m_painter.setTransform(m_painterBase);
    fillShape(path, m_dc.brush);
    strokeShape(m_path);
    m_path = QPainterPath();
}

void GdiCanvas::flattenPath()
{
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
    QPainterPath path = m_path;
    path.setFillRule(m_dc.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(path.simplified(), mode);
    m_path = QPainterPath();
}

// ----------------------------------------------------------------------------- clipping

void GdiCanvas::combineClip(const QPainterPath& targetPath, int mode)
{
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
