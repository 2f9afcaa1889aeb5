#include "drag_state.h"

#include "platform/conversions.h"

using namespace platform;

namespace about {

void DragState::Form_MouseDown(int button, float x, float y)
{
    if (button == LeftButton)
        drag_flag = 1;
    drag_init_x = CInt(x);
    drag_init_y = CInt(y);
}

std::optional<QPointF> DragState::Form_MouseMove(float left, float top, float x, float y) const
{
    if (drag_flag == 0)
        return std::nullopt;
    // The sum first, then the difference, in double precision, handed over as single.
    const float newLeft = CSng(double(left) + double(x) - double(drag_init_x));
    const float newTop = CSng(double(top) + double(y) - double(drag_init_y));
    return QPointF(newLeft, newTop);
}

void DragState::Form_MouseUp()
{
    drag_flag = 0;
}

} // namespace about
