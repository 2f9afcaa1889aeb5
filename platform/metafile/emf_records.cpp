#include "emf_records.h"

namespace platform::metafile {

std::optional<MetafileRecord> EmfRecordReader::next()
{
    if (m_count >= MaxRecords || m_records.remaining() < 8)
        return std::nullopt;
    ++m_count;
    MetafileRecord record;
    record.type = m_records.u32();
    record.size = m_records.u32();
    // A record holds at least its 8-byte head, in whole 32-bit words, inside the file.
    if (record.size < 8 || record.size % 4 != 0 || record.size - 8 > quint64(m_records.remaining())
        || record.type == EMR_EOF) {
        m_records.fail();
        return std::nullopt;
    }
    // The record's reader spans its head too: its offsets count from there.
    record.reader = m_records.at(m_records.position() - 8, qint64(record.size));
    record.reader.skip(8);
    m_records.skip(qint64(record.size) - 8);
    record.kind = emfRecordKind(record.type);
    record.shortened = record.kind && record.size < record.kind->minimumBytes;
    return record;
}

} // namespace platform::metafile
