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

/// Every argument after the program's name in `argv`, exactly as typed: nothing is taken
/// out, trimmed or unquoted. On Windows they come from the process's own command line in
/// UTF-16, split by the system's rules, since `argv` there is in the ANSI code page.
QStringList programArguments(int argc, char** argv);

/// The argument count and vector to give the toolkit's application object: the program's
/// name alone, so that the toolkit takes none of the arguments for one of its own options
/// (-reverse, -style, -platform, -display, ...); the display and platform come from the
/// environment, as for any desktop program. They live for the whole run; the first call
/// fixes the name.
struct ToolkitArguments {
    int argc = 1;
    char* argv[2] = {nullptr, nullptr};

    static ToolkitArguments& of(int argc, char** argv);
};

} // namespace platform
