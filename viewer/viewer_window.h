#pragma once

#include "platform/picture.h"

#include <QMdiSubWindow>
#include <QString>

class QMimeData;

namespace viewer {

class Form1;

/// The frame as the viewer sees it: the one viewer window it hosts, its caption, and its
/// eopen, through which the files dropped on the viewer open.
class Frame {
public:
    /// The viewer window, created and shown inside the frame's client area on first reference.
    virtual Form1& form1() = 0;
    /// Writes the frame's caption.
    virtual void setCaption(const QString& caption) = 0;
    /// Opens a picture file in the viewer (the frame's public operation; see viewer::eopen()).
    virtual void eopen(const QString& filename) = 0;

protected:
    ~Frame() = default;
};

/// eopen, the one way a picture file is opened: loads `filename` (used exactly as given) into
/// the frame's viewer window, sizes the window to the picture and writes the frame's caption.
/// Never raises: any failure shows the message "読み込めない形式のﾌｧｲﾙです" and leaves what was
/// done before it.
void eopen(Frame& frame, const QString& filename);

/// The picture control: no border, measures in pixels, sizes itself to its picture and shows
/// it at its top-left corner on light grey. Files dropped on it go to the frame's eopen.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(Frame& frame, QWidget* parent);

    /// The current picture (empty before the first successful load).
    const platform::Picture& picture() const { return m_picture; }

    /// Replaces the picture and resizes the control to the picture's size in pixels.
    void setPicture(platform::Picture picture);

    /// Width and height of the control's inside in its scale unit, the pixel.
    float ScaleWidth() const { return float(width()); }
    float ScaleHeight() const { return float(height()); }

    /// The drop event: opens the first dropped file through the frame's eopen.
    void Picture1_OLEDragDrop(const QMimeData& dropped);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// Decodes the picture's pending rows a slice at a time between other events, showing
    /// each slice as it arrives; started by the first paint, so the top rows show first.
    void continueDecoding();

    Frame& m_frame;
    platform::Picture m_picture;
    bool m_decodingScheduled = false;
};

/// The viewer window: a multiple-document child without frame or title bar, light grey,
/// holding the picture control at (0, 0). Files dropped on it go to the frame's eopen.
class Form1 : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit Form1(Frame& frame);

    /// The picture control.
    PictureBox* const Picture1;

    /// Outer width and height in twips (the window has no frame: equal to its client size).
    float Width() const;
    float Height() const;
    /// Sets the outer width or height in twips; raises Overflow when it cannot be a width.
    void setWidth(float twips);
    void setHeight(float twips);

    /// The drop event: opens the first dropped file through the frame's eopen.
    void Form_OLEDragDrop(const QMimeData& dropped);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Frame& m_frame;
};

} // namespace viewer
