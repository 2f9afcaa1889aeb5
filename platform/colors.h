#pragma once

#include <QColor>

namespace platform {

/// The light grey that every window and label of the program shares, RGB (192, 192, 192).
inline const QColor LightGrey = QColor(192, 192, 192);

} // namespace platform
