#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

namespace platform::metafile {

/// True for faces whose characters are not Unicode but a symbol font's own code points
/// ("Symbol", "MT Extra", ... and any face with SYMBOL_CHARSET).
bool isSymbolFont(const QString& face, int charSet);

/// The text of an 8-bit metafile string written in a font of `charSet` (ANSI, Shift-JIS,
/// GB2312, Big5, Hangul, the Windows code pages by script, OEM); DEFAULT_CHARSET reads as
/// Windows-1252. Undecodable bytes become U+FFFD. Symbol fonts are left to symbolToUnicode().
QString decodeCharset(QByteArrayView bytes, int charSet);

/// An 8-bit string decoded to UTF-16, with the advance of each byte added up per code unit.
struct DecodedText {
    QString text;
    std::vector<double> dx;
};

/// Decodes `bytes` like decodeCharset() (as Latin-1 for a symbol font) and folds `byteDx`,
/// one advance per byte or empty, onto the UTF-16 code units: a double-byte character gets
/// the sum of its two advances.
DecodedText decodeWithAdvances(QByteArrayView bytes, int charSet, bool symbol,
                               const std::vector<double>& byteDx);

/// The characters a symbol font shows for `text` written in its code points (0x20..0xFF or
/// their U+F020..U+F0FF aliases): Greek letters, arrows, operators and so on.
QString symbolToUnicode(const QString& text);

} // namespace platform::metafile
