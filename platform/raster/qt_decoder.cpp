#include "qt_decoder.h"

#include "../errors.h"
#include "pixel_budget.h"

#include <QBuffer>
#include <QImageReader>

#include <limits>

namespace platform::raster {

namespace {

// Qt's own cap (128 MB) refuses ordinary photos; the pixel budget decides instead, checked
// from the size in the header before anything is allocated. Set once when the program
// starts, so that every image read anywhere in it meets the same limit.
[[maybe_unused]] const bool QtLimitSet = [] {
    const qint64 budgetMb = pixelBudget() >> 20;
    QImageReader::setAllocationLimit(int(qMin<qint64>(budgetMb, std::numeric_limits<int>::max())));
    return true;
}();

} // namespace

QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat, CostBudget& budget, bool upright,
                    QSize claimed)
{
    // The reader works on the caller's bytes in place: no copy of the file.
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(upright);

    const QSize size = reader.size();
    if (claimed.isValid()
        && (!size.isValid() || size.width() > claimed.width() || size.height() > claimed.height()))
        raise(InvalidPicture);
    if (size.isValid()) {
        // Turning a picture upright makes a second copy of its pixels for a moment.
        const bool turns = upright
            && reader.transformation() != QImageIOHandler::TransformationNone;
        admitPicture(budget, size.width(), size.height(), bytes.size(), turns ? 2 : 1);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull())
        raise(InvalidPicture);
    if (!size.isValid())
        admitPicture(budget, image.width(), image.height(), bytes.size());
    return image;
}

} // namespace platform::raster
