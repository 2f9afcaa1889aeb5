#include "interface_style.h"

#include "platform/fonts.h"

#include <QApplication>

void useInterfaceLook()
{
    QApplication::setStyle(new InterfaceStyle);
    // The interface speaks Japanese: its texts use a Japanese face directly rather than a
    // Latin one with per-glyph fallback, hinted by the face's own instructions, crisp at its
    // small size as the system face is on Windows (the default light autohinting also reads
    // a third of the face's six megabytes before the first paint).
    QFont face = platform::fontFor(QStringLiteral("MS UI Gothic"), 9);
    face.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(face);
}

InterfaceStyle::InterfaceStyle() = default;

QIcon InterfaceStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                   const QWidget* widget) const
{
    switch (icon) {
    case SP_ToolBarHorizontalExtensionButton:
    case SP_ToolBarVerticalExtensionButton:
    case SP_TitleBarMenuButton:
    case SP_TitleBarMinButton:
    case SP_TitleBarMaxButton:
    case SP_TitleBarNormalButton:
    case SP_TitleBarCloseButton:
    case SP_TitleBarShadeButton:
    case SP_TitleBarUnshadeButton:
    case SP_TitleBarContextHelpButton:
        return {};
    default:
        return QProxyStyle::standardIcon(icon, option, widget);
    }
}
