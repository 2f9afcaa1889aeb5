#include "text_decoding.h"

#include "gdi_objects.h"

#include <QStringDecoder>

namespace platform::metafile {

namespace {

// The code page of each Windows character set ([MS-WMF] 2.1.1.5).
const char* encodingOf(int charSet)
{
    switch (charSet) {
    case SHIFTJIS_CHARSET:
        return "windows-932";
    case 129: // HANGUL_CHARSET
        return "windows-949";
    case 134: // GB2312_CHARSET
        return "GBK";
    case 136: // CHINESEBIG5_CHARSET
        return "Big5";
    case 161: // GREEK_CHARSET
        return "windows-1253";
    case 162: // TURKISH_CHARSET
        return "windows-1254";
    case 163: // VIETNAMESE_CHARSET
        return "windows-1258";
    case 177: // HEBREW_CHARSET
        return "windows-1255";
    case 178: // ARABIC_CHARSET
        return "windows-1256";
    case 186: // BALTIC_CHARSET
        return "windows-1257";
    case 204: // RUSSIAN_CHARSET
        return "windows-1251";
    case 222: // THAI_CHARSET
        return "windows-874";
    case 238: // EASTEUROPE_CHARSET
        return "windows-1250";
    case 130: // JOHAB_CHARSET
        return "Johab";
    case 77: // MAC_CHARSET
        return "macintosh";
    case OEM_CHARSET:
        return "IBM437";
    default:
        return "windows-1252";
    }
}

// What the Symbol font shows at 0x20..0xFF (Adobe's Symbol encoding); 0 where it shows nothing.
// clang-format off
constexpr char16_t SymbolTable[224] = {
    // 0x20
    u' ', u'!', u'\u2200', u'#', u'\u2203', u'%', u'&', u'\u220B',
    u'(', u')', u'\u2217', u'+', u',', u'\u2212', u'.', u'/',
    // 0x30
    u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
    u'8', u'9', u':', u';', u'<', u'=', u'>', u'?',
    // 0x40
    u'\u2245', u'\u0391', u'\u0392', u'\u03A7', u'\u0394', u'\u0395', u'\u03A6', u'\u0393',
    u'\u0397', u'\u0399', u'\u03D1', u'\u039A', u'\u039B', u'\u039C', u'\u039D', u'\u039F',
    // 0x50
    u'\u03A0', u'\u0398', u'\u03A1', u'\u03A3', u'\u03A4', u'\u03A5', u'\u03C2', u'\u03A9',
    u'\u039E', u'\u03A8', u'\u0396', u'[', u'\u2234', u']', u'\u22A5', u'_',
    // 0x60
    u'\u203E', u'\u03B1', u'\u03B2', u'\u03C7', u'\u03B4', u'\u03B5', u'\u03C6', u'\u03B3',
    u'\u03B7', u'\u03B9', u'\u03D5', u'\u03BA', u'\u03BB', u'\u03BC', u'\u03BD', u'\u03BF',
    // 0x70
    u'\u03C0', u'\u03B8', u'\u03C1', u'\u03C3', u'\u03C4', u'\u03C5', u'\u03D6', u'\u03C9',
    u'\u03BE', u'\u03C8', u'\u03B6', u'{', u'|', u'}', u'\u223C', 0,
    // 0x80..0x9F: nothing
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    u'\u20AC', u'\u03D2', u'\u2032', u'\u2264', u'\u2044', u'\u221E', u'\u0192', u'\u2663',
    u'\u2666', u'\u2665', u'\u2660', u'\u2194', u'\u2190', u'\u2191', u'\u2192', u'\u2193',
    // 0xB0
    u'\u00B0', u'\u00B1', u'\u2033', u'\u2265', u'\u00D7', u'\u221D', u'\u2202', u'\u2022',
    u'\u00F7', u'\u2260', u'\u2261', u'\u2248', u'\u2026', u'\u23D0', u'\u23AF', u'\u21B5',
    // 0xC0
    u'\u2135', u'\u2111', u'\u211C', u'\u2118', u'\u2297', u'\u2295', u'\u2205', u'\u2229',
    u'\u222A', u'\u2283', u'\u2287', u'\u2284', u'\u2282', u'\u2286', u'\u2208', u'\u2209',
    // 0xD0
    u'\u2220', u'\u2207', u'\u00AE', u'\u00A9', u'\u2122', u'\u220F', u'\u221A', u'\u22C5',
    u'\u00AC', u'\u2227', u'\u2228', u'\u21D4', u'\u21D0', u'\u21D1', u'\u21D2', u'\u21D3',
    // 0xE0
    u'\u25CA', u'\u2329', u'\u00AE', u'\u00A9', u'\u2122', u'\u2211', u'\u239B', u'\u239C',
    u'\u239D', u'\u23A1', u'\u23A2', u'\u23A3', u'\u23A7', u'\u23A8', u'\u23A9', u'\u23AA',
    // 0xF0
    0, u'\u232A', u'\u222B', u'\u2320', u'\u23AE', u'\u2321', u'\u239E', u'\u239F',
    u'\u23A0', u'\u23A4', u'\u23A5', u'\u23A6', u'\u23AB', u'\u23AC', u'\u23AD', 0,
};
// clang-format on

bool isDoubleByte(int charSet)
{
    return charSet == SHIFTJIS_CHARSET || charSet == 129 || charSet == 130 || charSet == 134
        || charSet == 136;
}

// The first byte of a two-byte character in the East Asian code pages.
bool isLeadByte(int charSet, quint8 b)
{
    if (charSet == SHIFTJIS_CHARSET)
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (charSet == 130) // JOHAB
        return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xF9);
    return b >= 0x81 && b <= 0xFE;
}

// `bytes` through `decoder`, which keeps no state between calls (Latin-1 without one).
QString decodeWith(QStringDecoder& decoder, QByteArrayView bytes)
{
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder(bytes);
}

} // namespace

