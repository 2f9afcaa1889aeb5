#include "picture.h"

#include <QPainter>

#include <cmath>

namespace platform {

namespace {
constexpr double HimetricPerInch = 2540.0;
constexpr double TwipsPerInch = 1440.0;
} // namespace

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

void Picture::paintExposed(QPainter& painter, const QRect& exposed) const
{
    if (m_kind == Kind::Raster) {
        for (const QRect& part : readyRegion() & exposed)
            painter.drawImage(part.topLeft(), pixels(), part);
        return;
    }
    const QSize own = pixelSize(painter.device()->logicalDpiX(), painter.device()->logicalDpiY());
    paint(painter, QRectF(QPointF(0, 0), QSizeF(own)));
}

} // namespace platform
