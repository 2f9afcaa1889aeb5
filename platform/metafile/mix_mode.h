#pragma once

#include <QColor>
#include <QPainter>

namespace platform::metafile {

/// How a binary raster operation (ROP2) reaches QPainter: whether to draw at all, the
/// composition mode, and what becomes of the pen or brush colour. Bitwise operations on
/// 0/255 channels are products (AND), maxima (OR) and differences (XOR); partial values
/// blend smoothly.
struct MixMode {
    bool draw = true;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    enum {
        Keep,
        Invert,
        Black,
        White
    } color = Keep;
};

/// The mix mode of binary raster operation `rop2` (R2_BLACK 1 ... R2_WHITE 16); R2_COPYPEN
/// and the operations QPainter has no counterpart for draw as plain copies.
MixMode mixModeOf(int rop2);

/// The colour `c` of a pen or brush as mix mode `m` paints it.
QColor mixColor(const MixMode& m, const QColor& c);

} // namespace platform::metafile
