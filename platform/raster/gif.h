#pragma once

#include "../byte_reader.h"

#include <QByteArrayView>
#include <QImage>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// True when `head`, a file's first bytes, starts a GIF ("GIF87a" or "GIF89a"); allocates
/// nothing.
bool sniffGif(ByteReader head);

/// Decodes the first frame of a GIF through Qt, on the file's logical screen: a first image
/// smaller than the screen stands at its offset, the rest of the screen transparent;
/// transparent pixels stay transparent. A first frame without pixels (zero width or height)
/// gives the empty, transparent screen. Its cost is charged to `budget`. Raises as
/// decodeWithQt().
QImage decodeGif(QByteArrayView file, CostBudget& budget);
/// As above, with a budget of its own for the file.
QImage decodeGif(QByteArrayView file);

} // namespace platform::raster
