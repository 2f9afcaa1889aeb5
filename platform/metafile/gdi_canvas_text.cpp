#include "gdi_canvas.h"

#include "geometry.h"
#include "platform/fonts.h"
#include "text_decoding.h"
#include "text_layout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>

namespace platform::metafile {

namespace {

// Font sizes above this many device pixels draw nothing useful and cost a lot.
constexpr double MaxFontPixels = 20000;
// Work per glyph: shaping, outline and placing, beside the area it covers.
constexpr qint64 GlyphWork = 256;
// Glyphs in the standard Macintosh order that TrueType faces begin with.
constexpr char16_t StandardGlyphCount = 258;

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

} // namespace

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
        const QPainterPath box = rectPath(*rect);
        if (affordPath(box)) {
            m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            m_painter.fillPath(box, m_dc.bkColor);
        }
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
        // A raw font takes its pixel size from the screen's resolution; ours is the device's
        // (a printer's 1200 dpi, say), or the glyphs come out a fraction of their size.
        QRawFont raw = QRawFont::fromFont(*font);
        const QPaintDevice* device = m_painter.device();
        raw.setPixelSize(font->pointSizeF() * (device ? device->logicalDpiY() : 96.0) / 72.0);
        glyphs.setRawFont(raw);
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
        if (!charge(GlyphWork * text.size()))
            return;
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
    // The glyphs touch about their box; each costs its shaping and outline besides.
    setPainterTransform(layout.toTarget);
    if (!affordDrawing(layout.box, GlyphWork / 8 * text.size()))
        return;
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

} // namespace platform::metafile
