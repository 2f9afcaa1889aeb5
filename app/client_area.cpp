#include "client_area.h"

#include "main_window.h"

#include "platform/colors.h"
#include "viewer/drop.h"

#include <QDragEnterEvent>
#include <QDropEvent>

ClientArea::ClientArea(MDIForm1& frame, QWidget* parent)
    : QMdiArea(parent)
    , m_frame(frame)
{
    setObjectName(QStringLiteral("ClientArea"));
    setBackground(platform::LightGrey);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    viewport()->setAcceptDrops(true);
}

void ClientArea::dragEnterEvent(QDragEnterEvent* event)
{
    viewer::acceptFileDrags(event);
}

void ClientArea::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void ClientArea::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    m_frame.MDIForm_OLEDragDrop(*event->mimeData());
}
