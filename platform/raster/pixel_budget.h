#pragma once

#include <QImage>
#include <QtGlobal>

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

/// A new, uninitialised image after checkPictureSize(); raises OutOfMemory when the
/// allocation fails.
QImage allocatePicture(qint64 width, qint64 height, QImage::Format format, qint64 sourceBytes);

} // namespace platform::raster
