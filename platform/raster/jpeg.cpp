#include "jpeg.h"

#include "../cost_budget.h"
#include "../errors.h"
#include "jpeg_markers.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <QBuffer>
#include <QTransform>

namespace platform::raster {

namespace {

} // namespace

qint64 scanWork(CostBudget& budget, const jpeg::Structure& structure, qint64 sourceBytes)
{
    if (structure.width <= 0 || structure.height <= 0)
        return 0; // the decoder refuses a frame without a size
    checkPictureSize(structure.width, structure.height, sourceBytes);
    const qint64 pixels = qint64(structure.width) * structure.height;
    budget.allowPicture(pixels);
    // At most 500 scans of 255 components: the product stays far within 64 bits.
    const qint64 work = pixels * structure.scanComponents;
    if (work > budget.workLeft())
        raise(InvalidPicture);
    return work;
}

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
    CostBudget budget(file.size());
    return decodeJpeg(file, budget);
}

QImage decodeJpeg(QByteArrayView file, CostBudget& budget)
{
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const jpeg::Structure structure = jpeg::walkSegments(buffer);
    if (structure.segments > jpeg::MaxSegments || structure.scans > jpeg::MaxScans)
        raise(InvalidPicture);
    chargeWork(budget, scanWork(budget, structure, file.size()));
    const QImage stored = decodeWithQt(file, "jpeg", budget);
    if (structure.orientation == 1)
        return stored;
    // Turning makes a second copy of the pixels for a moment.
    admitPicture(budget, stored.width(), stored.height(), file.size(), 2);
    return turnUpright(stored, structure.orientation);
}

} // namespace platform::raster
