#pragma once

#include "gdi_objects.h"

#include <QByteArrayView>
#include <QImage>
#include <QRectF>
#include <QSize>

#include <optional>

namespace platform {
class CostBudget;
}

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

/// Charges the decoding of a bitmap of `width` x `height` pixels to `budget` (a unit of work
/// per pixel) and checks that its pixels, at 4 bytes each, fit in the memory left. False,
/// and the bitmap is not to be decoded, when either is spent.
bool affordBitmap(CostBudget& budget, qint64 width, qint64 height);

/// Whether `present` bytes of pixels are enough for a bitmap that needs `needed`: the rows
/// the data do not reach are filled, but only up to as many bytes as are present and a
/// little more, so that a few bytes cannot declare a large bitmap.
bool enoughPixelData(qint64 needed, qint64 present);

/// The width and height a JPEG (BI_JPEG) or PNG (BI_PNG) stream states in its own header;
/// nullopt when it states none we can read.
std::optional<QSize> embeddedPictureSize(QByteArrayView stream, quint32 compression);

/// Decodes a DIB given as header-and-colours `info` and pixel data `bits` (with `bits`
/// empty, the pixels follow the colours in `info`) through the picture decoder, charged to
/// `budget`. With DIB_PAL_COLORS the colour table holds indexes into `palette`. A 32-bit
/// BI_RGB bitmap keeps its alpha channel when `keepAlpha` is set (AlphaBlend's per-pixel
/// alpha). A JPEG or PNG inside must not be larger than the header says. A null image when
/// the bitmap is unreadable, larger than MaxBitmapPixels, short of pixel data
/// (enoughPixelData()) or beyond the budget.
QImage decodeMetafileDib(QByteArrayView info, QByteArrayView bits, quint32 usage,
                         const GdiPalette& palette, CostBudget& budget, bool keepAlpha = false);

/// Decodes a 1-bit uncompressed DIB as monochrome patterns need it: Format_Mono, every bit
/// kept as it is stored, 0 bits black and 1 bits white whatever the bitmap's colour table
/// says (such a pattern paints its 0 bits in the text colour and its 1 bits in the
/// background colour). Rows the data do not reach are 0. A null image for any other bitmap,
/// and as decodeMetafileDib() for short data or a spent budget.
QImage decodeMonoDib(QByteArrayView info, QByteArrayView bits, CostBudget& budget);

/// Decodes a Bitmap16 device-dependent bitmap ([MS-WMF] 2.2.2.1) whose header starts
/// `bitmap`; monochrome bitmaps take `foreground` for 0 bits and `background` for 1 bits.
/// A null image when unreadable or beyond `budget`.
QImage decodeBitmap16(QByteArrayView bitmap, const QColor& foreground, const QColor& background,
                      CostBudget& budget);

} // namespace platform::metafile
