#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes `bytes` with Qt's image reader for `qtFormat` ("gif", "jpeg", "png"): the first
/// image only, as stored (no EXIF orientation applied), converted to sRGB when a JPEG or PNG
/// embeds an ICC profile. The pixel budget replaces Qt's own allocation cap. Raises InvalidPicture when Qt
/// cannot read the bytes, OutOfMemory when the picture would not fit in the budget.
QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat);

} // namespace platform::raster
