#include "image_box.h"

#include <QPainter>

namespace about {

ImageBox::ImageBox(QImage picture, QWidget* parent)
    : Control(parent)
    , m_picture(std::move(picture))
{
}

void ImageBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_picture);
}

} // namespace about
