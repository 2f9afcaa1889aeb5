#pragma once

#include "dc_state.h"
#include "gdi_objects.h"
#include "logical_mapping.h"

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <optional>
#include <vector>

class QGlyphRun;
class QPainter;

namespace platform {
class CostBudget;
}

namespace platform::metafile {

struct TextLayout;

/// The kinds of elliptic arc figures.
enum class ArcKind {
    Arc,
    ArcTo,
    Chord,
    Pie
};

/// A device context over a QPainter: the drawing state of a metafile (mapping, world
/// transform, selected objects, clip, path) and the GDI drawing operations, in logical units.
/// WMF and EMF players parse records and call it. Nothing here throws.
///
/// Its parts live in a source file each: state, mapping and selection (gdi_canvas.cpp), pens
/// and brushes (gdi_canvas_pens.cpp), figures and regions (gdi_canvas_figures.cpp), text
/// (gdi_canvas_text.cpp), paths and clipping (gdi_canvas_paths.cpp), bitmaps
/// (gdi_canvas_bitmaps.cpp). Whatever reaches the painter goes through fillShape() and
/// strokeShape() (figures, regions, paths, pattern transfers), paintText() or drawImage().
///
/// Everything it draws is charged to a cost budget first: the device area a fill or stroke
/// can touch within the clip (on raster devices), path and clip elements, text, bitmap
/// pixels. Once the budget is spent it draws nothing more. A figure whose points come out
/// non-finite or far beyond any device is left out.
class GdiCanvas {
public:
    /// Draws onto `painter`, the frame mapped onto `target`, within `budget` (which must
    /// outlive the canvas).
    GdiCanvas(QPainter& painter, const QRectF& target, const DeviceMapping& mapping,
              CostBudget& budget);
    ~GdiCanvas();
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    /// The current state; change the mapping only through the setters below, which keep
    /// toTarget() up to date.
    DcState& dc() { return m_dc; }
    const DcState& dc() const { return m_dc; }

    // Mapping ([MS-EMF] 2.3.11, [MS-WMF] 2.3.5), as LogicalMapping keeps it.
    void setMapMode(int mode) { changeMapping().setMapMode(mode); }
    void setWindowOrg(QPointF org) { changeMapping().setWindowOrg(org); }
    void setWindowExt(QPointF ext) { changeMapping().setWindowExt(ext); }
    void setViewportOrg(QPointF org) { changeMapping().setViewportOrg(org); }
    void setViewportExt(QPointF ext) { changeMapping().setViewportExt(ext); }
    void offsetWindowOrg(QPointF delta) { changeMapping().offsetWindowOrg(delta); }
    void offsetViewportOrg(QPointF delta) { changeMapping().offsetViewportOrg(delta); }
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
    {
        changeMapping().scaleWindowExt(xNum, xDenom, yNum, yDenom);
    }
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
    {
        changeMapping().scaleViewportExt(xNum, xDenom, yNum, yDenom);
    }
    void setWorldTransform(const QTransform& world) { changeMapping().setWorldTransform(world); }
    void modifyWorldTransform(const QTransform& xform, quint32 mode)
    {
        changeMapping().modifyWorldTransform(xform, mode);
    }

    // State and selection
    /// Saves the state; nesting deeper than MaxSaveDepth is ignored.
    void saveDc();
    /// Restores a saved state: negative `which` counts back from the latest, positive is
    /// an absolute level; an unknown level changes nothing.
    void restoreDc(int which);
    static constexpr int MaxSaveDepth = 1024;

    void selectPen(const GdiPen& pen) { m_dc.pen = pen; }
    void selectBrush(const GdiBrush& brush) { m_dc.brush = brush; }
    void selectFont(const GdiFont& font) { m_dc.font = font; }
    void selectPalette(const GdiPalette& palette) { m_dc.palette = palette; }
    /// Selects a pen, brush, font or palette; a region (WMF) becomes the clip region, in
    /// logical units. An empty slot's object changes nothing.
    void select(const GdiObject& object);

