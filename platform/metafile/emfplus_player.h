#pragma once

#include "emfplus_objects.h"

#include <QByteArrayView>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <optional>
#include <vector>

class QPainter;

namespace platform {
class CostBudget;
}

namespace platform::metafile {

/// Plays the EMF+ records ([MS-EMFPLUS]) that an EMF carries in its EMR_COMMENT records onto
/// a painter, beside the GDI records the EMF player draws. EMF+ device units are the EMF's
/// device pixels: `deviceToTarget` maps them onto the painter, and nothing is drawn outside
/// `target`. What it parses and draws is charged to `budget`. Nothing here throws.
class EmfPlusPlayer {
public:
    EmfPlusPlayer(QPainter& painter, const QRectF& target, const QTransform& deviceToTarget,
                  CostBudget& budget);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    /// Plays the EMF+ records of one comment: its data after the "EMF+" identifier.
    void playComment(QByteArrayView records);

    /// True once an EMF+ header has been played and until EMF+ ends: the picture is the EMF+
    /// records', and the GDI records around them only repeat it for older readers.
    bool inEffect() const { return m_inEffect; }
    /// True from an EmfPlusGetDC record to the next EMF+ record: the GDI records there draw.
    bool gdiInEffect() const { return m_getDc; }

private:
    // What Save and BeginContainer keep.
    struct State {
        QTransform world;
        quint32 pageUnit = 2;
        double pageScale = 1;
        // The clip in the painter's coordinates (before its own transform); none: infinite.
        std::optional<QPainterPath> clip;
        bool antialias = true;
        bool textAntialias = true;
        bool sourceCopy = false;
        QPointF renderingOrigin;
    };
    struct Saved {
        quint32 id = 0;
        bool container = false;
        State state;
    };
    // An object being continued across records.
    struct Pending {
        quint32 id = 0;
        quint32 type = 0;
        quint32 total = 0;
        QByteArray bytes;
    };

    void play(quint16 type, quint16 flags, ByteReader& r);
    // One function for each family of records.
    void playControl(quint16 type, quint16 flags, ByteReader& r);
    void playObject(quint16 flags, ByteReader& r);
    void playState(quint16 type, quint16 flags, ByteReader& r);
    void playClip(quint16 type, quint16 flags, ByteReader& r);
    void playFigure(quint16 type, quint16 flags, ByteReader& r);
    void playImage(quint16 type, quint16 flags, ByteReader& r);
    void playText(quint16 type, quint16 flags, ByteReader& r);

    void drawString(quint16 flags, ByteReader& r);
    void drawDriverString(quint16 flags, ByteReader& r);
    void drawImage(const EmfPlusImage& image, const QRectF& source, const QTransform& placement);
    void drawCurve(quint16 flags, ByteReader& r, bool closed, bool fill);

    // Drawing
    QTransform worldToDevice() const;
    QTransform worldToTarget() const;
    /// Units of `unit` in device pixels along x and y.
    QPointF unitScale(quint32 unit) const;
    /// `length` in `unit`s as a length in world units.
    double worldLength(double length, quint32 unit, bool horizontal) const;
    bool prepare();
    /// Charges the device pixels a fill within `bounds` (the painter's coordinates) may touch,
    /// `times` over, where pixels are what drawing spends; false once the budget is spent.
    bool affordArea(const QRectF& bounds, qint64 times = 1);
    /// The same for a stroke of `path` `width` device pixels wide: at most its length times
    /// its width.
    bool affordStroke(const QPainterPath& path, double width);
    void fill(const QPainterPath& path, const EmfPlusBrush& brush);
    void fillPathGradient(const QPainterPath& path, const EmfPlusBrush& brush);
    void stroke(const QPainterPath& path, const EmfPlusPen& pen);
    void drawCaps(const QPainterPath& path, const EmfPlusPen& pen, double width);
    QBrush qtBrush(const EmfPlusBrush& brush) const;
    /// The brush of a fill record: an ARGB colour when `colorFlag` is set, else the object.
    std::optional<EmfPlusBrush> brushOf(bool colorFlag, quint32 id) const;
    void combineClip(const QPainterPath& targetPath, quint32 mode);

    QPainter& m_painter;
    QRectF m_target;
    QTransform m_deviceToTarget;
    QTransform m_painterBase;
    CostBudget& m_budget;
    double m_hairline = 1;
    QRectF m_deviceBounds;
    bool m_chargeArea = false;

    bool m_inEffect = false;
    bool m_getDc = false;
    bool m_ended = false;
    bool m_videoDevice = true;
    QPointF m_dpi{96, 96};
    State m_state;
    std::vector<Saved> m_saved;
    EmfPlusObjectTable m_objects;
    std::optional<Pending> m_pending;
    bool m_clipApplied = false;
};

/// Points of a cardinal spline through `points` with `tension` (0: straight lines), as a
/// path of Bézier curves; `closed` joins the last point to the first.
QPainterPath cardinalSpline(const QPolygonF& points, double tension, bool closed);

} // namespace platform::metafile
