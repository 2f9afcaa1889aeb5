#include "picture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

namespace {
constexpr double HimetricPerInch = 2540.0;
constexpr double TwipsPerInch = 1440.0;
// A vector picture's screen rendering is one image up to this many pixels, else tiles.
constexpr qint64 MaxWholeRendering = 4096LL * 4096;
constexpr int TileSide = 1024;
// Tiles kept at once (4 MB each); the least recently drawn goes first.
constexpr size_t MaxTiles = 48;
} // namespace

struct Picture::VectorCache {
    struct Tile {
        QPoint index;
        QImage image;
        quint64 lastUse = 0;
    };
    QSize size;
    double ratio = 0;
    QColor background;
    int tileSide = 0;
    std::vector<Tile> tiles;
    quint64 clock = 0;
};

Picture::Picture(QImage image)
    : m_kind(image.isNull() ? Kind::None : Kind::Raster)
    , m_image(std::move(image))
{
}

Picture::Picture(std::shared_ptr<PendingRows> pending)
    : m_kind(pending && !pending->image().isNull() ? Kind::Raster : Kind::None)
    , m_pending(m_kind == Kind::Raster ? std::move(pending) : nullptr)
{
}

Picture::Picture(std::shared_ptr<const VectorGraphic> vector)
    : m_kind(vector ? Kind::Vector : Kind::None)
    , m_vector(std::move(vector))
    , m_cache(m_vector ? std::make_shared<VectorCache>() : nullptr)
{
}

const QImage& Picture::image() const
{
    finish();
    return pixels();
}

bool Picture::isComplete() const
{
    return !m_pending || m_pending->complete();
}

int Picture::refinedRows() const
{
    return m_pending ? qMin(m_pending->refinedRows(), pixels().height()) : 0;
}

int Picture::rowsReady() const
{
    const int height = pixels().height();
    return m_pending ? qMin(m_pending->rowsReady(), height) : height;
}

QRegion Picture::readyRegion() const
{
    if (m_kind != Kind::Raster)
        return {};
    if (!m_pending || isComplete())
        return QRect(QPoint(0, 0), pixels().size());
    return m_pending->readyRegion() & QRect(QPoint(0, 0), pixels().size());
}

bool Picture::decodeMore(int rows) const
{
    if (isComplete())
        return false;
    return m_pending->decodeMore(rows) && !isComplete();
}

void Picture::finish() const
{
    while (decodeMore(1 << 20)) { }
}

int himetricToPixels(double himetric, double dpi)
{
    return int(std::floor(himetric * dpi / HimetricPerInch + 0.5));
}

QSize Picture::pixelSize(double dpiX, double dpiY) const
{
    switch (m_kind) {
    case Kind::None:
        break;
    case Kind::Raster:
        return pixels().size();
    case Kind::Vector: {
        const QSizeF e = m_vector->extentHimetric();
        return {himetricToPixels(e.width(), dpiX), himetricToPixels(e.height(), dpiY)};
    }
    }
    return {0, 0};
}

QSizeF Picture::sizeTwips(double screenDpiX, double screenDpiY) const
{
    switch (m_kind) {
    case Kind::None:
        break;
    case Kind::Raster:
        return {pixels().width() * TwipsPerInch / screenDpiX,
                pixels().height() * TwipsPerInch / screenDpiY};
    case Kind::Vector: {
        const QSizeF e = m_vector->extentHimetric();
        return {e.width() * TwipsPerInch / HimetricPerInch,
                e.height() * TwipsPerInch / HimetricPerInch};
    }
    }
    return {0, 0};
}

void Picture::paint(QPainter& painter, const QRectF& target) const
{
    switch (m_kind) {
    case Kind::None:
        break;
    case Kind::Raster:
        painter.drawImage(target, image());
        break;
    case Kind::Vector:
        painter.save();
        m_vector->play(painter, target);
        painter.restore();
        break;
    }
}

void Picture::paintExposed(QPainter& painter, const QRect& exposed, const QColor& background) const
{
    if (m_kind == Kind::Raster) {
        for (const QRect& part : readyRegion() & exposed)
            painter.drawImage(part.topLeft(), pixels(), part);
        return;
    }
    if (m_kind == Kind::Vector)
        paintVectorExposed(painter, exposed, background);
}

void Picture::paintVectorExposed(QPainter& painter, const QRect& exposed,
                                 const QColor& background) const
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return;
    const QSize own = pixelSize(device->logicalDpiX(), device->logicalDpiY());
    const double ratio = device->devicePixelRatio();
    VectorCache& cache = *m_cache;
    const QSize pixels(int(std::ceil(own.width() * ratio)), int(std::ceil(own.height() * ratio)));
    if (cache.size != own || cache.ratio != ratio || cache.background != background) {
        cache = VectorCache();
        cache.size = own;
        cache.ratio = ratio;
        cache.background = background;
        cache.tileSide = qint64(pixels.width()) * pixels.height() <= MaxWholeRendering
            ? std::max({pixels.width(), pixels.height(), 1})
            : TileSide;
    }
    const QRect part = exposed & QRect(QPoint(0, 0), own);
    if (part.isEmpty())
        return;
    // The exposed part in the rendering's pixels, and the tiles it touches.
    const int side = cache.tileSide;
    const int firstX = int(std::floor(part.left() * ratio)) / side;
    const int firstY = int(std::floor(part.top() * ratio)) / side;
    const int lastX = std::min(int(std::ceil((part.right() + 1) * ratio)) - 1, pixels.width() - 1)
        / side;
    const int lastY = std::min(int(std::ceil((part.bottom() + 1) * ratio)) - 1, pixels.height() - 1)
        / side;
    for (int ty = firstY; ty <= lastY; ++ty) {
        for (int tx = firstX; tx <= lastX; ++tx) {
            const QPoint index(tx, ty);
            auto tile = std::find_if(cache.tiles.begin(), cache.tiles.end(),
                                     [&](const VectorCache::Tile& t) { return t.index == index; });
            if (tile == cache.tiles.end()) {
                if (cache.tiles.size() >= MaxTiles)
                    cache.tiles.erase(std::min_element(
                        cache.tiles.begin(), cache.tiles.end(),
                        [](const auto& a, const auto& b) { return a.lastUse < b.lastUse; }));
                const QRect area = QRect(tx * side, ty * side, side, side)
                    & QRect(QPoint(0, 0), pixels);
                QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
                image.fill(background);
                {
                    QPainter player(&image);
                    player.translate(-area.topLeft());
                    player.scale(ratio, ratio);
                    paint(player, QRectF(QPointF(0, 0), QSizeF(own)));
                }
                cache.tiles.push_back({index, std::move(image), 0});
                tile = cache.tiles.end() - 1;
            }
            tile->lastUse = ++cache.clock;
            const QPointF at(tx * side / ratio, ty * side / ratio);
            const QRectF shown = QRectF(at, QSizeF(tile->image.size()) / ratio) & QRectF(part);
            painter.drawImage(shown, tile->image,
                              QRectF((shown.topLeft() - at) * ratio, shown.size() * ratio));
        }
    }
}

} // namespace platform
