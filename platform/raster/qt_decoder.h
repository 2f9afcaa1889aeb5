#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// Decodes `bytes` with Qt's image reader for `qtFormat` ("gif", "jpeg", "png"): the first
/// image only, as stored (no EXIF orientation applied), converted to sRGB when a JPEG or PNG
/// embeds an ICC profile. The picture is admitted to `budget` from the size its own header
/// states before anything is decoded; with `claimed` valid (the size a bitmap that carries the
/// stream states), a stream larger than that either way is refused. Raises InvalidPicture when
/// Qt cannot read the bytes or the budget is spent, OutOfMemory when the picture would not fit.
QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat, CostBudget& budget,
                    QSize claimed = {});

} // namespace platform::raster
