#pragma once

#include <QIcon>

namespace viewer {

/// The application icon: the round yellow face, 32x32 and 16x16 in 16 colours.
QIcon applicationIcon();

} // namespace viewer
