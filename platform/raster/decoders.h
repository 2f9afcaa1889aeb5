#pragma once

#include "../picture.h"
#include "../picture_format.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <optional>

namespace platform::raster {

/// Decodes a raster picture of `format` from `bytes`, choosing the decoder for the format.
/// Raises InvalidPicture when the bytes are not a readable picture of that format.
QImage decode(PictureFormat format, QByteArrayView bytes);

/// Opens the raster picture of `format` in the file at `path` as a stream where the format
/// has a streaming decoder (JPEG, plain uncompressed bitmaps): the top `firstRows` rows are
/// decoded before it returns and the rest is left to the picture's pending rows, so that
/// nothing but the picture's own pixels is held. Nothing where the file must be decoded
/// whole from its bytes by decode(). Raises as decode().
std::optional<Picture> openStreaming(PictureFormat format, const QString& path, int firstRows);

} // namespace platform::raster
