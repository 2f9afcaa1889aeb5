#pragma once

#include <QByteArray>
#include <QSize>

namespace testing {

/// Small files made to cost a decoder far more than their size: each one a few hundred
/// kilobytes at most, written here byte by byte so that no such file needs to be kept.

/// A PNG of `side` x `side` 8-bit RGBA pixels, all zero, whose image data stop after about
/// `dataBytes` bytes of a stream that would go on for the whole picture (no IEND).
QByteArray pngCutShort(int side, qint64 dataBytes);

/// A whole, valid PNG of `size` 8-bit RGBA pixels, all zero.
QByteArray pngOfZeros(QSize size);

/// An icon directory of `entries` entries that all point at one pngCutShort(side, dataBytes).
QByteArray iconOfOneCutPng(int entries, int side, qint64 dataBytes);

/// A greyscale progressive JPEG of `side` x `side` pixels: one DC scan with the picture, then
/// `emptyScans` AC scans that hold no data at all.
QByteArray jpegWithEmptyScans(int side, int emptyScans);

/// A BMP file whose header claims `width` x `height` pixels of `bitCount` bits, with only
/// `bitsBytes` bytes of pixel data after it.
QByteArray bmpOfClaimedSize(qint32 width, qint32 height, int bitCount, int bitsBytes);

/// A BMP file of BI_PNG compression whose header claims `claimed` and whose PNG holds
/// `actual` pixels.
QByteArray bmpWithPng(QSize claimed, QSize actual);

} // namespace testing
