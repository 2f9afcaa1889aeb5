#pragma once

namespace platform {

/// Twips (1/1440 inch) per pixel at a logical resolution of `dpi` dots per inch.
constexpr double twipsPerPixelAt(double dpi)
{
    return 1440.0 / dpi;
}

/// The screen's horizontal twips per pixel, from its logical resolution (15 at 96 dpi).
float TwipsPerPixelX();

/// The screen's vertical twips per pixel, from its logical resolution (15 at 96 dpi).
float TwipsPerPixelY();

/// The screen's logical resolution in dots per inch, horizontally and vertically.
double screenDpiX();
double screenDpiY();

/// A floating-point result handed over as a single-precision value; raises Overflow when it
/// is not finite or beyond the single-precision range.
float CSng(double value);

/// A length in twips as whole pixels at `twipsPerPixel`, rounded to the nearest; raises
/// Overflow when it is not finite, negative beyond rounding, or larger than a window can be.
int pixelsFromTwips(float twips, float twipsPerPixel);

} // namespace platform
