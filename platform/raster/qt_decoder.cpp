#include "qt_decoder.h"

#include "../errors.h"

#include <QBuffer>
#include <QImageReader>

namespace platform::raster {

QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat)
{
    // The reader works on the caller's bytes in place: no copy of the file.
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat);
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        raise(InvalidPicture);
    return image;
}

} // namespace platform::raster
