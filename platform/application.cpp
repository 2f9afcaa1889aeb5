#include "application.h"

#include "command_line.h"
#include "errors.h"

namespace platform {

namespace {

// Runs before the toolkit's constructor: it would take -reverse, -style X, -platform X and
// the like out of the arguments it is given.
ToolkitArguments& recordArguments(int argc, char** argv)
{
    setArguments(programArguments(argc, argv));
    return ToolkitArguments::of(argc, argv);
}

} // namespace

Application::Application(int argc, char** argv)
    : QApplication(recordArguments(argc, argv).argc, ToolkitArguments::of(argc, argv).argv)
{
    setApplicationName(QStringLiteral("pavex"));
    setApplicationVersion(QStringLiteral("1.00"));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    runUnhandled([&] { result = QApplication::notify(receiver, event); });
    return result;
}

} // namespace platform
