#pragma once

#include "../byte_reader.h"

#include <QtGlobal>

#include <algorithm>
#include <span>

namespace platform::metafile {

/// Records played at most in one picture: far more than any real picture, few enough to end
/// in seconds.
inline constexpr qint64 MaxRecords = 4'000'000;

/// The families of records, each played by a member function of its own.
enum class RecordFamily {
    /// Mapping, world transform, colours and modes, the current position, SaveDC/RestoreDC.
    State,
    /// Creating, selecting and deleting pens, brushes, fonts, palettes and regions.
    Objects,
    /// Lines, curves, polygons, rectangles, ellipses, arcs, pixels, gradients, region fills.
    Figures,
    /// The path brackets and what fills, strokes, changes or clips with the path.
    Paths,
    /// The clip region.
    Clipping,
    /// Strings.
    Text,
    /// Block transfers and device-independent bitmaps.
    Bitmaps,
    /// EMR_COMMENT: private data and EMF+ records, whose GDI twins draw.
    Comment,
    /// Known records that change nothing a vector player shows, or that we leave out.
    Skipped,
};

/// A record type as the format documents give it: its number, the size of its fixed part in
/// bytes (the head included; what a record of the type holds at the least), and its family.
struct RecordKind {
    quint32 type = 0;
    quint32 minimumBytes = 0;
    RecordFamily family = RecordFamily::Skipped;
};

/// The entry of `type` in `kinds` (sorted by type), nullptr when it has none.
constexpr const RecordKind* findRecordKind(std::span<const RecordKind> kinds, quint32 type)
{
    const auto it = std::lower_bound(kinds.begin(), kinds.end(), type,
                                     [](const RecordKind& k, quint32 t) { return k.type < t; });
    return it != kinds.end() && it->type == type ? &*it : nullptr;
}

/// True when `kinds` is sorted by type with no type twice, as findRecordKind() needs.
constexpr bool sortedByType(std::span<const RecordKind> kinds)
{
    return std::adjacent_find(
               kinds.begin(), kinds.end(),
               [](const RecordKind& a, const RecordKind& b) { return a.type >= b.type; })
        == kinds.end();
}

/// One record cut out of a metafile by its size, so that it can never read its neighbour.
struct MetafileRecord {
    /// The record's type (EMR_* or META_*).
    quint32 type = 0;
    /// Bytes of the whole record, its head included.
    quint64 size = 0;
    /// The type's entry in the format's table; nullptr for a type the table does not list.
    const RecordKind* kind = nullptr;
    /// True when the record is shorter than its type's fixed part: it is not played.
    bool shortened = false;
    /// The record's own reader, just past its head: an EMF record's spans the head too (its
    /// offsets count from there), a WMF record's holds the parameters alone.
    ByteReader reader;

    /// The family the record is played by (unknown types are skipped).
    RecordFamily family() const { return kind ? kind->family : RecordFamily::Skipped; }

    /// The work of reading and dispatching the record, before what it draws.
    qint64 cost() const { return 16 + qint64(size / 4); }
};

} // namespace platform::metafile
