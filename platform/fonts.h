#pragma once

#include <QFont>
#include <QString>

namespace platform {

/// The installed face that stands in for a face name written for Windows: the face itself
/// when it is installed, else a metric-compatible or look-alike face the program installs
/// ("ＭＳ Ｐゴシック" -> IPAPGothic, "Arial" -> Liberation Sans, ...), else the name unchanged
/// for the system's own fallback.
QString installedFace(const QString& face);

/// A font of `face` (resolved by installedFace()) at `points` points.
QFont fontFor(const QString& face, double points);

} // namespace platform
