#include "exporters.h"

#include <QBuffer>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QSvgGenerator>
#include <QTextItem>

#include <algorithm>
#include <cmath>
#include <memory>

namespace render {

namespace {

constexpr int ScreenDpi = 96;
// The shadow's pixels per output pixel: embedded parts stay sharp at twice the own size.
constexpr int ShadowScale = 2;
// Beyond this many shadow pixels the shadow is drawn at the output's own size.
constexpr qint64 MaxShadowPixels = 64LL * 1024 * 1024;
// Paths more complex than this are not cut by a clip geometrically but embedded as pixels.
constexpr int MaxClippedElements = 20000;

/// The drawing state an operation is drawn with, read from the painter.
struct DrawState {
    QPen pen;
    QBrush brush;
    QPointF brushOrigin;
    QFont font;
    QTransform transform; ///< logical to device (output pixels)
    qreal opacity = 1;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    QPainter::RenderHints hints;
};

bool isTexture(const QBrush& brush)
{
    return brush.style() == Qt::TexturePattern || brush.style() == Qt::ConicalGradientPattern;
}

/// The paint engine of SvgBridge: every operation is drawn twice, onto a shadow raster (what
/// a PNG of the picture shows at that moment) and, where SVG can express it, as vectors into
/// Qt's SVG generator. Where it cannot (pattern brushes, raster operations, transparency,
/// clips that cut text or bitmaps, perspective), the part of the shadow that the operation
/// touched is embedded as an image instead, so the SVG shows what the PNG shows. Clips are
/// applied by cutting paths geometrically, since the generator writes no clips.
class BridgeEngine final : public QPaintEngine {
public:
    BridgeEngine(QSvgGenerator& svg, QSize size)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_svg(svg)
        , m_size(size)
    {
        const qint64 scaled = qint64(size.width()) * size.height() * ShadowScale * ShadowScale;
        m_shadowScale = scaled <= MaxShadowPixels ? ShadowScale : 1;
    }

    bool begin(QPaintDevice*) override
    {
        m_shadow = QImage(m_size * m_shadowScale, QImage::Format_ARGB32_Premultiplied);
        if (m_shadow.isNull())
            return false;
        m_shadow.fill(Qt::transparent);
        return m_shadowPainter.begin(&m_shadow) && m_out.begin(&m_svg);
    }

