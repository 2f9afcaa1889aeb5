#pragma once

#include "../byte_reader.h"

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// True when `head`, a file's first bytes, starts a JPEG: the SOI marker, then the start of
/// another marker; allocates nothing.
bool sniffJpeg(ByteReader head);

/// `stored` as it is shown under EXIF orientation `orientation` (1 to 8; others leave it).
QImage turnUpright(const QImage& stored, int orientation);

/// Decodes a JPEG through Qt (libjpeg-turbo: baseline, progressive, arithmetic, grey, CMYK
/// and YCCK) with its EXIF orientation (see jpeg::exifOrientation()) applied, so the size is
/// the upright size. Turning needs room for two copies of the pixels in the budget. Refuses
/// with InvalidPicture a file of more marker segments than any real picture has (the
/// library's marker handling grows with their square); otherwise raises as decodeWithQt().
QImage decodeJpeg(QByteArrayView file);

} // namespace platform::raster
