#include "record_reader.h"

#include "emf_records.h"
#include "wmf_records.h"

namespace platform::metafile {

std::optional<MetafileRecord> RecordReader::next()
{
    if (m_count >= MaxRecords)
        return std::nullopt;
    ++m_count;
    std::optional<MetafileRecord> record = m_format == MetafileFormat::Emf ? nextEmf() : nextWmf();
    if (!record) {
        m_records.fail();
        return std::nullopt;
    }
    record->shortened = record->kind && record->size < record->kind->minimumBytes;
    return record;
}

std::optional<MetafileRecord> RecordReader::nextEmf()
{
    if (m_records.remaining() < 8)
        return std::nullopt;
    MetafileRecord record;
    record.type = m_records.u32();
    record.size = m_records.u32();
    // A record holds at least its 8-byte head, in whole 32-bit words, inside the file.
    if (record.size < 8 || record.size % 4 != 0 || record.size - 8 > quint64(m_records.remaining())
        || record.type == EMR_EOF)
        return std::nullopt;
    // The record's reader spans its head too: its offsets count from there.
    record.reader = m_records.at(m_records.position() - 8, qint64(record.size));
    record.reader.skip(8);
    m_records.skip(qint64(record.size) - 8);
    record.kind = emfRecordKind(record.type);
    return record;
}

std::optional<MetafileRecord> RecordReader::nextWmf()
{
    if (m_records.remaining() < 6)
        return std::nullopt;
    MetafileRecord record;
    const quint32 sizeWords = m_records.u32();
    record.type = m_records.u16();
    record.size = quint64(sizeWords) * 2;
    // A record is at least its own 6-byte head and lies wholly inside the file.
    if (sizeWords < 3 || record.size - 6 > quint64(m_records.remaining())
        || record.type == META_EOF)
        return std::nullopt;
    record.reader = m_records.take(qint64(record.size) - 6);
    record.kind = wmfRecordKind(record.type);
    return record;
}

} // namespace platform::metafile
