#pragma once

#include <QByteArrayView>
#include <QtEndian>

#include <cstring>
#include <type_traits>

namespace platform::metafile {

/// Little-endian reader over untrusted bytes. A read past the end yields 0 (or an empty view)
/// and latches failed(); every later read then fails too, so a parser checks once at the end
/// of a structure. The reader never owns the bytes.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView data) : m_data(data) {}

    quint8 u8() { return read<quint8>(); }
    quint16 u16() { return read<quint16>(); }
    qint16 i16() { return read<qint16>(); }
    quint32 u32() { return read<quint32>(); }
    qint32 i32() { return read<qint32>(); }
    /// An IEEE single-precision value.
    float f32()
    {
        const quint32 bits = u32();
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    /// The next `size` bytes; an empty view (and failed()) when fewer remain.
    QByteArrayView bytes(quint64 size)
    {
        if (!has(size)) {
            fail();
            return {};
        }
        const QByteArrayView out = m_data.sliced(m_pos, qsizetype(size));
        m_pos += qsizetype(size);
        return out;
    }

    /// The next `size` bytes as a reader of their own; a failed, empty reader when fewer remain.
    ByteReader take(quint64 size)
    {
        if (!has(size)) {
            fail();
            ByteReader none;
            none.m_failed = true;
            return none;
        }
        return ByteReader(bytes(size));
    }

    /// Skips `size` bytes; fails when fewer remain.
    void skip(quint64 size)
    {
        if (!has(size))
            fail();
        else
            m_pos += qsizetype(size);
    }

    /// Moves to `offset` from the start; fails when it lies past the end.
    void seek(quint64 offset)
    {
        if (offset > quint64(m_data.size()))
            fail();
        else
            m_pos = qsizetype(offset);
    }

    /// The `size` bytes at `offset` from the start, as their own reader (a failed reader when
    /// they do not lie inside); this reader's position does not change.
    ByteReader at(quint64 offset, quint64 size) const
    {
        ByteReader out;
        if (offset > quint64(m_data.size()) || size > quint64(m_data.size()) - offset) {
            out.m_failed = true;
            return out;
        }
        out.m_data = m_data.sliced(qsizetype(offset), qsizetype(size));
        return out;
    }

    /// True when `size` more bytes can be read.
    bool has(quint64 size) const { return !m_failed && size <= quint64(remaining()); }
    qsizetype remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    qsizetype pos() const { return m_pos; }
    qsizetype size() const { return m_data.size(); }
    QByteArrayView data() const { return m_data; }
    bool failed() const { return m_failed; }
    void fail() { m_failed = true; }

private:
    template <typename T>
    T read()
    {
        static_assert(std::is_integral_v<T>);
        if (!has(sizeof(T))) {
            fail();
            return 0;
        }
        const T value = qFromLittleEndian<T>(m_data.data() + m_pos);
        m_pos += qsizetype(sizeof(T));
        return value;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

} // namespace platform::metafile
