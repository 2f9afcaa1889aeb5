#include "screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

namespace {

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

} // namespace platform
