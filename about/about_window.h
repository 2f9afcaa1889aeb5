#pragma once

#include "drag_state.h"

#include <QString>
#include <QWidget>

namespace about {

class ImageBox;
class Label;

/// The maker's home page, opened by a click on the maker's name. A placeholder until the
/// project has a page of its own.
inline const QString HomePage = QStringLiteral("https://pavex.example.org/");

/// The About window: a top-level window without title bar and without owner, with a fixed
/// dialog frame around a light-grey client area of 3765 x 1110 twips. It shows the program's
/// name and version, the formats it reads, a credit line whose last part (the maker's name)
/// opens the maker's home page, and a close picture in the top-right corner. Dragging the
/// bare background with the left button moves it. Geometry is in twips, like its events.
class Form2 : public QWidget {
    Q_OBJECT
    // The client area comes first: the controls are built on it.
    QWidget* const m_client;

public:
    /// Builds the window from its design, hidden, with its client area's top-left corner at
    /// 2790, 2385 twips on the screen. It deletes itself once unloaded.
    Form2();

    /// The controls, in the order they were created.
    ImageBox* const Image1;
    Label* const Label3;
    Label* const Label1;
    Label* const Label4;
    Label* const Label2;

    /// The client area inside the frame; the controls sit on it, and the mouse events
    /// measure from its top-left corner.
    QWidget* clientArea() const { return m_client; }

    /// The window-level drag variables.
    const DragState& dragState() const { return m_drag; }

    /// The outer window's left and top on the screen, in twips.
    float Left() const;
    float Top() const;
    /// Moves the outer window; raises Overflow for a place no window can have.
    void setLeft(float twips);
    void setTop(float twips);

    /// Shows the window modelessly, without owner, in front of the others, and returns.
    void Show();

    /// Closes the window for good; showing the About window again builds a new one.
    void Unload();
    /// True once the window has been unloaded.
    bool isUnloaded() const { return m_unloaded; }

    /// The mouse events of the background. Button is the button that changed for a press or
    /// release (1 left, 2 right, 4 middle) and the buttons held for a move; Shift is the
    /// modifier state (1 Shift, 2 Ctrl, 4 Alt); X and Y are in twips from the client area's
    /// top-left corner.
    void Form_MouseDown(int Button, int Shift, float X, float Y);
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void Form_MouseUp(int Button, int Shift, float X, float Y);

    /// A click on the maker's name: hands the home page to the system's browser, ignoring
    /// every error; the window stays.
    void Label1_Click();

    /// A click on the close picture: unloads the window.
    void Image1_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    DragState m_drag;
    bool m_unloaded = false;
};

/// The one About window: created the first time it is referred to, and anew after the
/// previous one was unloaded.
Form2& form2();

/// Width of the fixed dialog frame around the client area, in pixels.
inline constexpr int DialogFrameWidth = 3;

} // namespace about
