#pragma once

#include "metafile_record.h"

#include <QByteArrayView>

#include <optional>

namespace platform::metafile {

/// The two formats whose records a RecordReader cuts out.
enum class MetafileFormat {
    Emf,
    Wmf,
};

/// Cuts the records that follow a metafile's header out one by one: the one place where a
/// record's size is checked. The records end at EMR_EOF or META_EOF, at a record that does
/// not fit (under its head, for EMF not whole 32-bit words, or past the end of the data)
/// and after MaxRecords; a record shorter than its type's fixed part (the format's table)
/// comes out marked shortened.
class RecordReader {
public:
    /// Over `records` (a view; the bytes must outlive the reader).
    RecordReader(MetafileFormat format, QByteArrayView records)
        : m_format(format)
        , m_records(records)
    {
    }

    /// The next record, nullopt at the end.
    std::optional<MetafileRecord> next();

private:
    std::optional<MetafileRecord> nextEmf();
    std::optional<MetafileRecord> nextWmf();

    MetafileFormat m_format;
    ByteReader m_records;
    qint64 m_count = 0;
};

} // namespace platform::metafile
