#pragma once

#include "gdi_objects.h"

#include <QByteArrayView>
#include <QImage>
#include <QRectF>

namespace platform::metafile {

/// Colour usage of a device-independent bitmap in a record ([MS-WMF] 2.1.1.3).
inline constexpr quint32 DIB_RGB_COLORS = 0;
inline constexpr quint32 DIB_PAL_COLORS = 1;

/// Bitmaps larger than this many pixels are not decoded.
inline constexpr qint64 MaxBitmapPixels = qint64(64) * 1024 * 1024;

/// Width and height of a DIB from its header (BITMAPCOREHEADER or BITMAPINFOHEADER and
/// later); the height is negative for top-down bitmaps. 0x0 when the header is unreadable.
struct DibGeometry {
    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
    quint32 compression = 0;
    bool valid() const { return width > 0 && height != 0; }
};
DibGeometry dibGeometry(QByteArrayView info);

/// The part of a decoded (top-down) DIB that a *DIBits record's source rectangle names:
/// it counts rows from the bottom of a bottom-up bitmap.
QRectF dibSourceRect(QByteArrayView info, double x, double y, double w, double h);

/// Decodes a DIB given as header-and-colours `info` and pixel data `bits` (with `bits`
/// empty, the pixels follow the colours in `info`) through the picture decoder. With
/// DIB_PAL_COLORS the colour table holds indexes into `palette`. A 32-bit BI_RGB bitmap
/// keeps its alpha channel when `keepAlpha` is set (AlphaBlend's per-pixel alpha).
/// A null image when the bitmap is unreadable or larger than MaxBitmapPixels.
QImage decodeMetafileDib(QByteArrayView info, QByteArrayView bits, quint32 usage,
                         const GdiPalette& palette, bool keepAlpha = false);

/// Decodes a 1-bit uncompressed DIB as monochrome patterns need it: Format_Mono, every bit
/// kept as it is stored, 0 bits black and 1 bits white whatever the bitmap's colour table
/// says (such a pattern paints its 0 bits in the text colour and its 1 bits in the
/// background colour). Rows the data do not reach are 0. A null image for any other bitmap.
QImage decodeMonoDib(QByteArrayView info, QByteArrayView bits);

/// Decodes a Bitmap16 device-dependent bitmap ([MS-WMF] 2.2.2.1) whose header starts
/// `bitmap`; monochrome bitmaps take `foreground` for 0 bits and `background` for 1 bits.
/// A null image when unreadable.
QImage decodeBitmap16(QByteArrayView bitmap, const QColor& foreground, const QColor& background);

} // namespace platform::metafile
