#pragma once

#include <QString>

namespace viewer {

/// The frame's caption before any file was opened.
inline const QString DesignCaption = QStringLiteral("pavex 2.1");

/// The message for a file that cannot be opened.
inline const QString UnreadableFileMessage = QStringLiteral("読み込めない形式のﾌｧｲﾙです");

/// The frame's caption for an open picture: "pavex " + filename + " " + width + "x" + height
/// + "ﾋﾟｸｾﾙ", the sizes written by the number-to-text conversion without leading blanks.
QString captionFor(const QString& filename, float scaleWidth, float scaleHeight);

} // namespace viewer
