#include "picture_format.h"

#include <QtEndian>

namespace platform {

namespace {

quint16 u16At(QByteArrayView b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.data() + at) : 0;
}

quint32 u32At(QByteArrayView b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.data() + at) : 0;
}

constexpr quint32 PlaceableKey = 0x9AC6CDD7; // META_PLACEABLE Key
constexpr quint32 EmfSignature = 0x464D4520; // ENHMETA_SIGNATURE, " EMF"
constexpr quint32 EMR_HEADER = 1;

} // namespace

PictureFormat sniffFormat(QByteArrayView b)
{
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M')
        return PictureFormat::Bmp;
    if (b.startsWith("GIF87a") || b.startsWith("GIF89a"))
        return PictureFormat::Gif;
    if (b.size() >= 3 && quint8(b[0]) == 0xFF && quint8(b[1]) == 0xD8 && quint8(b[2]) == 0xFF)
        return PictureFormat::Jpeg;
    // ICONDIR: reserved 0, type 1 (icon) or 2 (cursor), at least one entry.
    if (u16At(b, 0) == 0 && (u16At(b, 2) == 1 || u16At(b, 2) == 2) && u16At(b, 4) > 0
        && b.size() >= 6 + 16)
        return PictureFormat::Icon;
    if (u32At(b, 0) == PlaceableKey)
        return PictureFormat::PlaceableWmf;
    if (u32At(b, 0) == EMR_HEADER && u32At(b, 40) == EmfSignature)
        return PictureFormat::Emf;
    // META_HEADER: type 1 (memory) or 2 (disk), header size 9 words, version 0x100 or 0x300.
    const quint16 type = u16At(b, 0);
    const quint16 version = u16At(b, 4);
    if ((type == 1 || type == 2) && u16At(b, 2) == 9 && (version == 0x0100 || version == 0x0300))
        return PictureFormat::Wmf;
    return PictureFormat::Unknown;
}

const char* formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp:
        return "bmp";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Icon:
        return "ico";
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
        return "wmf";
    case PictureFormat::Emf:
        return "emf";
    case PictureFormat::Unknown:
        break;
    }
    return "unknown";
}

} // namespace platform
