#include "jpeg_markers.h"

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
        if (m_at == m_end) {
            const qint64 n = m_device.read(m_buffer.data(), m_buffer.size());
            if (n <= 0)
                return -1;
            m_at = 0;
            m_end = n;
        }
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
    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_at = 0;
    qint64 m_end = 0;
};

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

Structure walkSegments(QIODevice& device)
{
    ChunkReader in(device);
    Structure found;
    if (in.next() != 0xFF || in.next() != SOI)
        return found;
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
        const bool whole = counted ? readSegment(in, length, fields) : in.skip(length - 2);
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
