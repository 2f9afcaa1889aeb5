#pragma once

#include <QString>
#include <QStringList>

namespace platform {

/// The argument text of the command line: the program's arguments (without its own name)
/// joined with single blanks; "" when there are none.
QString Command();

/// Sets the arguments that Command() joins (the program does this once at start-up).
void setArguments(const QStringList& arguments);

/// The arguments joined with single blanks, as Command() gives them.
QString joinArguments(const QStringList& arguments);

} // namespace platform
