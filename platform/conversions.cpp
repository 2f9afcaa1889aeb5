#include "conversions.h"

#include "errors.h"

#include <cfloat>
#include <cmath>

namespace platform {

namespace {

// The largest window edge the toolkit accepts, in pixels.
constexpr double MaxWindowPixels = 16777215.0;

double roundedPixels(float twips, float twipsPerPixel)
{
    return std::nearbyint(double(twips) / double(twipsPerPixel));
}

} // namespace

qint16 CInt(double value)
{
    if (!std::isfinite(value))
        raise(Overflow);
    const double rounded = std::nearbyint(value); // the default rounding: half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        raise(Overflow);
    return qint16(rounded);
}

float CSng(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > double(FLT_MAX))
        raise(Overflow);
    return float(value);
}

int pixelsFromTwips(float twips, float twipsPerPixel)
{
    const double pixels = roundedPixels(twips, twipsPerPixel);
    if (!std::isfinite(pixels) || pixels < 0.0 || pixels > MaxWindowPixels)
        raise(Overflow);
    return int(pixels);
}

int pixelPositionFromTwips(float twips, float twipsPerPixel)
{
    const double pixels = roundedPixels(twips, twipsPerPixel);
    if (!std::isfinite(pixels) || std::fabs(pixels) > MaxWindowPixels)
        raise(Overflow);
    return int(pixels);
}

} // namespace platform
