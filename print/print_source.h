#pragma once

#include "platform/picture.h"

#include <QString>

namespace print {

/// What the print job needs of the program: the frame's caption and the viewer's picture, and
/// for the unattended mode opening a file, minimizing the frame and unloading it.
class Source {
public:
    /// The frame's caption as it reads now.
    virtual QString Caption() const = 0;
    /// The viewer's picture; asking for it creates the viewer window when it does not exist
    /// yet. Empty when no picture was loaded.
    virtual platform::Picture viewerPicture() = 0;
    /// Opens a picture file in the viewer (eopen; reports its own failures).
    virtual void eopen(const QString& filename) = 0;
    /// Sets the frame's window state to minimized.
    virtual void minimize() = 0;
    /// Unloads the frame, and with it the viewer window.
    virtual void Unload() = 0;

protected:
    ~Source() = default;
};

} // namespace print
