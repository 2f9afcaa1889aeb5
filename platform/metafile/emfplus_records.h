#pragma once

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <span>

namespace platform::metafile {

// Record types ([MS-EMFPLUS] 2.1.1.1, RecordType).
inline constexpr quint16 EmfPlusRecordTypeHeader = 0x4001;
inline constexpr quint16 EmfPlusRecordTypeEndOfFile = 0x4002;
inline constexpr quint16 EmfPlusRecordTypeComment = 0x4003;
inline constexpr quint16 EmfPlusRecordTypeGetDC = 0x4004;
inline constexpr quint16 EmfPlusRecordTypeMultiFormatStart = 0x4005;
inline constexpr quint16 EmfPlusRecordTypeMultiFormatSection = 0x4006;
inline constexpr quint16 EmfPlusRecordTypeMultiFormatEnd = 0x4007;
inline constexpr quint16 EmfPlusRecordTypeObject = 0x4008;
inline constexpr quint16 EmfPlusRecordTypeClear = 0x4009;
inline constexpr quint16 EmfPlusRecordTypeFillRects = 0x400A;
inline constexpr quint16 EmfPlusRecordTypeDrawRects = 0x400B;
inline constexpr quint16 EmfPlusRecordTypeFillPolygon = 0x400C;
inline constexpr quint16 EmfPlusRecordTypeDrawLines = 0x400D;
inline constexpr quint16 EmfPlusRecordTypeFillEllipse = 0x400E;
inline constexpr quint16 EmfPlusRecordTypeDrawEllipse = 0x400F;
inline constexpr quint16 EmfPlusRecordTypeFillPie = 0x4010;
inline constexpr quint16 EmfPlusRecordTypeDrawPie = 0x4011;
inline constexpr quint16 EmfPlusRecordTypeDrawArc = 0x4012;
inline constexpr quint16 EmfPlusRecordTypeFillRegion = 0x4013;
inline constexpr quint16 EmfPlusRecordTypeFillPath = 0x4014;
inline constexpr quint16 EmfPlusRecordTypeDrawPath = 0x4015;
inline constexpr quint16 EmfPlusRecordTypeFillClosedCurve = 0x4016;
inline constexpr quint16 EmfPlusRecordTypeDrawClosedCurve = 0x4017;
inline constexpr quint16 EmfPlusRecordTypeDrawCurve = 0x4018;
inline constexpr quint16 EmfPlusRecordTypeDrawBeziers = 0x4019;
inline constexpr quint16 EmfPlusRecordTypeDrawImage = 0x401A;
inline constexpr quint16 EmfPlusRecordTypeDrawImagePoints = 0x401B;
inline constexpr quint16 EmfPlusRecordTypeDrawString = 0x401C;
inline constexpr quint16 EmfPlusRecordTypeSetRenderingOrigin = 0x401D;
inline constexpr quint16 EmfPlusRecordTypeSetAntiAliasMode = 0x401E;
inline constexpr quint16 EmfPlusRecordTypeSetTextRenderingHint = 0x401F;
inline constexpr quint16 EmfPlusRecordTypeSetTextContrast = 0x4020;
inline constexpr quint16 EmfPlusRecordTypeSetInterpolationMode = 0x4021;
inline constexpr quint16 EmfPlusRecordTypeSetPixelOffsetMode = 0x4022;
inline constexpr quint16 EmfPlusRecordTypeSetCompositingMode = 0x4023;
inline constexpr quint16 EmfPlusRecordTypeSetCompositingQuality = 0x4024;
inline constexpr quint16 EmfPlusRecordTypeSave = 0x4025;
inline constexpr quint16 EmfPlusRecordTypeRestore = 0x4026;
inline constexpr quint16 EmfPlusRecordTypeBeginContainer = 0x4027;
inline constexpr quint16 EmfPlusRecordTypeBeginContainerNoParams = 0x4028;
inline constexpr quint16 EmfPlusRecordTypeEndContainer = 0x4029;
inline constexpr quint16 EmfPlusRecordTypeSetWorldTransform = 0x402A;
inline constexpr quint16 EmfPlusRecordTypeResetWorldTransform = 0x402B;
inline constexpr quint16 EmfPlusRecordTypeMultiplyWorldTransform = 0x402C;
inline constexpr quint16 EmfPlusRecordTypeTranslateWorldTransform = 0x402D;
inline constexpr quint16 EmfPlusRecordTypeScaleWorldTransform = 0x402E;
inline constexpr quint16 EmfPlusRecordTypeRotateWorldTransform = 0x402F;
inline constexpr quint16 EmfPlusRecordTypeSetPageTransform = 0x4030;
inline constexpr quint16 EmfPlusRecordTypeResetClip = 0x4031;
inline constexpr quint16 EmfPlusRecordTypeSetClipRect = 0x4032;
inline constexpr quint16 EmfPlusRecordTypeSetClipPath = 0x4033;
inline constexpr quint16 EmfPlusRecordTypeSetClipRegion = 0x4034;
inline constexpr quint16 EmfPlusRecordTypeOffsetClip = 0x4035;
inline constexpr quint16 EmfPlusRecordTypeDrawDriverString = 0x4036;
inline constexpr quint16 EmfPlusRecordTypeStrokeFillPath = 0x4037;
inline constexpr quint16 EmfPlusRecordTypeSerializableObject = 0x4038;
inline constexpr quint16 EmfPlusRecordTypeSetTSGraphics = 0x4039;
inline constexpr quint16 EmfPlusRecordTypeSetTSClip = 0x403A;

// Object types ([MS-EMFPLUS] 2.1.1.22), in bits 8..14 of an object record's flags.
inline constexpr quint32 ObjectTypeBrush = 1;
inline constexpr quint32 ObjectTypePen = 2;
inline constexpr quint32 ObjectTypePath = 3;
inline constexpr quint32 ObjectTypeRegion = 4;
inline constexpr quint32 ObjectTypeImage = 5;
inline constexpr quint32 ObjectTypeFont = 6;
inline constexpr quint32 ObjectTypeStringFormat = 7;
inline constexpr quint32 ObjectTypeImageAttributes = 8;
inline constexpr quint32 ObjectTypeCustomLineCap = 9;

/// The families of EMF+ records, each played by a function of its own.
enum class EmfPlusFamily {
    /// The header, end of file, GetDC, comments and multi-format brackets.
    Control,
    /// Objects: brushes, pens, paths, regions, images, fonts, string formats.
    Objects,
    /// World and page transforms, Save/Restore, containers, rendering hints.
    State,
    /// The clip.
    Clipping,
    /// Clear, rectangles, polygons, lines, ellipses, pies, arcs, curves, paths, regions.
    Figures,
    /// DrawImage and DrawImagePoints.
    Images,
    /// DrawString and DrawDriverString.
    Text,
    /// Known records that change nothing we show.
    Skipped,
};

/// An EMF+ record type: its number, the bytes of its fixed part (the 12-byte head included)
/// and its family.
struct EmfPlusRecordKind {
    quint16 type = 0;
    quint32 minimumBytes = 0;
    EmfPlusFamily family = EmfPlusFamily::Skipped;
};

/// Every record type of [MS-EMFPLUS] 2.3, sorted by type.
inline constexpr std::array EmfPlusRecordKinds{
    EmfPlusRecordKind{EmfPlusRecordTypeHeader, 28, EmfPlusFamily::Control},
    EmfPlusRecordKind{EmfPlusRecordTypeEndOfFile, 12, EmfPlusFamily::Control},
    EmfPlusRecordKind{EmfPlusRecordTypeComment, 12, EmfPlusFamily::Control},
    EmfPlusRecordKind{EmfPlusRecordTypeGetDC, 12, EmfPlusFamily::Control},
    EmfPlusRecordKind{EmfPlusRecordTypeMultiFormatStart, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeMultiFormatSection, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeMultiFormatEnd, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeObject, 12, EmfPlusFamily::Objects},
    EmfPlusRecordKind{EmfPlusRecordTypeClear, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillRects, 20, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawRects, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillPolygon, 20, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawLines, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillEllipse, 24, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawEllipse, 20, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillPie, 32, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawPie, 28, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawArc, 28, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillRegion, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillPath, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawPath, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeFillClosedCurve, 24, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawClosedCurve, 20, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawCurve, 28, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawBeziers, 16, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawImage, 44, EmfPlusFamily::Images},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawImagePoints, 40, EmfPlusFamily::Images},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawString, 40, EmfPlusFamily::Text},
    EmfPlusRecordKind{EmfPlusRecordTypeSetRenderingOrigin, 20, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetAntiAliasMode, 12, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetTextRenderingHint, 12, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetTextContrast, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSetInterpolationMode, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSetPixelOffsetMode, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSetCompositingMode, 12, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetCompositingQuality, 12, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSave, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeRestore, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeBeginContainer, 48, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeBeginContainerNoParams, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeEndContainer, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetWorldTransform, 36, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeResetWorldTransform, 12, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeMultiplyWorldTransform, 36, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeTranslateWorldTransform, 20, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeScaleWorldTransform, 20, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeRotateWorldTransform, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeSetPageTransform, 16, EmfPlusFamily::State},
    EmfPlusRecordKind{EmfPlusRecordTypeResetClip, 12, EmfPlusFamily::Clipping},
    EmfPlusRecordKind{EmfPlusRecordTypeSetClipRect, 28, EmfPlusFamily::Clipping},
    EmfPlusRecordKind{EmfPlusRecordTypeSetClipPath, 12, EmfPlusFamily::Clipping},
    EmfPlusRecordKind{EmfPlusRecordTypeSetClipRegion, 12, EmfPlusFamily::Clipping},
    EmfPlusRecordKind{EmfPlusRecordTypeOffsetClip, 20, EmfPlusFamily::Clipping},
    EmfPlusRecordKind{EmfPlusRecordTypeDrawDriverString, 28, EmfPlusFamily::Text},
    EmfPlusRecordKind{EmfPlusRecordTypeStrokeFillPath, 12, EmfPlusFamily::Figures},
    EmfPlusRecordKind{EmfPlusRecordTypeSerializableObject, 32, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSetTSGraphics, 60, EmfPlusFamily::Skipped},
    EmfPlusRecordKind{EmfPlusRecordTypeSetTSClip, 16, EmfPlusFamily::Skipped},
};

static_assert(std::is_sorted(EmfPlusRecordKinds.begin(), EmfPlusRecordKinds.end(),
                             [](const EmfPlusRecordKind& a, const EmfPlusRecordKind& b) {
                                 return a.type < b.type;
                             }));

/// The entry of `type` in EmfPlusRecordKinds, nullptr for a type it does not list.
constexpr const EmfPlusRecordKind* findEmfPlusRecordKind(quint16 type)
{
    const auto it = std::lower_bound(
        EmfPlusRecordKinds.begin(), EmfPlusRecordKinds.end(), type,
        [](const EmfPlusRecordKind& k, quint16 t) { return k.type < t; });
    return it != EmfPlusRecordKinds.end() && it->type == type ? &*it : nullptr;
}

} // namespace platform::metafile
