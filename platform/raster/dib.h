#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes a BMP file: BITMAPFILEHEADER, then a device-independent bitmap.
/// Raises InvalidPicture when the bytes are not a readable bitmap.
QImage decodeBmp(QByteArrayView file);

/// Decodes a packed device-independent bitmap as metafiles and icons store them: `info` holds
/// the header (any version) with its masks and colour table; `bits` the pixel data. With
/// `bits` empty, the pixel data follow the colour table inside `info`.
/// Raises InvalidPicture when the bytes are not a readable bitmap.
QImage decodeDib(QByteArrayView info, QByteArrayView bits = {});

} // namespace platform::raster
