#include "application.h"

#include "command_line.h"
#include "errors.h"

namespace platform {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("pavex"));
    setApplicationVersion(QStringLiteral("1.00"));
    setArguments(arguments().mid(1));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    runUnhandled([&] { result = QApplication::notify(receiver, event); });
    return result;
}

} // namespace platform
