#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes `bytes` with Qt's image reader for `qtFormat` ("bmp", "gif", "jpeg", "ico"): the
/// first image only. Raises InvalidPicture when Qt cannot read it.
QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat);

} // namespace platform::raster
