#include "jpeg.h"

#include "../errors.h"
#include "jpeg_markers.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <QBuffer>
#include <QTransform>

namespace platform::raster {

bool sniffJpeg(ByteReader head)
{
    return head.u8() == 0xFF && head.u8() == jpeg::SOI && head.u8() == 0xFF;
}

QImage turnUpright(const QImage& stored, int orientation)
{
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.mirrored(true, true);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return stored.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return stored.transformed(QTransform().rotate(90));
    case 7:
        return stored.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
        return stored.transformed(QTransform().rotate(270));
    default:
        return stored;
    }
}

QImage decodeJpeg(QByteArrayView file)
{
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const jpeg::Structure structure = jpeg::walkSegments(buffer);
    if (structure.segments > jpeg::MaxSegments)
        raise(InvalidPicture);
    const QImage stored = decodeWithQt(file, "jpeg");
    if (structure.orientation == 1)
        return stored;
    // Turning makes a second copy of the pixels for a moment.
    checkPictureSize(stored.width(), stored.height(), file.size(), 2);
    return turnUpright(stored, structure.orientation);
}

} // namespace platform::raster
