#pragma once

#include <QByteArray>

namespace testing {

// Small metafiles made to cost far more than their size justifies, one for each way a
// player can be made to spend time or memory. Each is a valid file that a careful player
// shows (or partly shows) quickly.

/// A placeable WMF of `holes` EXCLUDECLIPRECT records, each cutting a separate hole out of
/// the clip, with a rectangle filled after every hundred.
QByteArray wmfExcludeClipHoles(int holes = 3000);

/// A placeable WMF whose one monochrome pattern brush declares `side` x `side` pixels with
/// 4 bytes of bits (or, `withBits`, all of its bits), then `rectangles` rectangles filled
/// with it.
QByteArray wmfHugeMonoPattern(int rectangles = 1500, int side = 8192, bool withBits = false);

/// An EMF of `brushes` EMR_CREATEDIBPATTERNBRUSHPT records, each declaring an 8192 x 8192
/// 32-bit bitmap with 4 bytes of bits, each selected and used for a rectangle.
QByteArray emfHugePatternBrushes(int brushes = 24);

/// An EMF of `blits` EMR_STRETCHDIBITS records, each an RLE8 bitmap of 8192 x 8192 pixels
/// holding only "end of bitmap".
QByteArray emfEmptyRleBlits(int blits = 1500);

/// An EMF drawing, `copies` times, a DIB whose header says 16 x 16 but which carries a PNG
/// (`jpeg` false) or a JPEG of `side` x `side` pixels.
QByteArray emfOversizedEmbeddedPicture(bool jpeg, int side = 4096, int copies = 4);

/// An EMF whose world transform is multiplied, `steps` times, so that the matrix stays
/// finite and invertible while the points of its rectangles overflow; the transform is
/// then reset and a blue rectangle drawn over the middle of the picture.
QByteArray emfOverflowingTransforms(int steps = 8);

/// A placeable WMF that fills its object table (65,535 creates), frees slot 0, then
/// creates `creates` more objects, which find no free slot.
QByteArray wmfFullObjectTable(int creates = 60000);

/// A placeable WMF of `records` EXTTEXTOUT records, each `bytes` bytes of Shift-JIS
/// double-byte characters clipped to a small rectangle.
QByteArray wmfDoubleByteText(int records = 30, int bytes = 32000);

} // namespace testing
