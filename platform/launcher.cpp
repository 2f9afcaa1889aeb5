#include "launcher.h"

#include "errors.h"

#include <QProcess>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace platform {

namespace {

ProgramStarter& starter()
{
    static ProgramStarter s;
    return s;
}

#ifdef Q_OS_WIN
WORD showCommand(WindowStyle style)
{
    switch (style) {
    case Hide:
        return SW_HIDE;
    case NormalFocus:
        return SW_SHOWNORMAL;
    case MinimizedFocus:
        return SW_SHOWMINIMIZED;
    case MaximizedFocus:
        return SW_SHOWMAXIMIZED;
    case NormalNoFocus:
        return SW_SHOWNOACTIVATE;
    case MinimizedNoFocus:
        return SW_SHOWMINNOACTIVE;
    }
    return SW_SHOWNORMAL;
}
#endif

qint64 startProcess(const QString& program, const QStringList& arguments, WindowStyle style)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier([style](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = showCommand(style);
    });
#else
    Q_UNUSED(style);
#endif
    // Detached: the program runs on by itself and is never waited for.
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        raise(FileNotFound);
    return pid;
}

} // namespace

qint64 Shell(const QString& program, const QStringList& arguments, WindowStyle style)
{
    if (starter())
        return starter()(program, arguments, style);
    return startProcess(program, arguments, style);
}

QString urlOpener()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("explorer");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("open");
#else
    return QStringLiteral("xdg-open");
#endif
}

ProgramStarter setProgramStarter(ProgramStarter s)
{
    return std::exchange(starter(), std::move(s));
}

} // namespace platform
