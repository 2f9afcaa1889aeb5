#pragma once

#include <QProxyStyle>

/// Gives the application the interface's look: InterfaceStyle, and the Japanese interface
/// face ("MS UI Gothic", 9 points) hinted by its own instructions. Call once, before the
/// first window is made.
void useInterfaceLook();

/// The interface's style: the system's own, less the standard icons of controls the frame
/// never shows (the menu bar's overflow button, the title-bar buttons and system menu of the
/// viewer window, which has no title bar). Making those would read the toolkit's icon files
/// and load every image-format plug-in before the first picture is on screen.
class InterfaceStyle : public QProxyStyle {
    Q_OBJECT
public:
    InterfaceStyle();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
