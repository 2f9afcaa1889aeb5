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

} // namespace platform
