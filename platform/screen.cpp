#include "screen.h"

#include "errors.h"

#include <QGuiApplication>
#include <QScreen>

#include <cfloat>
#include <cmath>

namespace platform {

namespace {

// The largest window edge the toolkit accepts, in pixels.
constexpr double MaxWindowPixels = 16777215.0;

QScreen* screen()
{
    return qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
}

} // namespace

double screenDpiX()
{
    const QScreen* s = screen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

double screenDpiY()
{
    const QScreen* s = screen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

float TwipsPerPixelX()
{
    return float(twipsPerPixelAt(screenDpiX()));
}

float TwipsPerPixelY()
{
    return float(twipsPerPixelAt(screenDpiY()));
}

float CSng(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > double(FLT_MAX))
        raise(Overflow);
    return float(value);
}

int pixelsFromTwips(float twips, float twipsPerPixel)
{
    const double pixels = std::nearbyint(double(twips) / double(twipsPerPixel));
    if (!std::isfinite(pixels) || pixels < 0.0 || pixels > MaxWindowPixels)
        raise(Overflow);
    return int(pixels);
}

} // namespace platform
