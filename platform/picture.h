#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <memory>

class QPainter;

namespace platform {

/// A picture made of drawing records (a metafile): it knows its physical extent and plays
/// itself into any rectangle of any painter.
class VectorGraphic {
public:
    virtual ~VectorGraphic() = default;

    /// The picture's own physical extent in HIMETRIC units (0.01 mm).
    virtual QSizeF extentHimetric() const = 0;

    /// Plays the picture onto `painter`, its frame mapped onto `target` (painter coordinates).
    /// Must not throw; a damaged record ends the play early.
    virtual void play(QPainter& painter, const QRectF& target) const = 0;
};

/// The picture object that the loader returns and the picture control holds: empty, a raster
/// image, or a vector graphic. A cheap, shared, immutable value.
class Picture {
public:
    enum class Kind { None, Raster, Vector };

    /// The empty picture.
    Picture() = default;
    /// A raster picture; a null image gives the empty picture.
    explicit Picture(QImage image);
    /// A vector picture; null gives the empty picture.
    explicit Picture(std::shared_ptr<const VectorGraphic> vector);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::None; }

    /// The pixels of a raster picture (a null image for the others).
    const QImage& image() const { return m_image; }
    /// The graphic of a vector picture (nullptr for the others).
    const VectorGraphic* vector() const { return m_vector.get(); }

    /// Size in pixels at a logical resolution: a raster picture's own pixels (whatever the
    /// resolution), a vector picture's extent at `dpiX` x `dpiY`, rounded half up. 0x0 when empty.
    QSize pixelSize(double dpiX, double dpiY) const;

    /// The picture's own physical size in twips: a raster picture's pixels at the screen
    /// resolution `screenDpiX` x `screenDpiY`, a vector picture's own extent.
    QSizeF sizeTwips(double screenDpiX, double screenDpiY) const;

    /// Draws the picture scaled into `target` (painter coordinates). Draws nothing when empty.
    void paint(QPainter& painter, const QRectF& target) const;

    /// Draws the picture at its own pixel size with its top-left corner at (0, 0), touching
    /// only the `exposed` part where the picture is raster (repaints of a large picture).
    void paintExposed(QPainter& painter, const QRect& exposed) const;

private:
    Kind m_kind = Kind::None;
    QImage m_image;
    std::shared_ptr<const VectorGraphic> m_vector;
};

/// Pixels for a length in HIMETRIC at `dpi`, rounded half up.
int himetricToPixels(double himetric, double dpi);

} // namespace platform
