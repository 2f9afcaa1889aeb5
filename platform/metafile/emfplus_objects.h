#pragma once

#include "../byte_reader.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTransform>

#include <array>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace platform {
class CostBudget;
}

namespace platform::metafile {

/// Points read by one EMF+ record or path at most: far beyond real pictures.
inline constexpr quint32 MaxEmfPlusPoints = 1'000'000;

/// A blend of a gradient: colours (or factors between its two colours) at positions 0..1.
struct EmfPlusBlend {
    std::vector<double> positions;
    /// Preset colours, one per position; empty when `factors` is used.
    std::vector<QColor> colors;
    /// Blend factors (0 = start colour, 1 = end colour), one per position.
    std::vector<double> factors;
};

/// An EmfPlusBrush ([MS-EMFPLUS] 2.2.1.1) as far as we draw it.
struct EmfPlusBrush {
    enum Type : quint32 {
        SolidColor = 0,
        HatchFill = 1,
        TextureFill = 2,
        PathGradient = 3,
        LinearGradient = 4,
    };
    Type type = SolidColor;
    /// Solid: the colour. Hatch: the foreground. Gradients: start (linear) or centre (path).
    QColor color = Qt::black;
    /// Hatch: the background. Linear gradient: the end colour. Path gradient: the boundary.
    QColor color2 = Qt::black;
    quint32 hatchStyle = 0;
    /// WrapMode: 0 tile, 1 flip x, 2 flip y, 3 flip both, 4 clamp.
    quint32 wrapMode = 0;
    /// Linear gradient: the rectangle whose left and right edges the colours are at.
    QRectF rect;
    /// Path gradient: its centre and its boundary (where `color2` is).
    QPointF center;
    QPainterPath boundary;
    QPointF focusScales{0, 0};
    /// Brush space to world space.
    QTransform transform;
    std::optional<EmfPlusBlend> blend;
    /// Texture: the image.
    QImage texture;
};

/// A custom line cap ([MS-EMFPLUS] 2.2.1.2): its shape in units of the pen's width, the cap
/// pointing along +y from its base at the line's end.
struct EmfPlusCustomCap {
    QPainterPath path;
    bool fill = false;
    double widthScale = 1;
};

/// An EmfPlusPen ([MS-EMFPLUS] 2.2.1.7).
struct EmfPlusPen {
    /// Width in `unit`s; 0 is the thinnest line the device draws.
    double width = 1;
    quint32 unit = 0;
    QTransform transform;
    quint32 startCap = 0;
    quint32 endCap = 0;
    quint32 join = 0;
    double miterLimit = 10;
    /// LineStyle: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 custom (`dashes`).
    quint32 lineStyle = 0;
    quint32 dashCap = 0;
    double dashOffset = 0;
    /// Custom dashes in units of the width.
    std::vector<double> dashes;
    /// PenAlignment: 0 centre, 1 inset.
    quint32 alignment = 0;
    std::optional<EmfPlusCustomCap> customStart;
    std::optional<EmfPlusCustomCap> customEnd;
    EmfPlusBrush brush;
};

/// An EmfPlusRegion ([MS-EMFPLUS] 2.2.1.8) as a path; nullopt is the infinite region.
struct EmfPlusRegion {
    std::optional<QPainterPath> path;
};

/// An EmfPlusImage ([MS-EMFPLUS] 2.2.1.4): a bitmap or an embedded metafile (its bytes).
struct EmfPlusImage {
    QImage bitmap;
    QByteArray metafile;
    /// The metafile's size in its own pixels, for source rectangles.
    QSizeF metafileSize;
};

/// An EmfPlusFont ([MS-EMFPLUS] 2.2.1.5).
struct EmfPlusFont {
    double emSize = 12;
    quint32 unit = 3;
    /// FontStyle: 1 bold, 2 italic, 4 underline, 8 strikeout.
    quint32 style = 0;
    QString family;
};

/// An EmfPlusStringFormat ([MS-EMFPLUS] 2.2.1.9), the parts we lay text out by.
struct EmfPlusStringFormat {
    quint32 flags = 0;
    /// StringAlignment: 0 near, 1 centre, 2 far; across and down the layout rectangle.
    quint32 alignment = 0;
    quint32 lineAlignment = 0;
};

/// An EmfPlusImageAttributes ([MS-EMFPLUS] 2.2.1.6).
struct EmfPlusImageAttributes {
    quint32 wrapMode = 0;
    QColor clampColor = Qt::transparent;
};

using EmfPlusObject =
    std::variant<std::monostate, EmfPlusBrush, EmfPlusPen, QPainterPath, EmfPlusRegion,
                 EmfPlusImage, EmfPlusFont, EmfPlusStringFormat, EmfPlusImageAttributes>;

/// An ARGB colour as EMF+ stores it (blue, green, red, alpha bytes).
QColor readArgb(ByteReader& r);
/// A rectangle: four 16-bit integers when `compressed`, else four floats (x, y, width,
/// height); a reader fails on values that are not finite.
QRectF readEmfPlusRect(ByteReader& r, bool compressed);
/// `count` points as `flags` store them: relative (0x0800), 16-bit (0x4000) or float;
/// empty and failed when they do not fit in what is left.
QPolygonF readEmfPlusPoints(ByteReader& r, quint32 count, quint32 flags);
/// An EmfPlusTransformMatrix: six floats, as QTransform takes them.
QTransform readMatrix(ByteReader& r);

/// Reads the object of ObjectType `type` from the whole of `r` (its data, continued records
/// joined). Counts are checked against the bytes left before anything is allocated; images
/// are charged to `budget`. An empty object when it is unreadable.
EmfPlusObject readEmfPlusObject(quint32 type, ByteReader r, CostBudget& budget);

/// An EmfPlusPath object ([MS-EMFPLUS] 2.2.1.6); nullopt when it is unreadable.
std::optional<QPainterPath> readEmfPlusPath(ByteReader& r);

/// The 64 objects a picture may hold at once, by ObjectID.
class EmfPlusObjectTable {
public:
    static constexpr quint32 Size = 64;
    void set(quint32 id, EmfPlusObject object)
    {
        if (id < Size)
            m_objects[id] = std::move(object);
    }
    template <typename T> const T* find(quint32 id) const
    {
        return id < Size ? std::get_if<T>(&m_objects[id]) : nullptr;
    }

private:
    std::array<EmfPlusObject, Size> m_objects;
};

} // namespace platform::metafile