    bool end() override
    {
        m_shadowPainter.end();
        return m_out.end();
    }

    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& changed) override
    {
        if (changed.state() & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
            m_clipValid = false;
    }

    void drawPath(const QPainterPath& path) override
    {
        const DrawState st = currentState();
        const bool fill = st.brush.style() != Qt::NoBrush;
        const bool stroke = st.pen.style() != Qt::NoPen;
        if (path.isEmpty() || (!fill && !stroke))
            return;
        onShadow(st, [&](QPainter& p) { p.drawPath(path); });
        const QRectF bounds = deviceBounds(st, path);
        if (!expressible(st) || (cutByClip(bounds) && path.elementCount() > MaxClippedElements)) {
            embed(bounds);
            return;
        }
        if (!cutByClip(bounds)) {
            if (stroke && st.pen.isCosmetic()) {
                // SVG scales a stroke with its transform: a pen measured in device pixels is
                // drawn along the path mapped to them instead.
                applyToOutput(st);
                m_out.setTransform(QTransform());
                m_out.setBrush(deviceBrush(st.brush, st));
                m_out.drawPath(st.transform.map(path));
                return;
            }
            applyToOutput(st);
            m_out.drawPath(path);
            return;
        }
        // Cut by the clip: the fill and the stroke's outline in device units, intersected.
        m_out.setTransform(QTransform());
        m_out.setPen(Qt::NoPen);
        if (fill) {
            m_out.setBrush(deviceBrush(st.brush, st));
            m_out.drawPath(st.transform.map(path).intersected(m_clip));
        }
        if (stroke) {
            m_out.setBrush(deviceBrush(st.pen.brush(), st));
            m_out.drawPath(strokeOutline(st, path).intersected(m_clip));
        }
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path;
        path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
        if (mode == PolylineMode) {
            // A polyline has no inside: drawn with no brush.
            QPainter* p = painter();
            const QBrush brush = p->brush();
            p->setBrush(Qt::NoBrush);
            p->drawPath(path);
            p->setBrush(brush);
            return;
        }
        path.closeSubpath();
        drawPath(path);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags) override
    {
        const DrawState st = currentState();
        onShadow(st, [&](QPainter& p) { p.drawImage(r, image, sr); });
        const QRectF bounds = st.transform.mapRect(r);
        if (!expressible(st) || st.transform.isRotating()) {
            embed(bounds);
            return;
        }
        QRectF target = r;
        QRectF source = sr;
        if (cutByClip(bounds)) {
            // An axis-aligned image under a rectangular clip is cropped; anything else embeds.
            if (!clipIsRect()) {
                embed(bounds);
                return;
            }
            const QRectF shown = bounds & m_clip.boundingRect();
            if (shown.isEmpty())
                return;
            const QRectF logical = st.transform.inverted().mapRect(shown);
            source = QRectF(sr.x() + (logical.x() - r.x()) * sr.width() / r.width(),
                            sr.y() + (logical.y() - r.y()) * sr.height() / r.height(),
                            logical.width() * sr.width() / r.width(),
                            logical.height() * sr.height() / r.height());
            target = logical;
        }
        applyToOutput(st);
        m_out.drawImage(target, image, source);
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const DrawState st = currentState();
        const QString text = item.text();
        const QRectF logical(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        const QRectF bounds = st.transform.mapRect(logical).adjusted(-2, -2, 2, 2);
        // Text that the generator can write as text: plain characters in a plain colour,
        // whole inside the clip. Anything else becomes its glyphs' outlines (through
        // drawPath, which cuts them by the clip or embeds them).
        if (text.isEmpty() || !expressible(st) || st.pen.brush().style() != Qt::SolidPattern
            || cutByClip(bounds)) {
            QPaintEngine::drawTextItem(p, item);
            return;
        }
        onShadow(st, [&](QPainter& s) {
            s.setFont(item.font());
            s.drawText(p, text);
        });
        applyToOutput(st);
        m_out.setFont(item.font());
        m_out.drawText(p, text);
    }

private:
    DrawState currentState() const
    {
        const QPainter* p = painter();
        DrawState st;
        st.pen = p->pen();
        st.brush = p->brush();
        st.brushOrigin = p->brushOrigin();
        st.font = p->font();
        st.transform = p->combinedTransform();
        st.opacity = p->opacity();
        st.mode = p->compositionMode();
        st.hints = p->renderHints();
        return st;
    }

    /// The device clip (output pixels), or none, kept up to date.
    void refreshClip()
    {
        if (m_clipValid)
            return;
        m_clipValid = true;
        ++m_clipGeneration;
        const QPainter* p = painter();
        m_hasClip = p->hasClipping();
        m_clip = m_hasClip ? p->combinedTransform().map(p->clipPath()) : QPainterPath();
        m_clip.setFillRule(Qt::WindingFill);
        // A clip that holds the whole output cuts nothing: the output's edge clips anyway.
        if (m_hasClip && m_clip.contains(QRectF(QPointF(0, 0), QSizeF(m_size))))
            m_hasClip = false;
    }

    bool cutByClip(const QRectF& bounds)
    {
        refreshClip();
        return m_hasClip && !m_clip.contains(bounds);
    }

    bool clipIsRect()
    {
        refreshClip();
        return m_clip.elementCount() <= 5 && m_clip == [&] {
            QPainterPath rect;
            rect.addRect(m_clip.boundingRect());
            rect.setFillRule(Qt::WindingFill);
            return rect;
        }() ;
    }

    static bool expressible(const DrawState& st)
    {
        return st.mode == QPainter::CompositionMode_SourceOver && st.opacity >= 1.0
            && !isTexture(st.brush) && !isTexture(st.pen.brush())
            && st.transform.type() <= QTransform::TxShear;
    }

    QRectF deviceBounds(const DrawState& st, const QPainterPath& path) const
    {
        QRectF bounds = st.transform.mapRect(path.controlPointRect());
        if (st.pen.style() != Qt::NoPen) {
            const qreal width = st.pen.isCosmetic()
                ? std::max<qreal>(1, st.pen.widthF())
                : std::max<qreal>(1, st.pen.widthF() * std::sqrt(std::abs(st.transform.determinant())));
            // Miter joins can reach further than half the width.
            const qreal reach = width * std::max<qreal>(1, st.pen.miterLimit()) / 2 + 1;
            bounds.adjust(-reach, -reach, reach, reach);
        }
        return bounds;
    }

    QPainterPath strokeOutline(const DrawState& st, const QPainterPath& path) const
    {
        QPainterPathStroker stroker(st.pen);
        if (st.pen.isCosmetic()) {
            stroker.setWidth(std::max<qreal>(1, st.pen.widthF()));
            return stroker.createStroke(st.transform.map(path));
        }
        return st.transform.map(stroker.createStroke(path));
    }

    /// `brush`, meant in logical units, for a shape given in device units.
    static QBrush deviceBrush(QBrush brush, const DrawState& st)
    {
        if (brush.gradient() || brush.style() == Qt::TexturePattern)
            brush.setTransform(brush.transform() * QTransform::fromTranslate(st.brushOrigin.x(), st.brushOrigin.y()) * st.transform);
        return brush;
    }

    template <typename Draw>
    void onShadow(const DrawState& st, Draw&& draw)
    {
        refreshClip();
        QPainter& s = m_shadowPainter;
        const QTransform scale = QTransform::fromScale(m_shadowScale, m_shadowScale);
        if (m_shadowClipGeneration != m_clipGeneration) {
            m_shadowClipGeneration = m_clipGeneration;
            s.setTransform(scale);
            if (m_hasClip)
                s.setClipPath(m_clip);
            else
                s.setClipping(false);
        }
        s.setTransform(st.transform * scale);
        s.setRenderHints(st.hints);
        s.setRenderHint(QPainter::Antialiasing, true);
        s.setPen(st.pen);
        s.setBrush(st.brush);
        s.setBrushOrigin(st.brushOrigin);
        s.setFont(st.font);
        s.setOpacity(st.opacity);
        s.setCompositionMode(st.mode);
        draw(s);
    }

    void applyToOutput(const DrawState& st)
    {
        m_out.setTransform(st.transform);
        m_out.setPen(st.pen);
        m_out.setBrush(st.brush);
        m_out.setBrushOrigin(st.brushOrigin);
        m_out.setFont(st.font);
    }

    /// Embeds the shadow's pixels under `bounds` (device units): what the picture shows
    /// there now.
    void embed(const QRectF& bounds)
    {
        refreshClip();
        QRectF part = bounds & QRectF(QPointF(0, 0), QSizeF(m_size));
        if (m_hasClip)
            part &= m_clip.boundingRect();
        const QRect pixels = part.toAlignedRect() & QRect(QPoint(0, 0), m_size);
        if (pixels.isEmpty())
            return;
        const QImage crop = m_shadow.copy(QRect(pixels.topLeft() * m_shadowScale, pixels.size() * m_shadowScale));
        m_out.setTransform(QTransform());
        m_out.drawImage(QRectF(pixels), crop);
    }

    QSvgGenerator& m_svg;
    QSize m_size;
    int m_shadowScale = ShadowScale;
    QImage m_shadow;
    QPainter m_shadowPainter;
    QPainter m_out;
    bool m_clipValid = false;
    int m_clipGeneration = 0;
    int m_shadowClipGeneration = -1;
    bool m_hasClip = false;
    QPainterPath m_clip;
};

/// The device the picture is painted on for SVG: output pixels at 96 dpi.
class SvgBridge final : public QPaintDevice {
public:
    SvgBridge(QSvgGenerator& svg, QSize size)
        : m_engine(std::make_unique<BridgeEngine>(svg, size))
        , m_size(size)
    {
    }
    ~SvgBridge() override = default;

    QPaintEngine* paintEngine() const override { return m_engine.get(); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return int(m_size.width() * 25.4 / ScreenDpi);
        case PdmHeightMM:
            return int(m_size.height() * 25.4 / ScreenDpi);
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return ScreenDpi;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    std::unique_ptr<BridgeEngine> m_engine;
    QSize m_size;
};

} // namespace

bool writeSvg(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error)
{
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(pixels);
    svg.setViewBox(QRect(QPoint(0, 0), pixels));
    svg.setResolution(ScreenDpi);
    svg.setTitle(QStringLiteral("pavex-render"));
    svg.setDescription(QString());

    if (picture.kind() == platform::Picture::Kind::Raster) {
        QPainter painter;
        if (!painter.begin(&svg)) {
            error = QStringLiteral("cannot write the SVG");
            return false;
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.end();
        return true;
    }

    SvgBridge bridge(svg, pixels);
    QPainter painter;
    if (!painter.begin(&bridge)) {
        error = QStringLiteral("the picture is too large to render");
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    if (!painter.end()) {
        error = QStringLiteral("cannot write the SVG");
        return false;
    }
    return true;
}

} // namespace render
