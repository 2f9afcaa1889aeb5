#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>

#include <variant>
#include <vector>

namespace platform::metafile {

// Values shared by WMF and EMF records ([MS-WMF] 2.1.1, [MS-EMF] 2.1).

// MapMode
inline constexpr int MM_TEXT = 1;
inline constexpr int MM_LOMETRIC = 2;
inline constexpr int MM_HIMETRIC = 3;
inline constexpr int MM_LOENGLISH = 4;
inline constexpr int MM_HIENGLISH = 5;
inline constexpr int MM_TWIPS = 6;
inline constexpr int MM_ISOTROPIC = 7;
inline constexpr int MM_ANISOTROPIC = 8;

// MixMode (background mode)
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// PolyFillMode
inline constexpr int ALTERNATE = 1;
inline constexpr int WINDING = 2;

// Binary raster operations (ROP2)
inline constexpr int R2_BLACK = 1;
inline constexpr int R2_NOTMERGEPEN = 2;
inline constexpr int R2_MASKNOTPEN = 3;
inline constexpr int R2_NOTCOPYPEN = 4;
inline constexpr int R2_MASKPENNOT = 5;
inline constexpr int R2_NOT = 6;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_NOTMASKPEN = 8;
inline constexpr int R2_MASKPEN = 9;
inline constexpr int R2_NOTXORPEN = 10;
inline constexpr int R2_NOP = 11;
inline constexpr int R2_MERGENOTPEN = 12;
inline constexpr int R2_COPYPEN = 13;
inline constexpr int R2_MERGEPENNOT = 14;
inline constexpr int R2_MERGEPEN = 15;
inline constexpr int R2_WHITE = 16;

// Ternary raster operations used by bit-block transfers
inline constexpr quint32 SRCCOPY = 0x00CC0020;
inline constexpr quint32 SRCPAINT = 0x00EE0086;
inline constexpr quint32 SRCAND = 0x008800C6;
inline constexpr quint32 SRCINVERT = 0x00660046;
inline constexpr quint32 SRCERASE = 0x00440328;
inline constexpr quint32 NOTSRCCOPY = 0x00330008;
inline constexpr quint32 NOTSRCERASE = 0x001100A6;
inline constexpr quint32 MERGECOPY = 0x00C000CA;
inline constexpr quint32 MERGEPAINT = 0x00BB0226;
inline constexpr quint32 PATCOPY = 0x00F00021;
inline constexpr quint32 PATPAINT = 0x00FB0A09;
inline constexpr quint32 PATINVERT = 0x005A0049;
inline constexpr quint32 DSTINVERT = 0x00550009;
inline constexpr quint32 BLACKNESS = 0x00000042;
inline constexpr quint32 WHITENESS = 0x00FF0062;
inline constexpr quint32 NOOP = 0x00AA0029;

// TextAlignmentMode
inline constexpr quint32 TA_UPDATECP = 0x0001;
inline constexpr quint32 TA_RIGHT = 0x0002;
inline constexpr quint32 TA_CENTER = 0x0006;
inline constexpr quint32 TA_HORIZONTAL_MASK = 0x0006;
inline constexpr quint32 TA_BOTTOM = 0x0008;
inline constexpr quint32 TA_BASELINE = 0x0018;
inline constexpr quint32 TA_VERTICAL_MASK = 0x0018;
inline constexpr quint32 TA_RTLREADING = 0x0100;

// ExtTextOutOptions
inline constexpr quint32 ETO_OPAQUE = 0x0002;
inline constexpr quint32 ETO_CLIPPED = 0x0004;
inline constexpr quint32 ETO_GLYPH_INDEX = 0x0010;
inline constexpr quint32 ETO_RTLREADING = 0x0080;
inline constexpr quint32 ETO_NO_RECT = 0x0100;
inline constexpr quint32 ETO_SMALL_CHARS = 0x0200;
inline constexpr quint32 ETO_PDY = 0x2000;

// PenStyle
inline constexpr quint32 PS_SOLID = 0;
inline constexpr quint32 PS_DASH = 1;
inline constexpr quint32 PS_DOT = 2;
inline constexpr quint32 PS_DASHDOT = 3;
inline constexpr quint32 PS_DASHDOTDOT = 4;
inline constexpr quint32 PS_NULL = 5;
inline constexpr quint32 PS_INSIDEFRAME = 6;
inline constexpr quint32 PS_USERSTYLE = 7;
inline constexpr quint32 PS_ALTERNATE = 8;
inline constexpr quint32 PS_STYLE_MASK = 0x0000000F;
inline constexpr quint32 PS_ENDCAP_SQUARE = 0x00000100;
inline constexpr quint32 PS_ENDCAP_FLAT = 0x00000200;
inline constexpr quint32 PS_ENDCAP_MASK = 0x00000F00;
inline constexpr quint32 PS_JOIN_BEVEL = 0x00001000;
inline constexpr quint32 PS_JOIN_MITER = 0x00002000;
inline constexpr quint32 PS_JOIN_MASK = 0x0000F000;
inline constexpr quint32 PS_GEOMETRIC = 0x00010000;

// BrushStyle
inline constexpr quint32 BS_SOLID = 0;
inline constexpr quint32 BS_NULL = 1;
inline constexpr quint32 BS_HATCHED = 2;
inline constexpr quint32 BS_PATTERN = 3;
inline constexpr quint32 BS_DIBPATTERN = 5;
inline constexpr quint32 BS_DIBPATTERNPT = 6;

// HatchStyle
inline constexpr int HS_HORIZONTAL = 0;
inline constexpr int HS_VERTICAL = 1;
inline constexpr int HS_FDIAGONAL = 2;
inline constexpr int HS_BDIAGONAL = 3;
inline constexpr int HS_CROSS = 4;
inline constexpr int HS_DIAGCROSS = 5;

// RegionMode
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

// ArcDirection
inline constexpr int AD_COUNTERCLOCKWISE = 1;
inline constexpr int AD_CLOCKWISE = 2;

// CharacterSet
inline constexpr int ANSI_CHARSET = 0;
inline constexpr int DEFAULT_CHARSET = 1;
inline constexpr int SYMBOL_CHARSET = 2;
inline constexpr int SHIFTJIS_CHARSET = 128;
inline constexpr int OEM_CHARSET = 255;

/// A logical pen. Its width is in logical units (0: one device pixel).
struct GdiPen {
    quint32 style = PS_SOLID;
    double width = 0;
    QColor color = Qt::black;
    /// A pen made by ExtCreatePen with PS_GEOMETRIC: its dashes scale with its width.
    bool geometric = false;
    /// The dash and gap lengths of PS_USERSTYLE, in logical units.
    std::vector<double> dashes;
};

/// A logical brush. `pattern` holds the bitmap of pattern brushes; a monochrome pattern
/// brush paints its 0 bits in the text colour and its 1 bits in the background colour.
struct GdiBrush {
    quint32 style = BS_SOLID;
    QColor color = Qt::white;
    int hatch = HS_HORIZONTAL;
    QImage pattern;
    bool monochrome = false;
};

/// A logical font, as LOGFONT describes it; heights in logical units (negative: character
/// height, positive: cell height), angles in tenths of a degree.
struct GdiFont {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charSet = DEFAULT_CHARSET;
    int pitchAndFamily = 0;
    QString face;
};

/// A logical palette: kept so that palette-index colours find their entries.
struct GdiPalette {
    std::vector<QRgb> entries;
};

/// A region, as a path in the units its record uses (logical for WMF, device for EMF).
struct GdiRegion {
    QPainterPath path;
};

/// One entry of a metafile's object table.
using GdiObject = std::variant<std::monostate, GdiPen, GdiBrush, GdiFont, GdiPalette, GdiRegion>;

/// The colour of a ColorRef (0x00BBGGRR, [MS-WMF] 2.2.2.8); palette-index colours look up
/// `palette` and fall back to black.
QColor colorFromRef(quint32 ref, const GdiPalette* palette = nullptr);

} // namespace platform::metafile
