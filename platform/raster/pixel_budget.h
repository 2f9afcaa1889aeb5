#pragma once

#include <QImage>
#include <QtGlobal>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// Bytes of decoded pixels that one picture may take: about half of the machine's physical
/// memory, so that a picture that cannot fit is refused before it is allocated.
qint64 pixelBudget();

/// Replaces the budget (tests); 0 restores the machine's own. Returns the previous override.
qint64 setPixelBudget(qint64 bytes);

/// Checks a picture of `width` x `height` pixels at 4 bytes each, of which `copies` exist at
/// once while it is decoded, made from `sourceBytes` bytes of file. Raises OutOfMemory when it
/// would not fit in the budget, InvalidPicture when a size is not positive or too large for
/// an image, or when a huge picture comes from a file far too small to describe it (a
/// decompression bomb).
void checkPictureSize(qint64 width, qint64 height, qint64 sourceBytes, int copies = 1);

/// Admits a picture of `width` x `height` pixels to the file's `budget` once its size is
/// known: checkPictureSize() for its `copies`, then the picture's size allowed (the first
/// time only), its pixels held in memory and every copy charged as work (each pixel written
/// once). Raises as checkPictureSize(), OutOfMemory when the pixels do not fit in the memory
/// left, InvalidPicture when the work is spent.
void admitPicture(CostBudget& budget, qint64 width, qint64 height, qint64 sourceBytes,
                  int copies = 1);

/// Charges `units` of decoding work to `budget`; raises InvalidPicture once it is spent.
void chargeWork(CostBudget& budget, qint64 units);

/// A new, uninitialised image after admitPicture(); raises OutOfMemory when the allocation
/// fails.
QImage allocatePicture(CostBudget& budget, qint64 width, qint64 height, QImage::Format format,
                       qint64 sourceBytes);

} // namespace platform::raster
