#include "control.h"

#include <QMouseEvent>

namespace about {

Control::Control(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoMousePropagation);
}

void Control::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_leftPressed = true;
    event->accept();
}

void Control::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_leftPressed)
        return;
    m_leftPressed = false;
    // Released away from the control, the press is not a click.
    if (rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace about
