#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QSize>
#include <QSizeF>

#include <memory>
#include <utility>

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

/// The rest of a raster picture's decoding, done on demand. It owns the picture's pixels, which
/// have their final size and format from the start and which it alone writes, most often row
/// by row from the top down; pixels outside readyRegion() hold nothing yet and must not be
/// read.
class PendingRows {
public:
    PendingRows() = default;
    virtual ~PendingRows() = default;
    PendingRows(const PendingRows&) = delete;
    PendingRows& operator=(const PendingRows&) = delete;

    /// The picture's pixels; null until the decoder has given them their size.
    const QImage& image() const { return m_image; }

    /// Rows from the top that hold their pixels.
    virtual int rowsReady() const = 0;

    /// The pixels that hold their pixels: the rows from the top unless the decoder writes in
    /// another order.
    virtual QRegion readyRegion() const { return QRect(0, 0, m_image.width(), rowsReady()); }

    /// Rows from the top whose pixels a finer pass has drawn again since they were first
    /// ready (a progressive picture refines a coarse first pass); 0 for a single pass.
    virtual int refinedRows() const { return 0; }

    /// True once every pixel holds its final value.
    virtual bool complete() const { return rowsReady() >= m_image.height(); }

    /// Decodes about `rows` more rows into image(); returns false once every row is there.
    /// Data that turn out damaged end the decoding: the rows they leave out are filled.
    /// Must not throw.
    virtual bool decodeMore(int rows) = 0;

protected:
    /// Takes `image` (final size and format, no pixels written yet) as the picture's pixels.
    void adopt(QImage image) { m_image = std::move(image); }

    /// The first byte of row `y` (0 to height - 1) of image(), to write that row's pixels. Ask
    /// for it at each write and keep no pointer: the address holds only until the image is
    /// next used.
    uchar* line(int y) { return m_image.scanLine(y); }

private:
    QImage m_image;
};

/// The picture object that the loader returns and the picture control holds: empty, a raster
/// image, or a vector graphic. A cheap, shared, immutable value.
class Picture {
public:
    enum class Kind {
        None,
        Raster,
        Vector
    };

    /// The empty picture.
    Picture() = default;
    /// A raster picture; a null image gives the empty picture.
    explicit Picture(QImage image);
    /// A raster picture whose rows below the first few are still to be decoded by `pending`,
    /// which holds its pixels; a null `pending`, or one without pixels, gives the empty picture.
    explicit Picture(std::shared_ptr<PendingRows> pending);
    /// A vector picture; null gives the empty picture.
    explicit Picture(std::shared_ptr<const VectorGraphic> vector);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::None; }

    /// The pixels of a raster picture, all decoded first (a null image for the others).
    const QImage& image() const;

    /// True unless rows of a raster picture are still to be decoded.
    bool isComplete() const;
    /// Rows from the top that hold their pixels (all of them when complete).
    int rowsReady() const;
    /// The pixels that hold their pixels (the whole picture when complete; empty when empty).
    QRegion readyRegion() const;
    /// Rows from the top that a finer pass has drawn again while the picture was still being
    /// decoded (see PendingRows::refinedRows()).
    int refinedRows() const;
    /// Decodes about `rows` more rows of a raster picture that is not complete yet; returns
    /// true while rows remain.
    bool decodeMore(int rows) const;
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
    /// only the `exposed` part (repaints of a large picture). Of a raster picture still being
    /// decoded it draws the pixels that are ready, and decodes no more. A vector picture is
    /// played once into pixels of the device's resolution (by tiles where it is large) that
    /// later calls, for this picture and its copies, reuse while the size and the device's
    /// pixel ratio stay. That rendering starts from `background`, the colour the caller has
    /// filled behind the picture, so that raster operations (inverting, XOR pens) see what
    /// they would see played straight onto the device.
    void paintExposed(QPainter& painter, const QRect& exposed,
                      const QColor& background = Qt::transparent) const;

private:
    struct VectorCache;
    void finish() const;
    void paintVectorExposed(QPainter& painter, const QRect& exposed,
                            const QColor& background) const;
    // The raster pixels, wherever they are held (rows not ready yet included).
    const QImage& pixels() const { return m_pending ? m_pending->image() : m_image; }

    Kind m_kind = Kind::None;
    QImage m_image; // a raster picture decoded whole
    std::shared_ptr<PendingRows> m_pending;
    std::shared_ptr<const VectorGraphic> m_vector;
    std::shared_ptr<VectorCache> m_cache; // a vector picture's screen rendering
};

/// Pixels for a length in HIMETRIC at `dpi`, rounded half up.
int himetricToPixels(double himetric, double dpi);

} // namespace platform
