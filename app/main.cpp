#include "interface_style.h"
#include "main_window.h"

#include "platform/application.h"
#include "platform/common_dialog.h"
#include "platform/errors.h"
#include "platform/fonts.h"

int main(int argc, char* argv[])
{
    platform::Application app(argc, argv);
    platform::keepNoSettings();
    useInterfaceLook();

    MDIForm1 frame;
    platform::runUnhandled([&] { frame.MDIForm_Load(); });
    if (platform::runEndedByError())
        return platform::UnhandledErrorExitStatus;
    if (frame.isUnloaded())
        return frame.exitStatus();

    frame.show();
    return app.exec();
}
