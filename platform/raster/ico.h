#pragma once

#include "../byte_reader.h"

#include <QByteArrayView>
#include <QImage>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// True when `head`, a file's first bytes, starts an icon or cursor directory: ICONDIR with at
/// least one entry, and the first ICONDIRENTRY there; allocates nothing.
bool sniffIco(ByteReader head);

/// Decodes an icon or cursor file: of the pictures its directory lists, the largest (ties:
/// the deepest colour, then the first listed) that decodes, measured by the picture's own
/// header rather than the directory's bytes. BMP entries go through decodeIconDib() (AND
/// mask applied), PNG entries through Qt. Raises InvalidPicture when the directory is damaged
/// or no entry decodes, OutOfMemory when the chosen picture would not fit in the budget.
/// Each distinct picture (offset and size) is tried once, and only the best eight in all;
/// their cost is charged to `budget`.
QImage decodeIco(QByteArrayView file, CostBudget& budget);
/// As above, with a budget of its own for the file.
QImage decodeIco(QByteArrayView file);

} // namespace platform::raster
