#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes a BMP file: BITMAPFILEHEADER, then a device-independent bitmap (see decodeDib()).
/// Raises InvalidPicture when the bytes are not a readable bitmap, OutOfMemory when the
/// picture would not fit in the pixel budget.
QImage decodeBmp(QByteArrayView file);

/// Decodes a packed device-independent bitmap as metafiles and icons store them: `info` holds
/// the header (OS/2 1.x/2.x, BITMAPINFOHEADER, V2 to V5) with its masks and colour table;
/// `bits` the pixel data. With `bits` empty, the pixel data follow the colour table inside
/// `info`. Every depth from 1 to 32 bits, BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS, RLE4,
/// RLE8, OS/2 RLE24, and embedded JPEG or PNG. The result is Format_RGB32 when every pixel is
/// opaque, Format_ARGB32 when the bitmap has an alpha channel, Format_ARGB32_Premultiplied
/// otherwise: pixels that RLE skips or truncated data leave out are transparent (0).
/// Raises InvalidPicture when the bytes are not a readable bitmap (or hold no pixel data at
/// all), OutOfMemory when the picture would not fit in the pixel budget.
QImage decodeDib(QByteArrayView info, QByteArrayView bits = {});

/// Decodes the bitmap of an icon or cursor resource: a packed DIB whose header height counts
/// the colour (XOR) bitmap and the 1-bit AND mask below it. Mask bits that are set make the
/// pixel transparent, at every depth; a 32-bit bitmap with an alpha channel of its own uses
/// that instead, as Windows draws it. A missing mask leaves the pixels opaque. Always
/// Format_ARGB32. Raises as decodeDib().
QImage decodeIconDib(QByteArrayView entry);

} // namespace platform::raster
