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

Picture::Picture(std::shared_ptr<const VectorGraphic> vector)
    : m_kind(vector ? Kind::Vector : Kind::None)
    , m_vector(std::move(vector))
{
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
        return m_image.size();
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
        return {m_image.width() * TwipsPerInch / screenDpiX,
                m_image.height() * TwipsPerInch / screenDpiY};
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
        painter.drawImage(target, m_image);
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
        const QRect part = exposed & m_image.rect();
        if (!part.isEmpty())
            painter.drawImage(part.topLeft(), m_image, part);
        return;
    }
    const QSize own = pixelSize(painter.device()->logicalDpiX(), painter.device()->logicalDpiY());
    paint(painter, QRectF(QPointF(0, 0), QSizeF(own)));
}

} // namespace platform
