#include "dib.h"

#include "../errors.h"
#include "qt_decoder.h"

#include <QtEndian>

namespace platform::raster {

namespace {

quint32 u32At(QByteArrayView b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.data() + at) : 0;
}

quint16 u16At(QByteArrayView b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.data() + at) : 0;
}

// Bytes of header, masks and colour table in front of the pixel data of a packed DIB.
qsizetype infoSize(QByteArrayView info)
{
    const quint32 headerSize = u32At(info, 0);
    if (headerSize == 12) { // BITMAPCOREHEADER: RGBTRIPLE entries
        const int bits = u16At(info, 10);
        return 12 + (bits <= 8 ? qsizetype(3) << bits : 0);
    }
    if (headerSize < 40 || headerSize > 124)
        raise(InvalidPicture);
    const int bits = u16At(info, 14);
    const quint32 compression = u32At(info, 16);
    const quint32 used = u32At(info, 32);
    qsizetype size = headerSize;
    if (headerSize == 40 && (compression == 3 || compression == 6))
        size += compression == 3 ? 12 : 16;
    const qsizetype entries = used ? qsizetype(used) : (bits <= 8 ? qsizetype(1) << bits : 0);
    return size + 4 * entries;
}

} // namespace

QImage decodeBmp(QByteArrayView file)
{
    return decodeWithQt(file, "bmp");
}

QImage decodeDib(QByteArrayView info, QByteArrayView bits)
{
    const qsizetype offset = 14 + infoSize(info);
    QByteArray file;
    file.reserve(14 + info.size() + bits.size());
    file.append("BM", 2);
    const quint32 total = quint32(14 + info.size() + bits.size());
    char header[12] = {};
    qToLittleEndian<quint32>(total, header);
    qToLittleEndian<quint32>(quint32(bits.isEmpty() ? offset : 14 + info.size()), header + 8);
    file.append(header, 12);
    file.append(info.data(), info.size());
    file.append(bits.data(), bits.size());
    return decodeWithQt(file, "bmp");
}

} // namespace platform::raster
