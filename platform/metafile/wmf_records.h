#pragma once

#include "metafile_record.h"

#include <array>

namespace platform::metafile {

// Record functions ([MS-WMF] 2.1.1.1, RecordType), in the order of their numbers.
inline constexpr quint16 META_EOF = 0x0000;
inline constexpr quint16 META_SAVEDC = 0x001E;
inline constexpr quint16 META_REALIZEPALETTE = 0x0035;
inline constexpr quint16 META_SETPALENTRIES = 0x0037;
inline constexpr quint16 META_CREATEPALETTE = 0x00F7;
inline constexpr quint16 META_SETBKMODE = 0x0102;
inline constexpr quint16 META_SETMAPMODE = 0x0103;
inline constexpr quint16 META_SETROP2 = 0x0104;
inline constexpr quint16 META_SETRELABS = 0x0105;
inline constexpr quint16 META_SETPOLYFILLMODE = 0x0106;
inline constexpr quint16 META_SETSTRETCHBLTMODE = 0x0107;
inline constexpr quint16 META_SETTEXTCHAREXTRA = 0x0108;
inline constexpr quint16 META_RESTOREDC = 0x0127;
inline constexpr quint16 META_INVERTREGION = 0x012A;
inline constexpr quint16 META_PAINTREGION = 0x012B;
inline constexpr quint16 META_SELECTCLIPREGION = 0x012C;
inline constexpr quint16 META_SELECTOBJECT = 0x012D;
inline constexpr quint16 META_SETTEXTALIGN = 0x012E;
inline constexpr quint16 META_RESIZEPALETTE = 0x0139;
inline constexpr quint16 META_DIBCREATEPATTERNBRUSH = 0x0142;
inline constexpr quint16 META_SETLAYOUT = 0x0149;
inline constexpr quint16 META_DELETEOBJECT = 0x01F0;
inline constexpr quint16 META_CREATEPATTERNBRUSH = 0x01F9;
inline constexpr quint16 META_SETBKCOLOR = 0x0201;
inline constexpr quint16 META_SETTEXTCOLOR = 0x0209;
inline constexpr quint16 META_SETTEXTJUSTIFICATION = 0x020A;
inline constexpr quint16 META_SETWINDOWORG = 0x020B;
inline constexpr quint16 META_SETWINDOWEXT = 0x020C;
inline constexpr quint16 META_SETVIEWPORTORG = 0x020D;
inline constexpr quint16 META_SETVIEWPORTEXT = 0x020E;
inline constexpr quint16 META_OFFSETWINDOWORG = 0x020F;
inline constexpr quint16 META_OFFSETVIEWPORTORG = 0x0211;
inline constexpr quint16 META_LINETO = 0x0213;
inline constexpr quint16 META_MOVETO = 0x0214;
inline constexpr quint16 META_OFFSETCLIPRGN = 0x0220;
inline constexpr quint16 META_FILLREGION = 0x0228;
inline constexpr quint16 META_SETMAPPERFLAGS = 0x0231;
inline constexpr quint16 META_SELECTPALETTE = 0x0234;
inline constexpr quint16 META_CREATEPENINDIRECT = 0x02FA;
inline constexpr quint16 META_CREATEFONTINDIRECT = 0x02FB;
inline constexpr quint16 META_CREATEBRUSHINDIRECT = 0x02FC;
inline constexpr quint16 META_POLYGON = 0x0324;
inline constexpr quint16 META_POLYLINE = 0x0325;
inline constexpr quint16 META_SCALEWINDOWEXT = 0x0410;
inline constexpr quint16 META_SCALEVIEWPORTEXT = 0x0412;
inline constexpr quint16 META_EXCLUDECLIPRECT = 0x0415;
inline constexpr quint16 META_INTERSECTCLIPRECT = 0x0416;
inline constexpr quint16 META_ELLIPSE = 0x0418;
inline constexpr quint16 META_FLOODFILL = 0x0419;
inline constexpr quint16 META_RECTANGLE = 0x041B;
inline constexpr quint16 META_SETPIXEL = 0x041F;
inline constexpr quint16 META_FRAMEREGION = 0x0429;
inline constexpr quint16 META_ANIMATEPALETTE = 0x0436;
inline constexpr quint16 META_TEXTOUT = 0x0521;
inline constexpr quint16 META_POLYPOLYGON = 0x0538;
inline constexpr quint16 META_EXTFLOODFILL = 0x0548;
inline constexpr quint16 META_ROUNDRECT = 0x061C;
inline constexpr quint16 META_PATBLT = 0x061D;
inline constexpr quint16 META_ESCAPE = 0x0626;
inline constexpr quint16 META_CREATEREGION = 0x06FF;
inline constexpr quint16 META_ARC = 0x0817;
inline constexpr quint16 META_PIE = 0x081A;
inline constexpr quint16 META_CHORD = 0x0830;
inline constexpr quint16 META_BITBLT = 0x0922;
inline constexpr quint16 META_DIBBITBLT = 0x0940;
inline constexpr quint16 META_EXTTEXTOUT = 0x0A32;
inline constexpr quint16 META_STRETCHBLT = 0x0B23;
inline constexpr quint16 META_DIBSTRETCHBLT = 0x0B41;
inline constexpr quint16 META_SETDIBTODEV = 0x0D33;
inline constexpr quint16 META_STRETCHDIB = 0x0F43;

/// Bytes of a WMF record of `n` 16-bit words, as its RecordSize counts them.
constexpr quint32 wmfWords(quint32 n)
{
    return 2 * n;
}

/// Every WMF record type ([MS-WMF] 2.1.1.1, the records in 2.3) with the size of its fixed
/// part, the 6-byte head included: what precedes the first field of variable length or marked
/// optional (the Reserved word of the mode records, the rectangle of META_EXTTEXTOUT, the
/// bitmap of the block transfers, whose shorter form carries one). A Font object's face name
/// is written shorter than its 32 bytes by many writers, so META_CREATEFONTINDIRECT needs
/// only the numbers in front of it.
inline constexpr std::array WmfRecordKinds{
    RecordKind{META_EOF, wmfWords(3), RecordFamily::Skipped},
    RecordKind{META_SAVEDC, wmfWords(3), RecordFamily::State},
    RecordKind{META_REALIZEPALETTE, wmfWords(3), RecordFamily::Skipped},
    RecordKind{META_SETPALENTRIES, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_CREATEPALETTE, wmfWords(5), RecordFamily::Objects},
    RecordKind{META_SETBKMODE, wmfWords(4), RecordFamily::State},
    RecordKind{META_SETMAPMODE, wmfWords(4), RecordFamily::State},
    RecordKind{META_SETROP2, wmfWords(4), RecordFamily::State},
    RecordKind{META_SETRELABS, wmfWords(3), RecordFamily::Skipped},
    RecordKind{META_SETPOLYFILLMODE, wmfWords(4), RecordFamily::State},
    RecordKind{META_SETSTRETCHBLTMODE, wmfWords(4), RecordFamily::Skipped},
    RecordKind{META_SETTEXTCHAREXTRA, wmfWords(4), RecordFamily::State},
    RecordKind{META_RESTOREDC, wmfWords(4), RecordFamily::State},
    RecordKind{META_INVERTREGION, wmfWords(4), RecordFamily::Figures},
    RecordKind{META_PAINTREGION, wmfWords(4), RecordFamily::Figures},
    RecordKind{META_SELECTCLIPREGION, wmfWords(4), RecordFamily::Clipping},
    RecordKind{META_SELECTOBJECT, wmfWords(4), RecordFamily::Objects},
    RecordKind{META_SETTEXTALIGN, wmfWords(4), RecordFamily::State},
    RecordKind{META_RESIZEPALETTE, wmfWords(4), RecordFamily::Skipped},
    RecordKind{META_DIBCREATEPATTERNBRUSH, wmfWords(5), RecordFamily::Objects},
    RecordKind{META_SETLAYOUT, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_DELETEOBJECT, wmfWords(4), RecordFamily::Objects},
    RecordKind{META_CREATEPATTERNBRUSH, wmfWords(19), RecordFamily::Objects},
    RecordKind{META_SETBKCOLOR, wmfWords(5), RecordFamily::State},
    RecordKind{META_SETTEXTCOLOR, wmfWords(5), RecordFamily::State},
    RecordKind{META_SETTEXTJUSTIFICATION, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_SETWINDOWORG, wmfWords(5), RecordFamily::State},
    RecordKind{META_SETWINDOWEXT, wmfWords(5), RecordFamily::State},
    RecordKind{META_SETVIEWPORTORG, wmfWords(5), RecordFamily::State},
    RecordKind{META_SETVIEWPORTEXT, wmfWords(5), RecordFamily::State},
    RecordKind{META_OFFSETWINDOWORG, wmfWords(5), RecordFamily::State},
    RecordKind{META_OFFSETVIEWPORTORG, wmfWords(5), RecordFamily::State},
    RecordKind{META_LINETO, wmfWords(5), RecordFamily::Figures},
    RecordKind{META_MOVETO, wmfWords(5), RecordFamily::State},
    RecordKind{META_OFFSETCLIPRGN, wmfWords(5), RecordFamily::Clipping},
    RecordKind{META_FILLREGION, wmfWords(5), RecordFamily::Figures},
    RecordKind{META_SETMAPPERFLAGS, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_SELECTPALETTE, wmfWords(4), RecordFamily::Objects},
    RecordKind{META_CREATEPENINDIRECT, wmfWords(8), RecordFamily::Objects},
    RecordKind{META_CREATEFONTINDIRECT, wmfWords(12), RecordFamily::Objects},
    RecordKind{META_CREATEBRUSHINDIRECT, wmfWords(7), RecordFamily::Objects},
    RecordKind{META_POLYGON, wmfWords(4), RecordFamily::Figures},
    RecordKind{META_POLYLINE, wmfWords(4), RecordFamily::Figures},
    RecordKind{META_SCALEWINDOWEXT, wmfWords(7), RecordFamily::State},
    RecordKind{META_SCALEVIEWPORTEXT, wmfWords(7), RecordFamily::State},
    RecordKind{META_EXCLUDECLIPRECT, wmfWords(7), RecordFamily::Clipping},
    RecordKind{META_INTERSECTCLIPRECT, wmfWords(7), RecordFamily::Clipping},
    RecordKind{META_ELLIPSE, wmfWords(7), RecordFamily::Figures},
    RecordKind{META_FLOODFILL, wmfWords(7), RecordFamily::Skipped},
    RecordKind{META_RECTANGLE, wmfWords(7), RecordFamily::Figures},
    RecordKind{META_SETPIXEL, wmfWords(7), RecordFamily::Figures},
    RecordKind{META_FRAMEREGION, wmfWords(7), RecordFamily::Figures},
    RecordKind{META_ANIMATEPALETTE, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_TEXTOUT, wmfWords(6), RecordFamily::Text},
    RecordKind{META_POLYPOLYGON, wmfWords(4), RecordFamily::Figures},
    RecordKind{META_EXTFLOODFILL, wmfWords(8), RecordFamily::Skipped},
    RecordKind{META_ROUNDRECT, wmfWords(9), RecordFamily::Figures},
    RecordKind{META_PATBLT, wmfWords(9), RecordFamily::Bitmaps},
    RecordKind{META_ESCAPE, wmfWords(5), RecordFamily::Skipped},
    RecordKind{META_CREATEREGION, wmfWords(14), RecordFamily::Objects},
    RecordKind{META_ARC, wmfWords(11), RecordFamily::Figures},
    RecordKind{META_PIE, wmfWords(11), RecordFamily::Figures},
    RecordKind{META_CHORD, wmfWords(11), RecordFamily::Figures},
    RecordKind{META_BITBLT, wmfWords(11), RecordFamily::Bitmaps},
    RecordKind{META_DIBBITBLT, wmfWords(11), RecordFamily::Bitmaps},
    RecordKind{META_EXTTEXTOUT, wmfWords(7), RecordFamily::Text},
    RecordKind{META_STRETCHBLT, wmfWords(13), RecordFamily::Bitmaps},
    RecordKind{META_DIBSTRETCHBLT, wmfWords(13), RecordFamily::Bitmaps},
    RecordKind{META_SETDIBTODEV, wmfWords(12), RecordFamily::Bitmaps},
    RecordKind{META_STRETCHDIB, wmfWords(14), RecordFamily::Bitmaps},
};
static_assert(sortedByType(WmfRecordKinds));

/// The entry of WMF record function `function`, nullptr for one [MS-WMF] does not define.
constexpr const RecordKind* wmfRecordKind(quint32 function)
{
    return findRecordKind(WmfRecordKinds, function);
}

/// True for the records that put a new object into the object table, the kinds we do not
/// know included (their function's low byte is 0xF7 or more, or META_CREATEBITMAP and
/// META_CREATEBITMAPINDIRECT): each of them takes a slot ([MS-WMF] 2.3.4).
constexpr bool createsObject(quint32 function)
{
    return function == META_DIBCREATEPATTERNBRUSH || (function & 0x00FF) >= 0xF7
        || function == 0x06FE || function == 0x02FD;
}

} // namespace platform::metafile
