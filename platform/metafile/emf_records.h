#pragma once

#include "metafile_record.h"

#include <array>

namespace platform::metafile {

// Record types ([MS-EMF] 2.1.1, RecordType).
inline constexpr quint32 EMR_HEADER = 1;
inline constexpr quint32 EMR_POLYBEZIER = 2;
inline constexpr quint32 EMR_POLYGON = 3;
inline constexpr quint32 EMR_POLYLINE = 4;
inline constexpr quint32 EMR_POLYBEZIERTO = 5;
inline constexpr quint32 EMR_POLYLINETO = 6;
inline constexpr quint32 EMR_POLYPOLYLINE = 7;
inline constexpr quint32 EMR_POLYPOLYGON = 8;
inline constexpr quint32 EMR_SETWINDOWEXTEX = 9;
inline constexpr quint32 EMR_SETWINDOWORGEX = 10;
inline constexpr quint32 EMR_SETVIEWPORTEXTEX = 11;
inline constexpr quint32 EMR_SETVIEWPORTORGEX = 12;
inline constexpr quint32 EMR_SETBRUSHORGEX = 13;
inline constexpr quint32 EMR_EOF = 14;
inline constexpr quint32 EMR_SETPIXELV = 15;
inline constexpr quint32 EMR_SETMAPPERFLAGS = 16;
inline constexpr quint32 EMR_SETMAPMODE = 17;
inline constexpr quint32 EMR_SETBKMODE = 18;
inline constexpr quint32 EMR_SETPOLYFILLMODE = 19;
inline constexpr quint32 EMR_SETROP2 = 20;
inline constexpr quint32 EMR_SETSTRETCHBLTMODE = 21;
inline constexpr quint32 EMR_SETTEXTALIGN = 22;
inline constexpr quint32 EMR_SETCOLORADJUSTMENT = 23;
inline constexpr quint32 EMR_SETTEXTCOLOR = 24;
inline constexpr quint32 EMR_SETBKCOLOR = 25;
inline constexpr quint32 EMR_OFFSETCLIPRGN = 26;
inline constexpr quint32 EMR_MOVETOEX = 27;
inline constexpr quint32 EMR_SETMETARGN = 28;
inline constexpr quint32 EMR_EXCLUDECLIPRECT = 29;
inline constexpr quint32 EMR_INTERSECTCLIPRECT = 30;
inline constexpr quint32 EMR_SCALEVIEWPORTEXTEX = 31;
inline constexpr quint32 EMR_SCALEWINDOWEXTEX = 32;
inline constexpr quint32 EMR_SAVEDC = 33;
inline constexpr quint32 EMR_RESTOREDC = 34;
inline constexpr quint32 EMR_SETWORLDTRANSFORM = 35;
inline constexpr quint32 EMR_MODIFYWORLDTRANSFORM = 36;
inline constexpr quint32 EMR_SELECTOBJECT = 37;
inline constexpr quint32 EMR_CREATEPEN = 38;
inline constexpr quint32 EMR_CREATEBRUSHINDIRECT = 39;
inline constexpr quint32 EMR_DELETEOBJECT = 40;
inline constexpr quint32 EMR_ANGLEARC = 41;
inline constexpr quint32 EMR_ELLIPSE = 42;
inline constexpr quint32 EMR_RECTANGLE = 43;
inline constexpr quint32 EMR_ROUNDRECT = 44;
inline constexpr quint32 EMR_ARC = 45;
inline constexpr quint32 EMR_CHORD = 46;
inline constexpr quint32 EMR_PIE = 47;
inline constexpr quint32 EMR_SELECTPALETTE = 48;
inline constexpr quint32 EMR_CREATEPALETTE = 49;
inline constexpr quint32 EMR_SETPALETTEENTRIES = 50;
inline constexpr quint32 EMR_RESIZEPALETTE = 51;
inline constexpr quint32 EMR_REALIZEPALETTE = 52;
inline constexpr quint32 EMR_EXTFLOODFILL = 53;
inline constexpr quint32 EMR_LINETO = 54;
inline constexpr quint32 EMR_ARCTO = 55;
inline constexpr quint32 EMR_POLYDRAW = 56;
inline constexpr quint32 EMR_SETARCDIRECTION = 57;
inline constexpr quint32 EMR_SETMITERLIMIT = 58;
inline constexpr quint32 EMR_BEGINPATH = 59;
inline constexpr quint32 EMR_ENDPATH = 60;
inline constexpr quint32 EMR_CLOSEFIGURE = 61;
inline constexpr quint32 EMR_FILLPATH = 62;
inline constexpr quint32 EMR_STROKEANDFILLPATH = 63;
inline constexpr quint32 EMR_STROKEPATH = 64;
inline constexpr quint32 EMR_FLATTENPATH = 65;
inline constexpr quint32 EMR_WIDENPATH = 66;
inline constexpr quint32 EMR_SELECTCLIPPATH = 67;
inline constexpr quint32 EMR_ABORTPATH = 68;
inline constexpr quint32 EMR_COMMENT = 70;
inline constexpr quint32 EMR_FILLRGN = 71;
inline constexpr quint32 EMR_FRAMERGN = 72;
inline constexpr quint32 EMR_INVERTRGN = 73;
inline constexpr quint32 EMR_PAINTRGN = 74;
inline constexpr quint32 EMR_EXTSELECTCLIPRGN = 75;
inline constexpr quint32 EMR_BITBLT = 76;
inline constexpr quint32 EMR_STRETCHBLT = 77;
inline constexpr quint32 EMR_MASKBLT = 78;
inline constexpr quint32 EMR_PLGBLT = 79;
inline constexpr quint32 EMR_SETDIBITSTODEVICE = 80;
inline constexpr quint32 EMR_STRETCHDIBITS = 81;
inline constexpr quint32 EMR_EXTCREATEFONTINDIRECTW = 82;
inline constexpr quint32 EMR_EXTTEXTOUTA = 83;
inline constexpr quint32 EMR_EXTTEXTOUTW = 84;
inline constexpr quint32 EMR_POLYBEZIER16 = 85;
inline constexpr quint32 EMR_POLYGON16 = 86;
inline constexpr quint32 EMR_POLYLINE16 = 87;
inline constexpr quint32 EMR_POLYBEZIERTO16 = 88;
inline constexpr quint32 EMR_POLYLINETO16 = 89;
inline constexpr quint32 EMR_POLYPOLYLINE16 = 90;
inline constexpr quint32 EMR_POLYPOLYGON16 = 91;
inline constexpr quint32 EMR_POLYDRAW16 = 92;
inline constexpr quint32 EMR_CREATEMONOBRUSH = 93;
inline constexpr quint32 EMR_CREATEDIBPATTERNBRUSHPT = 94;
inline constexpr quint32 EMR_EXTCREATEPEN = 95;
inline constexpr quint32 EMR_POLYTEXTOUTA = 96;
inline constexpr quint32 EMR_POLYTEXTOUTW = 97;
inline constexpr quint32 EMR_SETICMMODE = 98;
inline constexpr quint32 EMR_CREATECOLORSPACE = 99;
inline constexpr quint32 EMR_SETCOLORSPACE = 100;
inline constexpr quint32 EMR_DELETECOLORSPACE = 101;
inline constexpr quint32 EMR_GLSRECORD = 102;
inline constexpr quint32 EMR_GLSBOUNDEDRECORD = 103;
inline constexpr quint32 EMR_PIXELFORMAT = 104;
inline constexpr quint32 EMR_DRAWESCAPE = 105;
inline constexpr quint32 EMR_EXTESCAPE = 106;
inline constexpr quint32 EMR_SMALLTEXTOUT = 108;
inline constexpr quint32 EMR_FORCEUFIMAPPING = 109;
inline constexpr quint32 EMR_NAMEDESCAPE = 110;
inline constexpr quint32 EMR_COLORCORRECTPALETTE = 111;
inline constexpr quint32 EMR_SETICMPROFILEA = 112;
inline constexpr quint32 EMR_SETICMPROFILEW = 113;
inline constexpr quint32 EMR_ALPHABLEND = 114;
inline constexpr quint32 EMR_SETLAYOUT = 115;
inline constexpr quint32 EMR_TRANSPARENTBLT = 116;
inline constexpr quint32 EMR_GRADIENTFILL = 118;
inline constexpr quint32 EMR_SETLINKEDUFIS = 119;
inline constexpr quint32 EMR_SETTEXTJUSTIFICATION = 120;
inline constexpr quint32 EMR_COLORMATCHTOTARGETW = 121;
inline constexpr quint32 EMR_CREATECOLORSPACEW = 122;

/// Every EMF record type ([MS-EMF] 2.1.1, the records in 2.3) with the size of its fixed part in bytes, the 8-byte
/// head included: what precedes the first field of variable length or marked optional (the
/// string of EMR_EXTTEXTOUTW and its EmrText's rectangle, the bounds of EMR_SMALLTEXTOUT).
/// LogFont is the shortest form EMR_EXTCREATEFONTINDIRECTW takes.
inline constexpr std::array EmfRecordKinds{
    RecordKind{EMR_HEADER, 88, RecordFamily::Skipped},
    RecordKind{EMR_POLYBEZIER, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYGON, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYLINE, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYBEZIERTO, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYLINETO, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYPOLYLINE, 32, RecordFamily::Figures},
    RecordKind{EMR_POLYPOLYGON, 32, RecordFamily::Figures},
    RecordKind{EMR_SETWINDOWEXTEX, 16, RecordFamily::State},
    RecordKind{EMR_SETWINDOWORGEX, 16, RecordFamily::State},
    RecordKind{EMR_SETVIEWPORTEXTEX, 16, RecordFamily::State},
    RecordKind{EMR_SETVIEWPORTORGEX, 16, RecordFamily::State},
    RecordKind{EMR_SETBRUSHORGEX, 16, RecordFamily::State},
    RecordKind{EMR_EOF, 20, RecordFamily::Skipped},
    RecordKind{EMR_SETPIXELV, 20, RecordFamily::Figures},
    RecordKind{EMR_SETMAPPERFLAGS, 12, RecordFamily::Skipped},
    RecordKind{EMR_SETMAPMODE, 12, RecordFamily::State},
    RecordKind{EMR_SETBKMODE, 12, RecordFamily::State},
    RecordKind{EMR_SETPOLYFILLMODE, 12, RecordFamily::State},
    RecordKind{EMR_SETROP2, 12, RecordFamily::State},
    RecordKind{EMR_SETSTRETCHBLTMODE, 12, RecordFamily::Skipped},
    RecordKind{EMR_SETTEXTALIGN, 12, RecordFamily::State},
    RecordKind{EMR_SETCOLORADJUSTMENT, 32, RecordFamily::Skipped},
    RecordKind{EMR_SETTEXTCOLOR, 12, RecordFamily::State},
    RecordKind{EMR_SETBKCOLOR, 12, RecordFamily::State},
    RecordKind{EMR_OFFSETCLIPRGN, 16, RecordFamily::Clipping},
    RecordKind{EMR_MOVETOEX, 16, RecordFamily::State},
    RecordKind{EMR_SETMETARGN, 8, RecordFamily::Clipping},
    RecordKind{EMR_EXCLUDECLIPRECT, 24, RecordFamily::Clipping},
    RecordKind{EMR_INTERSECTCLIPRECT, 24, RecordFamily::Clipping},
    RecordKind{EMR_SCALEVIEWPORTEXTEX, 24, RecordFamily::State},
    RecordKind{EMR_SCALEWINDOWEXTEX, 24, RecordFamily::State},
    RecordKind{EMR_SAVEDC, 8, RecordFamily::State},
    RecordKind{EMR_RESTOREDC, 12, RecordFamily::State},
    RecordKind{EMR_SETWORLDTRANSFORM, 32, RecordFamily::State},
    RecordKind{EMR_MODIFYWORLDTRANSFORM, 36, RecordFamily::State},
    RecordKind{EMR_SELECTOBJECT, 12, RecordFamily::Objects},
    RecordKind{EMR_CREATEPEN, 28, RecordFamily::Objects},
    RecordKind{EMR_CREATEBRUSHINDIRECT, 24, RecordFamily::Objects},
    RecordKind{EMR_DELETEOBJECT, 12, RecordFamily::Objects},
    RecordKind{EMR_ANGLEARC, 28, RecordFamily::Figures},
    RecordKind{EMR_ELLIPSE, 24, RecordFamily::Figures},
    RecordKind{EMR_RECTANGLE, 24, RecordFamily::Figures},
    RecordKind{EMR_ROUNDRECT, 32, RecordFamily::Figures},
    RecordKind{EMR_ARC, 40, RecordFamily::Figures},
    RecordKind{EMR_CHORD, 40, RecordFamily::Figures},
    RecordKind{EMR_PIE, 40, RecordFamily::Figures},
    RecordKind{EMR_SELECTPALETTE, 12, RecordFamily::Objects},
    RecordKind{EMR_CREATEPALETTE, 16, RecordFamily::Objects},
    RecordKind{EMR_SETPALETTEENTRIES, 20, RecordFamily::Skipped},
    RecordKind{EMR_RESIZEPALETTE, 16, RecordFamily::Skipped},
    RecordKind{EMR_REALIZEPALETTE, 8, RecordFamily::Skipped},
    RecordKind{EMR_EXTFLOODFILL, 24, RecordFamily::Skipped},
    RecordKind{EMR_LINETO, 16, RecordFamily::Figures},
    RecordKind{EMR_ARCTO, 40, RecordFamily::Figures},
    RecordKind{EMR_POLYDRAW, 28, RecordFamily::Figures},
    RecordKind{EMR_SETARCDIRECTION, 12, RecordFamily::State},
    RecordKind{EMR_SETMITERLIMIT, 12, RecordFamily::State},
    RecordKind{EMR_BEGINPATH, 8, RecordFamily::Paths},
    RecordKind{EMR_ENDPATH, 8, RecordFamily::Paths},
    RecordKind{EMR_CLOSEFIGURE, 8, RecordFamily::Paths},
    RecordKind{EMR_FILLPATH, 24, RecordFamily::Paths},
    RecordKind{EMR_STROKEANDFILLPATH, 24, RecordFamily::Paths},
    RecordKind{EMR_STROKEPATH, 24, RecordFamily::Paths},
    RecordKind{EMR_FLATTENPATH, 8, RecordFamily::Paths},
    RecordKind{EMR_WIDENPATH, 8, RecordFamily::Paths},
    RecordKind{EMR_SELECTCLIPPATH, 12, RecordFamily::Paths},
    RecordKind{EMR_ABORTPATH, 8, RecordFamily::Paths},
    RecordKind{EMR_COMMENT, 12, RecordFamily::Comment},
    RecordKind{EMR_FILLRGN, 32, RecordFamily::Figures},
    RecordKind{EMR_FRAMERGN, 40, RecordFamily::Figures},
    RecordKind{EMR_INVERTRGN, 28, RecordFamily::Figures},
    RecordKind{EMR_PAINTRGN, 28, RecordFamily::Figures},
    RecordKind{EMR_EXTSELECTCLIPRGN, 16, RecordFamily::Clipping},
    RecordKind{EMR_BITBLT, 100, RecordFamily::Bitmaps},
    RecordKind{EMR_STRETCHBLT, 108, RecordFamily::Bitmaps},
    RecordKind{EMR_MASKBLT, 128, RecordFamily::Skipped},
    RecordKind{EMR_PLGBLT, 140, RecordFamily::Skipped},
    RecordKind{EMR_SETDIBITSTODEVICE, 76, RecordFamily::Bitmaps},
    RecordKind{EMR_STRETCHDIBITS, 80, RecordFamily::Bitmaps},
    RecordKind{EMR_EXTCREATEFONTINDIRECTW, 104, RecordFamily::Objects},
    RecordKind{EMR_EXTTEXTOUTA, 60, RecordFamily::Text},
    RecordKind{EMR_EXTTEXTOUTW, 60, RecordFamily::Text},
    RecordKind{EMR_POLYBEZIER16, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYGON16, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYLINE16, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYBEZIERTO16, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYLINETO16, 28, RecordFamily::Figures},
    RecordKind{EMR_POLYPOLYLINE16, 32, RecordFamily::Figures},
    RecordKind{EMR_POLYPOLYGON16, 32, RecordFamily::Figures},
    RecordKind{EMR_POLYDRAW16, 28, RecordFamily::Figures},
    RecordKind{EMR_CREATEMONOBRUSH, 32, RecordFamily::Objects},
    RecordKind{EMR_CREATEDIBPATTERNBRUSHPT, 32, RecordFamily::Objects},
    RecordKind{EMR_EXTCREATEPEN, 52, RecordFamily::Objects},
    RecordKind{EMR_POLYTEXTOUTA, 40, RecordFamily::Skipped},
    RecordKind{EMR_POLYTEXTOUTW, 40, RecordFamily::Skipped},
    RecordKind{EMR_SETICMMODE, 12, RecordFamily::Skipped},
    RecordKind{EMR_CREATECOLORSPACE, 340, RecordFamily::Skipped},
    RecordKind{EMR_SETCOLORSPACE, 12, RecordFamily::Skipped},
    RecordKind{EMR_DELETECOLORSPACE, 12, RecordFamily::Skipped},
    RecordKind{EMR_GLSRECORD, 12, RecordFamily::Skipped},
    RecordKind{EMR_GLSBOUNDEDRECORD, 28, RecordFamily::Skipped},
    RecordKind{EMR_PIXELFORMAT, 48, RecordFamily::Skipped},
    RecordKind{EMR_DRAWESCAPE, 16, RecordFamily::Skipped},
    RecordKind{EMR_EXTESCAPE, 16, RecordFamily::Skipped},
    RecordKind{EMR_SMALLTEXTOUT, 36, RecordFamily::Text},
    RecordKind{EMR_FORCEUFIMAPPING, 16, RecordFamily::Skipped},
    RecordKind{EMR_NAMEDESCAPE, 20, RecordFamily::Skipped},
    RecordKind{EMR_COLORCORRECTPALETTE, 24, RecordFamily::Skipped},
    RecordKind{EMR_SETICMPROFILEA, 20, RecordFamily::Skipped},
    RecordKind{EMR_SETICMPROFILEW, 20, RecordFamily::Skipped},
    RecordKind{EMR_ALPHABLEND, 108, RecordFamily::Bitmaps},
    RecordKind{EMR_SETLAYOUT, 12, RecordFamily::Skipped},
    RecordKind{EMR_TRANSPARENTBLT, 108, RecordFamily::Bitmaps},
    RecordKind{EMR_GRADIENTFILL, 36, RecordFamily::Figures},
    RecordKind{EMR_SETLINKEDUFIS, 20, RecordFamily::Skipped},
    RecordKind{EMR_SETTEXTJUSTIFICATION, 16, RecordFamily::Skipped},
    RecordKind{EMR_COLORMATCHTOTARGETW, 24, RecordFamily::Skipped},
    RecordKind{EMR_CREATECOLORSPACEW, 608, RecordFamily::Skipped},
};
static_assert(sortedByType(EmfRecordKinds));

/// The entry of EMF record type `type`, nullptr for a type [MS-EMF] does not define.
constexpr const RecordKind* emfRecordKind(quint32 type)
{
    return findRecordKind(EmfRecordKinds, type);
}

} // namespace platform::metafile
