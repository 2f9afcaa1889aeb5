#pragma once

#include <QMdiArea>

class MDIForm1;

/// The frame's client area: the multiple-document area, light grey, with scroll bars when the
/// viewer window reaches past it. Files dropped on it go to the frame's drop event.
class ClientArea : public QMdiArea {
    Q_OBJECT
public:
    ClientArea(MDIForm1& frame, QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    MDIForm1& m_frame;
};
