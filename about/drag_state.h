#pragma once

#include <QPointF>
#include <QtGlobal>

#include <optional>

namespace about {

/// The About window's drag-to-move state: the window-level variables and the three mouse
/// events that drive them. Positions and mouse points are in twips.
struct DragState {
    qint16 drag_flag = 0;   ///< 1 while a left-button drag is in progress
    qint16 drag_init_x = 0; ///< x of the last mouse-down point in the client area
    qint16 drag_init_y = 0; ///< y of the last mouse-down point in the client area

    /// Mouse down: a left press (button 1) starts a drag; any press stores the point.
    void Form_MouseDown(int button, float x, float y);

    /// Mouse move: while a drag is in progress, the window's new left and top for a pointer at
    /// (x, y) when the window stands at (left, top); nothing otherwise.
    std::optional<QPointF> Form_MouseMove(float left, float top, float x, float y) const;

    /// Mouse up, whatever the button: the drag ends.
    void Form_MouseUp();
};

/// The mouse buttons as the events number them.
inline constexpr int LeftButton = 1;
inline constexpr int RightButton = 2;
inline constexpr int MiddleButton = 4;

} // namespace about
