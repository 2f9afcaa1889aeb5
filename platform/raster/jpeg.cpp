#include "jpeg.h"

#include "../cost_budget.h"
#include "../errors.h"
#include "jpeg_markers.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <QBuffer>

namespace platform::raster {

namespace {

// Each scan is a pass over the coefficients of every component it holds: charged before
// the decoder starts, from what the walk counted.
void chargeScans(CostBudget& budget, const jpeg::Structure& structure, qint64 sourceBytes)
{
    if (structure.width <= 0 || structure.height <= 0)
        return; // the decoder refuses a frame without a size
    checkPictureSize(structure.width, structure.height, sourceBytes);
    const qint64 pixels = qint64(structure.width) * structure.height;
    budget.allowPicture(pixels);
    chargeWork(budget, pixels * qMax(structure.components, 1) * structure.scans);
}

} // namespace

bool sniffJpeg(ByteReader head)
{
    return head.u8() == 0xFF && head.u8() == jpeg::SOI && head.u8() == 0xFF;
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
    chargeScans(budget, structure, file.size());
    return decodeWithQt(file, "jpeg", budget, true);
}

} // namespace platform::raster
