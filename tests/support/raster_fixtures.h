#pragma once

#include "platform/errors.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <utility>

namespace testing {

/// One device-independent bitmap, written byte by byte as given, right or wrong: any header
/// size, masks, colour table and pixel data.
struct DibFixture {
    int headerSize = 40; ///< 12 (OS/2 1.x), 16 to 64 (OS/2 2.x), 40, 52, 56, 108, 124
    qint32 width = 1;
    qint32 height = 1; ///< negative: rows stored top-down
    int bitCount = 24;
    quint32 compression = 0;
    quint32 colorsUsed = 0;
    QList<quint32> masks; ///< in the header from 52 bytes on, else after it
    QList<QRgb> palette;  ///< RGBQUADs, RGBTRIPLEs after a 12-byte header
    QByteArray bits;      ///< the pixel data as stored

    /// Header, masks that follow it, colour table.
    QByteArray info() const;
    /// info() then the bits: a packed DIB.
    QByteArray packed() const { return info() + bits; }
    /// BITMAPFILEHEADER, info(), bits, with bfOffBits at the bits.
    QByteArray file() const;
};

/// Pixel rows as a DIB stores them: each row's bytes padded with zeros to a multiple of 4.
QByteArray dibRows(const QList<QByteArray>& rows);

/// A picture of `width` x `height` from its pixels (straight-alpha QRgb), top row first.
QImage argbImage(int width, int height, const QList<QRgb>& pixels);

/// "" when `actual` has the size and straight-alpha pixels of `expected` (formats aside, and
/// the colour of fully transparent pixels); else the size or the first pixel that differs.
QString pixelDifference(const QImage& actual, const QImage& expected);

/// The number of the platform::Error that `body` raises; 0 when it returns.
template <typename Body> int raisedError(Body&& body)
{
    try {
        std::forward<Body>(body)();
    } catch (const platform::Error& e) {
        return e.number();
    }
    return 0;
}

/// Replaces the decoders' pixel budget while it lives.
class PixelBudgetOverride {
public:
    explicit PixelBudgetOverride(qint64 bytes);
    ~PixelBudgetOverride();
    PixelBudgetOverride(const PixelBudgetOverride&) = delete;
    PixelBudgetOverride& operator=(const PixelBudgetOverride&) = delete;

private:
    qint64 m_previous;
};

/// One picture of an icon file: the directory's bytes for it and its data.
struct IconEntryFixture {
    int width = 0; ///< directory byte, 0 meaning 256
    int height = 0;
    int bitCount = 0;
    QByteArray data; ///< a DIB (height doubled, AND mask after the colours) or a PNG
};

/// An icon (type 1) or cursor (type 2) file holding `entries` in that order.
QByteArray iconFile(const QList<IconEntryFixture>& entries, quint16 type = 1);

/// A JPEG of `image` with an EXIF APP1 segment that gives `orientation` (1 to 8).
QByteArray jpegWithOrientation(const QImage& image, int orientation);

} // namespace testing
