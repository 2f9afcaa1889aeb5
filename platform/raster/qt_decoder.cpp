#include "qt_decoder.h"

#include "../errors.h"
#include "pixel_budget.h"

#include <QBuffer>
#include <QImageReader>

#include <limits>

namespace platform::raster {

QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat)
{
    // Qt's own cap (128 MB) refuses ordinary photos; our budget decides instead, checked
    // below from the size in the header before anything is allocated.
    const qint64 budgetMb = pixelBudget() >> 20;
    QImageReader::setAllocationLimit(int(qMin<qint64>(budgetMb, std::numeric_limits<int>::max())));

    // The reader works on the caller's bytes in place: no copy of the file.
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);

    const QSize size = reader.size();
    if (size.isValid())
        checkPictureSize(size.width(), size.height(), bytes.size());
    QImage image;
    if (!reader.read(&image) || image.isNull())
        raise(InvalidPicture);
    return image;
}

} // namespace platform::raster
