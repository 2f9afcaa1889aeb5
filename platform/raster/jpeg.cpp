#include "jpeg.h"

#include "../errors.h"
#include "jpeg_markers.h"
#include "qt_decoder.h"

#include <QBuffer>

namespace platform::raster {

bool sniffJpeg(ByteReader head)
{
    return head.u8() == 0xFF && head.u8() == jpeg::SOI && head.u8() == 0xFF;
}

QImage decodeJpeg(QByteArrayView file)
{
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    if (jpeg::walkSegments(buffer).segments > jpeg::MaxSegments)
        raise(InvalidPicture);
    return decodeWithQt(file, "jpeg", true);
}

} // namespace platform::raster
