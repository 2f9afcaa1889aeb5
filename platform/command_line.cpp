#include "command_line.h"

namespace platform {

namespace {

QStringList& storedArguments()
{
    static QStringList arguments;
    return arguments;
}

} // namespace

QString joinArguments(const QStringList& arguments)
{
    return arguments.join(u' ');
}

QString Command()
{
    return joinArguments(storedArguments());
}

void setArguments(const QStringList& arguments)
{
    storedArguments() = arguments;
}

} // namespace platform
