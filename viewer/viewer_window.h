#pragma once

#include "platform/picture.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

class QMimeData;

namespace viewer {

class ViewerFrame;

/// The picture control: no border, measures in pixels, sizes itself to its picture and shows
/// it at its top-left corner on light grey. Files dropped on it go to the frame's eopen.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(ViewerFrame& frame, QWidget* parent);

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

    ViewerFrame& m_frame;
    platform::Picture m_picture;
    bool m_decodingScheduled = false;
};

/// The viewer window: a multiple-document child without frame or title bar, light grey,
/// holding the picture control at (0, 0). Files dropped on it go to the frame's eopen.
class Form1 : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit Form1(ViewerFrame& frame);

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
    ViewerFrame& m_frame;
};

/// The frame's client area: the multiple-document area, light grey, with scroll bars when the
/// viewer window reaches past it. Files dropped on it go to the frame.
class ClientArea : public QMdiArea {
    Q_OBJECT
public:
    ClientArea(ViewerFrame& frame, QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ViewerFrame& m_frame;
};

/// The multiple-document frame as the viewer sees it: its caption, its client area, the one
/// viewer window, and eopen, through which every file is opened.
class ViewerFrame : public QMainWindow {
    Q_OBJECT
public:
    ViewerFrame();

    /// The caption; "pavex 2.1" until a file has been opened.
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);

    /// The viewer window, created and shown inside the client area on first reference.
    Form1& form1();
    /// True while the viewer window exists.
    bool hasForm1() const { return !m_form1.isNull(); }

    /// The client area.
    ClientArea* clientArea() const { return m_clientArea; }

    /// Opens the picture file `filename` (used exactly as given) in the viewer window, sizes
    /// the window to it and writes the caption. Never raises: a failure shows the message
    /// "読み込めない形式のﾌｧｲﾙです" and leaves what was done before it.
    void eopen(const QString& filename);

    /// The drop event of the client area: opens the first dropped file through eopen.
    void MDIForm_OLEDragDrop(const QMimeData& dropped);

    /// Unloads the frame: closes it and with it the viewer window. The run ends when no
    /// window is left.
    void Unload();
    /// True once the frame has been unloaded.
    bool isUnloaded() const { return m_unloaded; }

    /// Sizes the frame so that its client area is `twipsWide` x `twipsHigh`.
    void setClientSizeTwips(float twipsWide, float twipsHigh);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_caption;
    ClientArea* m_clientArea;
    QPointer<Form1> m_form1;
    bool m_unloaded = false;
};

} // namespace viewer
