#pragma once

#include <QByteArrayView>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>

namespace platform {

/// Little-endian reader (big-endian on request) over untrusted bytes that it does not own.
/// Every read is bounds-checked: a read past the end yields 0 (or an empty view), reads
/// nothing, and latches failed(), which stays set; from then on every read fails the same
/// way, so callers check failed() once after a group of reads.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView data)
        : m_data(data)
    {
    }

    quint8 u8() { return read<quint8>(); }
    quint16 u16() { return read<quint16>(); }
    quint32 u32() { return read<quint32>(); }
    quint64 u64() { return read<quint64>(); }
    qint8 i8() { return qint8(read<quint8>()); }
    qint16 i16() { return qint16(read<quint16>()); }
    qint32 i32() { return qint32(read<quint32>()); }
    /// Big-endian reads, for the few big-endian structures inside our formats (JPEG
    /// segments, PNG chunks).
    quint16 u16be() { return qFromBigEndian(read<quint16>()); }
    quint32 u32be() { return qFromBigEndian(read<quint32>()); }
    /// An IEEE single-precision value.
    float f32()
    {
        const quint32 bits = u32();
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    /// The next `size` bytes (a view into the same data); empty and failed when fewer remain.
    QByteArrayView bytes(qint64 size)
    {
        if (!claim(size))
            return {};
        const QByteArrayView out = m_data.sliced(m_pos, size);
        m_pos += size;
        return out;
    }

    /// The next `size` bytes as a reader of their own, so a record cannot read its neighbour.
    /// An empty, failed reader (and this one failed) when fewer remain.
    ByteReader take(qint64 size)
    {
        if (!claim(size)) {
            ByteReader out;
            out.m_failed = true;
            return out;
        }
        return ByteReader(bytes(size));
    }

    /// Skips `size` bytes; fails (and stays put) when fewer remain.
    void skip(qint64 size)
    {
        if (claim(size))
            m_pos += size;
    }

    /// Moves to the absolute `offset` (0 to size()); fails (and stays put) outside.
    void seek(qint64 offset)
    {
        if (offset < 0 || offset > m_data.size())
            m_failed = true;
        else
            m_pos = offset;
    }

    /// The `size` bytes at `offset` from the start, as a reader of their own (a failed reader
    /// when they do not lie inside); this reader's position does not change.
    ByteReader at(qint64 offset, qint64 size) const
    {
        ByteReader out;
        if (offset < 0 || size < 0 || offset > m_data.size() || size > m_data.size() - offset) {
            out.m_failed = true;
            return out;
        }
        out.m_data = m_data.sliced(offset, size);
        return out;
    }

    /// True when `size` more bytes can be read (never once the reader has failed).
    bool has(qint64 size) const { return !m_failed && size >= 0 && size <= remaining(); }

    /// Everything from the current position to the end (does not move).
    QByteArrayView rest() const { return m_data.sliced(m_pos); }
    /// All the bytes the reader covers.
    QByteArrayView data() const { return m_data; }

    qint64 position() const { return m_pos; }
    qint64 size() const { return m_data.size(); }
    /// Bytes left to read; 0 once the reader has failed, so that no loop over the rest goes on.
    qint64 remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    /// True once any read, take, skip or seek went out of bounds (or fail() was called).
    bool failed() const { return m_failed; }
    /// Latches the failure, for callers that find the bytes inconsistent.
    void fail() { m_failed = true; }

private:
    // True when `size` more bytes exist and nothing failed before; otherwise latches the
    // failure.
    bool claim(qint64 size)
    {
        if (m_failed || size < 0 || size > m_data.size() - m_pos) {
            m_failed = true;
            return false;
        }
        return true;
    }

    template <typename T> T read()
    {
        if (!claim(qint64(sizeof(T))))
            return 0;
        const T value = qFromLittleEndian<T>(m_data.data() + m_pos);
        m_pos += qint64(sizeof(T));
        return value;
    }

    QByteArrayView m_data;
    qint64 m_pos = 0;
    bool m_failed = false;
};

} // namespace platform
