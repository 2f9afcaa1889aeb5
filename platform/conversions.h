#pragma once

#include <QtGlobal>

namespace platform {

/// A number rounded to the nearest integer, a half going to the even one, as a 16-bit signed
/// integer; raises Overflow outside -32768..32767 or when not finite.
qint16 CInt(double value);

/// A floating-point result handed over as a single-precision value; raises Overflow when it
/// is not finite or beyond the single-precision range.
float CSng(double value);

/// A length in twips as whole pixels at `twipsPerPixel`, rounded to the nearest; raises
/// Overflow when it is not finite, negative beyond rounding, or larger than a window can be.
int pixelsFromTwips(float twips, float twipsPerPixel);

/// A position in twips as whole pixels at `twipsPerPixel`, rounded to the nearest; unlike a
/// length it may be negative. Raises Overflow when it is not finite or farther from 0 than a
/// window can be wide.
int pixelPositionFromTwips(float twips, float twipsPerPixel);

} // namespace platform
