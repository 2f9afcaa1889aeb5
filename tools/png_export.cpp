#include "exporters.h"

#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace render {

bool writePng(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error)
{
    // Fast compression: the files are for looking at and for measuring, not for keeping.
    constexpr int PngQuality = 80;
    QImageWriter writer(&out, "png");
    writer.setQuality(PngQuality);

    // A raster picture at its own size is written as it is: no second copy of its pixels.
    const bool raster = picture.kind() == platform::Picture::Kind::Raster;
    if (raster && pixels == picture.image().size()) {
        if (!writer.write(picture.image())) {
            error = writer.errorString();
            return false;
        }
        return true;
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        error = QStringLiteral("the picture is too large to render");
        return false;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        // A raster picture made smaller for a thumbnail is smoothed, not sampled.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, raster);
        picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    if (!writer.write(image)) {
        error = writer.errorString();
        return false;
    }
    return true;
}

} // namespace render
