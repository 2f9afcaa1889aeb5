#include "command_line.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

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

QStringList programArguments(int argc, char** argv)
{
    QStringList arguments;
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.append(QString::fromWCharArray(wide[i]));
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc && argv[i]; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
#endif
    return arguments;
}

ToolkitArguments& ToolkitArguments::of(int argc, char** argv)
{
    static char fallbackName[] = "pavex";
    static ToolkitArguments arguments = [&] {
        ToolkitArguments a;
        a.argv[0] = argc > 0 && argv[0] ? argv[0] : fallbackName;
        return a;
    }();
    return arguments;
}

} // namespace platform
