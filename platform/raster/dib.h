#pragma once

#include "../byte_reader.h"

#include <QByteArrayView>
#include <QImage>

#include <optional>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// biCompression values of a DIB header [MS-WMF 2.1.1.7], BI_ALPHABITFIELDS from Windows CE.
inline constexpr quint32 BI_RGB = 0;
inline constexpr quint32 BI_RLE8 = 1;
inline constexpr quint32 BI_RLE4 = 2;
inline constexpr quint32 BI_BITFIELDS = 3;
inline constexpr quint32 BI_JPEG = 4;
inline constexpr quint32 BI_PNG = 5;
inline constexpr quint32 BI_ALPHABITFIELDS = 6;

/// True when `head`, a file's first bytes, starts a BMP file (bfType "BM"); allocates nothing.
bool sniffBmp(ByteReader head);

/// Decodes a BMP file: BITMAPFILEHEADER, then a device-independent bitmap (see decodeDib()).
/// Raises InvalidPicture when the bytes are not a readable bitmap, OutOfMemory when the
/// picture would not fit in the pixel budget, or its cost passes `budget`.
QImage decodeBmp(QByteArrayView file, CostBudget& budget);
/// As above, with a budget of its own for the file.
QImage decodeBmp(QByteArrayView file);

/// Decodes a packed device-independent bitmap as metafiles and icons store them: `info` holds
/// the header (OS/2 1.x/2.x, BITMAPINFOHEADER, V2 to V5) with its masks and colour table;
/// `bits` the pixel data. With `bits` empty, the pixel data follow the colour table inside
/// `info`. Every depth from 1 to 32 bits, BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS, RLE4,
/// RLE8, OS/2 RLE24, and embedded JPEG or PNG. A V5 header's embedded ICC profile converts
/// the pixels to sRGB. The result is Format_RGB32 when every pixel is
/// opaque, Format_ARGB32 when the bitmap has an alpha channel, Format_ARGB32_Premultiplied
/// otherwise: pixels that RLE skips or truncated data leave out are transparent (0).
/// Raises InvalidPicture when the bytes are not a readable bitmap (or hold no pixel data at
/// all), OutOfMemory when the picture would not fit in the pixel budget. A JPEG or PNG
/// stream larger than the size the header claims is refused. The cost is charged to
/// `budget`, which grows by the bitmap's own size only when nothing set a picture size first.
QImage decodeDib(QByteArrayView info, QByteArrayView bits, CostBudget& budget);
/// As above, with a budget of its own for the bitmap.
QImage decodeDib(QByteArrayView info, QByteArrayView bits = {});

/// Decodes the bitmap of an icon or cursor resource: a packed DIB whose header height counts
/// the colour (XOR) bitmap and the 1-bit AND mask below it. Mask bits that are set make the
/// pixel transparent, at every depth; a 32-bit bitmap with an alpha channel of its own uses
/// that instead, as Windows draws it. A missing mask leaves the pixels opaque. Always
/// Format_ARGB32. Raises as decodeDib().
QImage decodeIconDib(QByteArrayView entry, CostBudget& budget);
/// As above, with a budget of its own for the entry.
QImage decodeIconDib(QByteArrayView entry);

/// Where the rows of an uncompressed, opaque 24- or 32-bit BMP file lie, for reading them
/// straight from the file into the picture (they decode to Format_RGB32 exactly as
/// decodeBmp() would decode them).
struct PlainBitmap {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;  ///< 24 or 32
    qint64 offset = 0; ///< of the first stored row, from the start of the file
    qint64 stride = 0; ///< bytes from one stored row to the next
    /// Where an embedded ICC profile lies in the file (a V5 header's), size 0 without one.
    qint64 profileOffset = 0;
    qint64 profileSize = 0;
};

/// The layout of a BMP file whose first bytes are `head` (at least its headers) and whose
/// size is `fileSize`, when it is a plain bitmap whose every row is in the file; nothing for
/// any other bitmap, which decodeBmp() decodes whole. Raises OutOfMemory or InvalidPicture
/// when the picture's size is refused, as decodeBmp() would.
std::optional<PlainBitmap> plainBitmap(QByteArrayView head, qint64 fileSize);

} // namespace platform::raster
