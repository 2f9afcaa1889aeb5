#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

/// How a started program shows its first window, numbered as the runtime numbers them.
enum WindowStyle : int {
    Hide = 0,
    NormalFocus = 1,
    MinimizedFocus = 2,
    MaximizedFocus = 3,
    NormalNoFocus = 4,
    MinimizedNoFocus = 6,
};

/// Starts `program` as a new process with `arguments`, each handed over as one argument
/// exactly as given (no shell reads them), and returns its process id at once without
/// waiting for it. `style` applies on Windows; elsewhere the program chooses its own window.
/// Raises FileNotFound when the program cannot be started.
qint64 Shell(const QString& program, const QStringList& arguments, WindowStyle style);

/// The system's opener of web addresses, which hands an address to the default browser:
/// "xdg-open" on Linux and other freedesktop systems, "explorer" on Windows, "open" on macOS.
QString urlOpener();

/// What Shell() does: starts the program and returns its process id, or raises.
using ProgramStarter =
    std::function<qint64(const QString& program, const QStringList& arguments, WindowStyle style)>;

/// Replaces what Shell() does (tests record what would be started, or fail on purpose);
/// returns the previous starter. An empty starter restores the real one.
ProgramStarter setProgramStarter(ProgramStarter starter);

} // namespace platform
