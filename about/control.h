#pragma once

#include <QWidget>

namespace about {

/// What the About window's labels and its picture share: a lightweight control that never
/// takes the keyboard focus and keeps every mouse event to itself, so nothing pressed on it
/// reaches the window behind it. A left-button press and release on it is a click.
class Control : public QWidget {
    Q_OBJECT
public:
    explicit Control(QWidget* parent);

Q_SIGNALS:
    /// A left-button press and release on the control.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_leftPressed = false;
};

} // namespace about
