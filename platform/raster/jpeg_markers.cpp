#include "jpeg_markers.h"

#include "../byte_reader.h"

#include <QByteArray>

#include <cstring>

namespace platform::raster::jpeg {

namespace {

constexpr qint64 ReadChunk = 64 * 1024;

/// Reads a file byte by byte through a buffer, without mapping it into memory.
class ChunkReader {
public:
    explicit ChunkReader(QIODevice& device)
        : m_device(device)
        , m_buffer(ReadChunk, Qt::Uninitialized)
    {
    }

    /// The next byte, or -1 at the end of the file.
    int next()
    {
        if (m_at == m_end && !refill())
            return -1;
        return quint8(m_buffer[m_at++]);
    }

    /// Steps to just after the next 0xFF byte; false when the file ends first.
    bool skipPastFF()
    {
        for (;;) {
            const auto* begin = reinterpret_cast<const uchar*>(m_buffer.constData());
            const void* hit = std::memchr(begin + m_at, 0xFF, size_t(m_end - m_at));
            if (hit) {
                m_at = static_cast<const uchar*>(hit) - begin + 1;
                return true;
            }
            m_at = m_end;
            if (next() < 0)
                return false;
            if (quint8(m_buffer[m_at - 1]) == 0xFF)
                return true;
        }
    }

    /// The next `count` bytes; fewer when the file ends first.
    QByteArray read(qint64 count)
    {
        QByteArray out;
        while (count > 0) {
            if (m_at == m_end && !refill())
                break;
            const qint64 n = qMin(count, m_end - m_at);
            out.append(m_buffer.constData() + m_at, n);
            m_at += n;
            count -= n;
        }
        return out;
    }

    /// Skips `count` bytes; false when the file ends first.
    bool skip(qint64 count)
    {
        const qint64 buffered = qMin(count, m_end - m_at);
        m_at += buffered;
        count -= buffered;
        if (count == 0)
            return true;
        const qint64 target = m_device.pos() + count;
        if (target > m_device.size())
            return false;
        return m_device.seek(target);
    }

private:
    bool refill()
    {
        const qint64 n = m_device.read(m_buffer.data(), m_buffer.size());
        if (n <= 0)
            return false;
        m_at = 0;
        m_end = n;
        return true;
    }

    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_at = 0;
    qint64 m_end = 0;
};

// TIFF field types [TIFF 6.0 section 2] that hold an integer.
constexpr quint16 TiffByte = 1;
constexpr quint16 TiffShort = 3;
constexpr quint16 TiffLong = 4;
constexpr quint16 TiffSByte = 6;
constexpr quint16 TiffSShort = 8;
constexpr quint16 TiffSLong = 9;
constexpr quint16 OrientationTag = 0x0112;
constexpr qint64 IfdEntrySize = 12;

} // namespace

std::optional<int> exifOrientation(QByteArrayView app1)
{
    ByteReader r(app1);
    if (r.bytes(6) != QByteArrayView("Exif\0\0", 6))
        return std::nullopt;
    ByteReader tiff(r.rest());
    const quint16 order = tiff.u16();
    const bool big = order == 0x4D4D; // "MM"
    if (!big && order != 0x4949)      // "II"
        return 1;
    auto u16 = [big](ByteReader& b) { return big ? b.u16be() : b.u16(); };
    auto u32 = [big](ByteReader& b) { return big ? b.u32be() : b.u32(); };
    if (u16(tiff) != 42)
        return 1;
    tiff.seek(u32(tiff));
    const int entries = u16(tiff);
    for (int i = 0; i < entries && !tiff.failed(); ++i) {
        ByteReader entry = tiff.take(IfdEntrySize);
        if (u16(entry) != OrientationTag)
            continue;
        const quint16 type = u16(entry);
        const quint32 count = u32(entry);
        // The value sits at the start of the entry's 4-byte value field.
        qint64 value = 0;
        switch (type) {
        case TiffByte:
        case TiffSByte:
            value = entry.u8();
            break;
        case TiffShort:
        case TiffSShort:
            value = u16(entry);
            break;
        case TiffLong:
        case TiffSLong:
            value = u32(entry);
            break;
        default:
            return 1;
        }
        return !entry.failed() && count >= 1 && value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

Structure walkSegments(QIODevice& device)
{
    ChunkReader in(device);
    Structure found;
    if (in.next() != 0xFF || in.next() != SOI)
        return found;
    int& segments = found.segments;
    int& orientation = found.orientation;
    bool exifSeen = false;
    bool frame = false;
    bool inScan = false;
    for (;;) {
        // Entropy-coded data, or stray bytes that libjpeg steps over, up to the next marker.
        if (!in.skipPastFF())
            return {frame, segments, orientation}; // cut short: decodes partly
        int marker = in.next();
        while (marker == 0xFF)
            marker = in.next();
        if (marker < 0)
            return {frame, segments, orientation};
        if (marker == 0 || marker == TEM || (marker >= RST0 && marker <= RST7))
            continue; // stuffed byte or restart marker inside the scan data
        if (marker == EOI)
            return {frame, segments, orientation};
        if (++segments > MaxSegments)
            return {false, segments, orientation};
        const int high = in.next();
        const int low = in.next();
        if (high < 0 || low < 0)
            return {inScan, segments, orientation};
        const int length = high << 8 | low;
        if (length < 2)
            return {false, segments, orientation};
        if (marker >= SOF0 && marker <= SOF15 && marker != DHT && marker != JPG && marker != DAC)
            frame = true;
        if (marker == SOS && !frame)
            return {false, segments, orientation};
        if (marker == APP1 && !exifSeen) {
            const QByteArray payload = in.read(length - 2);
            if (const std::optional<int> stated = exifOrientation(payload)) {
                exifSeen = true;
                orientation = *stated;
            }
            if (payload.size() < length - 2)
                return {inScan, segments, orientation};
        } else if (!in.skip(length - 2)) {
            // Cut short inside a segment: only scan data before it decode.
            return {inScan, segments, orientation};
        }
        inScan = inScan || marker == SOS;
    }
}

} // namespace platform::raster::jpeg