bool isSymbolFont(const QString& face, int charSet)
{
    return charSet == SYMBOL_CHARSET || face.compare(u"Symbol", Qt::CaseInsensitive) == 0
        || face.compare(u"MT Extra", Qt::CaseInsensitive) == 0
        || face.compare(u"Euclid Symbol", Qt::CaseInsensitive) == 0;
}

QString decodeCharset(QByteArrayView bytes, int charSet)
{
    QStringDecoder decoder(encodingOf(charSet), QStringDecoder::Flag::Stateless);
    return decodeWith(decoder, bytes);
}

DecodedText decodeWithAdvances(QByteArrayView bytes, int charSet, bool symbol,
                               const std::vector<double>& byteDx)
{
    DecodedText out;
    const bool withDx = !byteDx.empty();
    auto dxOf = [&](qsizetype i) { return i < qsizetype(byteDx.size()) ? byteDx[size_t(i)] : 0.0; };
    if (symbol || !isDoubleByte(charSet)) {
        out.text = symbol ? QString::fromLatin1(bytes) : decodeCharset(bytes, charSet);
        if (withDx) {
            // Single-byte code pages give one code unit per byte.
            for (qsizetype i = 0; i < out.text.size(); ++i)
                out.dx.push_back(dxOf(i));
        }
        return out;
    }
    // One decoder for the whole string: making one costs far more than a character.
    QStringDecoder decoder(encodingOf(charSet), QStringDecoder::Flag::Stateless);
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype len = isLeadByte(charSet, quint8(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        const QString piece = decodeWith(decoder, bytes.sliced(i, len));
        out.text.append(piece);
        if (withDx) {
            double advance = 0;
            for (qsizetype k = 0; k < len; ++k)
                advance += dxOf(i + k);
            for (qsizetype k = 0; k < piece.size(); ++k)
                out.dx.push_back(k == 0 ? advance : 0.0);
        }
        i += len;
    }
    return out;
}

QString symbolToUnicode(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        char16_t code = c.unicode();
        if (code >= 0xF020 && code <= 0xF0FF)
            code -= 0xF000;
        if (code >= 0x20 && code <= 0xFF) {
            const char16_t shown = SymbolTable[code - 0x20];
            out.append(shown ? QChar(shown) : QChar(u' '));
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace platform::metafile
