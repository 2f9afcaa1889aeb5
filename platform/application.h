#pragma once

#include <QApplication>

namespace platform {

/// The program's application object: records the command line for Command() exactly as
/// typed, before the toolkit could take any of it for its own options, sets the application's
/// name, and makes sure no error crosses the event dispatch: an Error that an event
/// procedure leaves unhandled is reported by reportUnhandled(), which ends the run.
class Application : public QApplication {
public:
    Application(int argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace platform
