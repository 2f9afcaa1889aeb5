#include "mix_mode.h"

#include "gdi_objects.h"

namespace platform::metafile {

namespace {

QColor inverted(const QColor& c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue(), c.alpha());
}

} // namespace

MixMode mixModeOf(int rop2)
{
    MixMode m;
    switch (rop2) {
    case R2_BLACK:
        m.color = MixMode::Black;
        break;
    case R2_WHITE:
        m.color = MixMode::White;
        break;
    case R2_NOP:
        m.draw = false;
        break;
    case R2_NOTCOPYPEN:
        m.color = MixMode::Invert;
        break;
    case R2_NOT:
        m.color = MixMode::White;
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_XORPEN:
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_NOTXORPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Difference;
        break;
    case R2_MASKPEN:
        m.mode = QPainter::CompositionMode_Multiply;
        break;
    case R2_MASKNOTPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Multiply;
        break;
    case R2_MERGEPEN:
        m.mode = QPainter::CompositionMode_Lighten;
        break;
    case R2_MERGENOTPEN:
        m.color = MixMode::Invert;
        m.mode = QPainter::CompositionMode_Lighten;
        break;
    default:
        // R2_COPYPEN and the operations QPainter has no counterpart for.
        break;
    }
    return m;
}

QColor mixColor(const MixMode& m, const QColor& c)
{
    switch (m.color) {
    case MixMode::Keep:
        break;
    case MixMode::Invert:
        return inverted(c);
    case MixMode::Black:
        return Qt::black;
    case MixMode::White:
        return Qt::white;
    }
    return c;
}

} // namespace platform::metafile
