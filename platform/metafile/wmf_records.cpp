#include "wmf_records.h"

namespace platform::metafile {

std::optional<MetafileRecord> WmfRecordReader::next()
{
    if (m_count >= MaxRecords || m_records.remaining() < 6)
        return std::nullopt;
    ++m_count;
    MetafileRecord record;
    const quint32 sizeWords = m_records.u32();
    record.type = m_records.u16();
    record.size = quint64(sizeWords) * 2;
    // A record is at least its own 6-byte head and lies wholly inside the file.
    if (sizeWords < 3 || record.size - 6 > quint64(m_records.remaining())
        || record.type == META_EOF) {
        m_records.fail();
        return std::nullopt;
    }
    record.reader = m_records.take(qint64(record.size) - 6);
    record.kind = wmfRecordKind(record.type);
    record.shortened = record.kind && record.size < record.kind->minimumBytes;
    return record;
}

} // namespace platform::metafile
