#include "gdi_objects.h"

namespace platform::metafile {

QColor colorFromRef(quint32 ref, const GdiPalette* palette)
{
    // The high byte says how to read the rest ([MS-WMF] 2.2.2.8): 0x01 is an index into
    // the selected palette, 0x00 and 0x02 (palette-relative) carry red, green and blue.
    if ((ref >> 24) == 0x01) {
        const quint32 index = ref & 0xFFFF;
        if (palette && index < palette->entries.size())
            return QColor::fromRgb(palette->entries[index]);
        return Qt::black;
    }
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

} // namespace platform::metafile
