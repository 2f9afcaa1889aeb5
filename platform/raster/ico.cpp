#include "ico.h"

#include "../byte_reader.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "dib.h"
#include "qt_decoder.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace platform::raster {

namespace {

// ICONDIR and ICONDIRENTRY, as the resource compiler writes them into .ico and .cur files.
constexpr quint16 IconType = 1;
constexpr quint16 CursorType = 2;
constexpr qint64 IconDirEntrySize = 16;
constexpr int SizeOfZero = 256; // a width or height byte of 0 means 256
constexpr QByteArrayView PngSignature("\x89PNG\r\n\x1a\n", 8);
// IHDR is the first chunk: length and type, then width, height, bit depth, colour type.
constexpr qint64 PngIhdrAt = 16;
// Pictures tried before the file is given up: real icons hold a few sizes of one picture,
// and a damaged one rarely leaves more than one or two of them unreadable.
constexpr size_t MaxTries = 8;

struct Entry {
    QByteArrayView data;
    bool png = false;
    qint64 width = 0;
    qint64 height = 0;
    int depth = 0;
};

int pngChannels(int colourType)
{
    switch (colourType) {
    case 2: // truecolour
        return 3;
    case 4: // grey with alpha
        return 2;
    case 6: // truecolour with alpha
        return 4;
    default: // grey, indexed
        return 1;
    }
}

// The picture's own width, height and depth where its header can be read. Sizes beyond
// 31 bits (no decoder takes them) count as 0, so that areas stay comparable.
std::optional<Entry> measured(Entry entry)
{
    ByteReader r(entry.data);
    qint64 width = 0;
    qint64 height = 0;
    if (entry.png) {
        r.skip(PngIhdrAt);
        width = r.u32be();
        height = r.u32be();
        const int bitDepth = r.u8();
        entry.depth = bitDepth * pngChannels(r.u8());
    } else {
        if (r.u32() == 12) { // BITMAPCOREHEADER
            width = r.u16();
            height = r.u16() / 2;
        } else {
            width = r.i32();
            height = qAbs(qint64(r.i32())) / 2;
        }
        r.skip(2); // planes
        entry.depth = r.u16();
    }
    if (r.failed())
        return std::nullopt;
    auto valid = [](qint64 v) { return v > 0 && v <= std::numeric_limits<qint32>::max() ? v : 0; };
    entry.width = valid(width);
    entry.height = valid(height);
    return entry;
}

std::vector<Entry> readDirectory(QByteArrayView file)
{
    ByteReader r(file);
    const quint16 reserved = r.u16();
    const quint16 type = r.u16();
    const quint16 count = r.u16();
    if (r.failed() || reserved != 0 || (type != IconType && type != CursorType))
        raise(InvalidPicture);

    std::vector<Entry> entries;
    // A directory that claims more entries than the file holds keeps the ones it has.
    for (int i = 0; i < count && r.remaining() >= IconDirEntrySize; ++i) {
        ByteReader e = r.take(IconDirEntrySize);
        Entry entry;
        entry.width = e.u8();
        entry.height = e.u8();
        const int colours = e.u8();
        e.skip(3);             // reserved; planes (icons) or hot spot x (cursors)
        entry.depth = e.u16(); // bit count (icons) or hot spot y (cursors)
        const quint32 size = e.u32();
        const quint32 offset = e.u32();
        if (offset >= file.size() || size == 0)
            continue;
        entry.data = file.sliced(offset, qMin<qint64>(size, file.size() - offset));
        entry.png = entry.data.startsWith(PngSignature);
        if (const std::optional<Entry> own = measured(entry)) {
            entries.push_back(*own);
            continue;
        }
        // Only the directory's word for it.
        entry.width = entry.width ? entry.width : SizeOfZero;
        entry.height = entry.height ? entry.height : SizeOfZero;
        if (entry.depth == 0 && colours > 0)
            entry.depth = std::bit_width(unsigned(colours - 1));
        entries.push_back(entry);
    }
    return entries;
}

} // namespace

bool sniffIco(ByteReader head)
{
    const quint16 reserved = head.u16();
    const quint16 type = head.u16();
    const quint16 count = head.u16();
    return reserved == 0 && (type == IconType || type == CursorType) && count > 0
        && head.has(IconDirEntrySize);
}

QImage decodeIco(QByteArrayView file)
{
    CostBudget budget(file.size());
    return decodeIco(file, budget);
}

QImage decodeIco(QByteArrayView file, CostBudget& budget)
{
    std::vector<Entry> entries = readDirectory(file);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const qint64 areaA = a.width * a.height;
        const qint64 areaB = b.width * b.height;
        return areaA != areaB ? areaA > areaB : a.depth > b.depth;
    });
    // The best entry that decodes: a damaged large picture leaves the smaller ones. Each
    // picture of the file once, however many entries point at it, and only a few in all.
    std::optional<Error> first;
    std::set<std::pair<qsizetype, qsizetype>> tried;
    for (const Entry& entry : entries) {
        if (!tried.emplace(entry.data.data() - file.data(), entry.data.size()).second)
            continue;
        if (tried.size() > MaxTries)
            break;
        const qint64 held = budget.memoryHeld();
        try {
            return entry.png ? decodeWithQt(entry.data, "png", budget)
                             : decodeIconDib(entry.data, budget);
        } catch (const Error& e) {
            // The pixels of a picture given up are gone; the work it cost stays spent.
            budget.release(budget.memoryHeld() - held);
            if (!first)
                first = e;
        }
    }
    if (first)
        throw *first;
    raise(InvalidPicture);
}

} // namespace platform::raster
