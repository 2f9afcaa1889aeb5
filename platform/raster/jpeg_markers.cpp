#include "jpeg_markers.h"

#include "../byte_reader.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

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

// Reads the first fields.size() bytes of a segment of `length` bytes after its marker into
// `fields` (as far as it holds them; the rest stay -1) and leaves `in` after the segment;
// false when the file ends first.
bool readSegment(ChunkReader& in, int length, std::span<int> fields)
{
    std::fill(fields.begin(), fields.end(), -1);
    const int held = qMin(length - 2, int(fields.size()));
    for (int i = 0; i < held; ++i) {
        fields[size_t(i)] = in.next();
        if (fields[size_t(i)] < 0)
            return false;
    }
    return in.skip(length - 2 - held);
}

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
    bool exifSeen = false;
    bool frame = false;
    bool inScan = false;
    // What the walk gives when it stops: whether the file decodes, with what it counted.
    auto ending = [&found](bool sound) {
        found.sound = sound;
        return found;
    };
    for (;;) {
        // Entropy-coded data, or stray bytes that libjpeg steps over, up to the next marker.
        if (!in.skipPastFF())
            return ending(frame); // cut short: decodes partly
        int marker = in.next();
        while (marker == 0xFF)
            marker = in.next();
        if (marker < 0)
            return ending(frame);
        if (marker == 0 || marker == TEM || (marker >= RST0 && marker <= RST7))
            continue; // stuffed byte or restart marker inside the scan data
        if (marker == EOI)
            return ending(frame);
        if (++found.segments > MaxSegments)
            return ending(false);
        const int high = in.next();
        const int low = in.next();
        if (high < 0 || low < 0)
            return ending(inScan);
        const int length = high << 8 | low;
        if (length < 2)
            return ending(false);
        const bool frameHeader = marker >= SOF0 && marker <= SOF15 && marker != DHT && marker != JPG
            && marker != DAC;
        if (marker == SOS && (!frame || ++found.scans > MaxScans))
            return ending(false);
        // The frame's size and components from the first frame header; each scan's
        // components from its header.
        std::array<int, 6> fields{};
        const bool counted = marker == SOS || (frameHeader && !frame);
        // Cut short inside a segment: only the scan data before it decode.
        bool whole = true;
        if (marker == APP1 && !exifSeen) {
            const QByteArray payload = in.read(length - 2);
            if (const std::optional<int> stated = exifOrientation(payload)) {
                exifSeen = true;
                found.orientation = *stated;
            }
            whole = payload.size() == length - 2;
        } else {
            whole = counted ? readSegment(in, length, fields) : in.skip(length - 2);
        }
        if (marker == SOS) {
            found.scanComponents += qMax(fields[0], 1);
        } else if (counted && fields[5] >= 0) {
            // Sample precision, height, width, components.
            found.height = fields[1] << 8 | fields[2];
            found.width = fields[3] << 8 | fields[4];
            found.components = fields[5];
        }
        frame = frame || frameHeader;
        if (!whole)
            return ending(inScan);
        inScan = inScan || marker == SOS;
    }
}

} // namespace platform::raster::jpeg
