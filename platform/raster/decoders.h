#pragma once

#include "../picture_format.h"

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes a raster picture of `format` from `bytes` with the format's registered decoder
/// (registeredFormats()), for pictures that other files carry whole (a JPEG inside a
/// metafile's bitmap). Raises InvalidPicture when `format` is not a raster format or the bytes
/// are not a readable picture of it, OutOfMemory when it would not fit in the pixel budget.
QImage decode(PictureFormat format, QByteArrayView bytes);
/// As above, its cost charged to `budget`.
QImage decode(PictureFormat format, QByteArrayView bytes, CostBudget& budget);

} // namespace platform::raster
