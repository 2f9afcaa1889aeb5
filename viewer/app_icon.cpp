#include "app_icon.h"

#include "pavex_16.xpm"
#include "pavex_32.xpm"

#include <QPixmap>

namespace viewer {

QIcon applicationIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap(pavex_32_xpm));
    icon.addPixmap(QPixmap(pavex_16_xpm));
    return icon;
}

} // namespace viewer
