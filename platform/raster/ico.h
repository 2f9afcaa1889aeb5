#pragma once

#include <QByteArrayView>
#include <QImage>

namespace platform::raster {

/// Decodes an icon or cursor file: of the pictures its directory lists, the largest (ties:
/// the deepest colour, then the first listed) that decodes, measured by the picture's own
/// header rather than the directory's bytes. BMP entries go through decodeIconDib() (AND
/// mask applied), PNG entries through Qt. Raises InvalidPicture when the directory is damaged
/// or no entry decodes, OutOfMemory when the chosen picture would not fit in the budget.
QImage decodeIco(QByteArrayView file);

} // namespace platform::raster
