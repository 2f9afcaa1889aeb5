#pragma once

#include "../picture.h"

#include <QString>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// Opens the JPEG file at `path` so that its first rows are on screen soon: the structure of
/// the whole file (its marker segments through EOI) and its header are checked first, then
/// the top `firstRows` rows are decoded straight into the picture's pixels and the rest is
/// left to the picture's pending rows, read from the file as they are asked for. A picture
/// stored turned (EXIF orientation 3 to 8) is decoded first where it shows a shown top-left
/// corner of `firstRows` rows by twice as many columns, then whole, into the turned pixels.
/// A body that turns out damaged later keeps what decodes. CMYK pictures are decoded whole
/// by decodeJpeg().
/// Raises InvalidPicture for a file that is not a readable JPEG, OutOfMemory when the picture
/// would not fit in the pixel budget, PathFileAccessError when the file cannot be read. The
/// picture's cost, each scan and libjpeg's working memory included, is charged to `budget`
/// (the pending rows charge a copy of it, as it stands when the first rows are in).
Picture openJpeg(const QString& path, int firstRows, CostBudget& budget);

} // namespace platform::raster
