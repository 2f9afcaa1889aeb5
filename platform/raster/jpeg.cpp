#include "jpeg.h"

#include "../byte_reader.h"
#include "../errors.h"
#include "qt_decoder.h"

namespace platform::raster {

namespace {

// Markers [ITU-T T.81 Table B.1].
constexpr quint8 MarkerPrefix = 0xFF;
constexpr quint8 TEM = 0x01;
constexpr quint8 RST0 = 0xD0;
constexpr quint8 RST7 = 0xD7;
constexpr quint8 SOI = 0xD8;
constexpr quint8 EOI = 0xD9;

// Real pictures carry a few dozen segments (ICC profiles split over up to 255 APP2
// segments included); a hundred thousand tiny APP1 segments take libjpeg minutes.
constexpr int MaxSegments = 4096;

// Counts the marker segments, stepping over entropy-coded data and stray bytes the way
// libjpeg's marker reader does (it looks for the next 0xFF).
int segmentCount(QByteArrayView file)
{
    ByteReader r(file);
    if (r.u8() != MarkerPrefix || r.u8() != SOI)
        return 0;
    int segments = 0;
    while (!r.atEnd() && segments <= MaxSegments) {
        const qsizetype prefix = r.rest().indexOf(char(MarkerPrefix));
        if (prefix < 0)
            break;
        r.skip(prefix + 1);
        quint8 marker = r.u8();
        while (marker == MarkerPrefix && !r.failed())
            marker = r.u8();
        if (r.failed() || marker == EOI)
            break;
        // A stuffed zero inside entropy-coded data, or a marker without a segment.
        if (marker == 0 || marker == TEM || (marker >= RST0 && marker <= RST7))
            continue;
        ++segments;
        // The length counts its own two bytes; libjpeg reads a shorter one as no payload.
        const qint64 payload = qint64(r.u16be()) - 2;
        r.skip(qBound<qint64>(0, payload, r.remaining()));
    }
    return segments;
}

} // namespace

QImage decodeJpeg(QByteArrayView file)
{
    if (segmentCount(file) > MaxSegments)
        raise(InvalidPicture);
    return decodeWithQt(file, "jpeg", true);
}

} // namespace platform::raster