    // Figures, in logical units
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyPolyline(const std::vector<QPolygonF>& polylines);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    /// PolyDraw: point types PT_MOVETO 6, PT_LINETO 2, PT_BEZIERTO 4, | PT_CLOSEFIGURE 1.
    void polyDraw(const QPolygonF& points, const std::vector<quint8>& types);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, QSizeF corner);
    void ellipse(const QRectF& box);
    void arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, const QColor& color);

    // Text
    /// ExtTextOut: `dx` holds the advance of each character in logical units (empty: the
    /// font's own advances); `rect` the clipping or opaquing rectangle of `options`. In the
    /// advanced graphics mode the world transform turns the glyphs; in the compatible mode
    /// (all WMF text) it moves only the reference point and the glyphs stay upright.
    void textOut(QPointF reference, const QString& text, const std::vector<double>& dx,
                 quint32 options, const std::optional<QRectF>& rect, bool advancedMode = false);

    // Regions and gradients
    /// Fills a region given in logical units (`deviceUnits`: in device units) with `brush`.
    void fillRegion(const QPainterPath& region, const GdiBrush& brush, bool deviceUnits);
    /// Outlines a region with `brush`, `size` being the frame's width and height in logical
    /// units.
    void frameRegion(const QPainterPath& region, const GdiBrush& brush, QSizeF size,
                     bool deviceUnits);
    void invertRegion(const QPainterPath& region, bool deviceUnits);
    /// Fills a logical path with `brush` (a gradient, say) as the current mix mode allows.
    void fillGradient(const QPainterPath& logicalPath, const QBrush& brush);

    // Bitmaps
    /// A pattern block transfer (PatBlt) of the current brush with ternary `rop`.
    void patBlt(const QRectF& box, quint32 rop);
    /// Draws `image` part `source` (image pixels) into `box` (logical) with ternary `rop`;
    /// `constantAlpha` 0..255 scales the image's opacity.
    void drawImage(const QRectF& box, const QImage& image, const QRectF& source, quint32 rop,
                   int constantAlpha = 255);

    // Paths ([MS-EMF] 2.3.10)
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void flattenPath();
    void widenPath();
    void selectClipPath(int mode);
    bool recordingPath() const { return m_pathOpen; }

    // Clipping
    void intersectClipRect(const QRectF& box);
    void excludeClipRect(const QRectF& box);
    /// Combines `region` (logical units, or device units with `deviceUnits`) into the clip;
    /// no region with RGN_COPY resets the clip.
    void selectClipRegion(const std::optional<QPainterPath>& region, int mode, bool deviceUnits);
    void offsetClip(QPointF delta);
    void setMetaRegion();

    /// Logical units to the painter's coordinates.
    const QTransform& toTarget();

    /// The budget the picture plays within.
    CostBudget& budget() { return m_budget; }
    /// Charges `units` of work; false once the budget is spent, when the picture stops.
    bool charge(qint64 units);
    /// Ends the picture: nothing is drawn any more.
    void stop();

private:
    // Cost: whether a figure spanning `bounds` (the painter's current coordinates) with
    // `elements` path elements may be drawn, its cost charged; for a stroke, its pen's width
    // in device pixels and its length.
    bool affordDrawing(const QRectF& bounds, qint64 elements, double penWidth = -1,
                       double strokeLength = 0);
    bool affordPath(const QPainterPath& path, double penWidth = -1);
    // The mapping, to be changed: what toTarget() derives from it is made again.
    LogicalMapping& changeMapping()
    {
        m_toTargetValid = false;
        return m_dc.mapping;
    }

    // State: whether the mapping can draw (putting the clip on the painter first), the
    // painter's transform over its own base.
    bool usable();
    void applyClip();
    QPainterPath frameTargetPath() const;
    void setPainterTransform(const QTransform& t);

    // Pens and brushes: every fill and stroke reaches the painter here.
    QPen makePen();
    void applyRop2(int rop2);
    /// The brush of a pattern, made once for each pattern and pair of colours; nullopt when
    /// its pixels are beyond the budget.
    std::optional<QBrush> patternBrush(const GdiBrush& brush);
    /// `path` with the polygon fill mode of the DC (ALTERNATE or WINDING).
    QPainterPath withFillMode(QPainterPath path) const;
    void fillShape(const QPainterPath& logicalPath, const GdiBrush& brush);
    void strokeShape(const QPainterPath& logicalPath);

    // Figures: drawn, or added to the open path.
    void drawShape(const QPainterPath& logicalPath, bool fill, bool closedFigure);
    void addToPath(const QPainterPath& logicalPath, bool connectFromCurrent);
    QPainterPath arcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end);

    // Text
    // The face a text record draws in: the installed family, whether it is a symbol font
    // (drawn as OpenSymbol's Unicode) and whether the text is glyph indexes.
    struct TextFace {
        QString family;
        bool symbol = false;
        bool glyphIndexes = false;
    };
    /// The face for `rawText` with ExtTextOut `options`; nullopt when the text is left out
    /// (MathType's MT Extra, glyph indexes we cannot trust).
    std::optional<TextFace> textFace(const QString& rawText, quint32 options) const;
    /// The selected font as a QFont of `family` sized for our device, given the mapping's
    /// scales along x and y; nullopt when it would be invisibly small or absurdly large.
    std::optional<QFont> realizeFont(const QString& family, double ys, double xs) const;
    /// Draws laid-out text in `font`: `glyphs` for glyph indexes (nullptr: characters, one
    /// by one at their positions with `useDx`), clipped to `clip` in logical units.
    void paintText(const QFont& font, const QString& text, QGlyphRun* glyphs, bool useDx,
                   const TextLayout& layout, const std::optional<QRectF>& clip);

    // Paths and clipping
    /// Fills and/or strokes the recorded path with the DC's brush and pen, then empties it.
    void paintPath(bool fill, bool stroke);
    void combineClip(const QPainterPath& targetPath, int mode);

    QPainter& m_painter;
    CostBudget& m_budget;
    // Fills and strokes cost their device area on raster devices only.
    bool m_chargeArea = false;
    // The device pixels the target covers, and those the clip leaves, in device coordinates.
    QRectF m_deviceBounds;
    QRectF m_clipBounds;
    // The last monochrome pattern made into colours, its memory held in the budget.
    struct PatternImage {
        qint64 key = 0;
        QRgb foreground = 0;
        QRgb background = 0;
        QImage image;
    };
    PatternImage m_pattern;
    QRectF m_target;
    DeviceMapping m_device;
    QTransform m_painterBase;
    double m_hairline = 1;
    DcState m_dc;
    std::vector<DcState> m_saved;
    QTransform m_toTarget;
    bool m_toTargetValid = false;
    bool m_clipApplied = false;

    // The path under construction (painter coordinates).
    bool m_pathOpen = false;
    QPainterPath m_path;
    bool m_pathClosedFigure = true;
};

} // namespace platform::metafile
