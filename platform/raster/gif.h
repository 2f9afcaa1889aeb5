#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes the first frame of a GIF through Qt, on the file's logical screen; transparent
/// pixels stay transparent. A first frame without pixels (zero width or height) gives the
/// empty, transparent screen. Raises as decodeWithQt().
QImage decodeGif(QByteArrayView file);

} // namespace platform::raster
