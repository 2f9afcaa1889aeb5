#pragma once

#include "../picture.h"

#include <QString>

#include <optional>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// Opens the BMP file at `path` so that its first rows are on screen soon, when it is a plain
/// uncompressed 24- or 32-bit bitmap: the top `firstRows` rows of the picture are read from
/// the file straight into its pixels (from the end of the file for the usual bottom-up
/// bitmaps) and the rest is left to the picture's pending rows. Nothing for any other bitmap.
/// Raises as decodeBmp() when the picture's size is refused; its pixels are charged to
/// `budget`.
std::optional<Picture> openPlainBmp(const QString& path, int firstRows, CostBudget& budget);

} // namespace platform::raster
