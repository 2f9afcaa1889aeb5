#pragma once

#include "../picture_format.h"

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes a raster picture of `format` from `bytes`, choosing the decoder for the format.
/// Raises InvalidPicture when the bytes are not a readable picture of that format.
QImage decode(PictureFormat format, QByteArrayView bytes);

} // namespace platform::raster
