#include "viewer_window.h"

#include "app_icon.h"
#include "caption.h"
#include "drop.h"

#include "platform/colors.h"
#include "platform/conversions.h"
#include "platform/errors.h"
#include "platform/message_box.h"
#include "platform/picture_loader.h"
#include "platform/screen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPainter>
#include <QTimer>

using namespace platform;

namespace viewer {

namespace {

// Design sizes in twips.
constexpr float Form1ClientWidth = 900;
constexpr float Form1ClientHeight = 675;
constexpr float Picture1Size = 135;

void paintLightGrey(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, LightGrey);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace

// --- PictureBox -------------------------------------------------------------------------------

PictureBox::PictureBox(Frame& frame, QWidget* parent)
    : QWidget(parent)
    , m_frame(frame)
{
    setObjectName(QStringLiteral("Picture1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    resize(pixelsFromTwips(Picture1Size, TwipsPerPixelX()),
           pixelsFromTwips(Picture1Size, TwipsPerPixelY()));
}

void PictureBox::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    // A self-sizing control takes the picture's size; an empty picture leaves the size.
    if (!m_picture.isNull())
        resize(m_picture.pixelSize(screenDpiX(), screenDpiY()));
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), LightGrey);
    m_picture.paintExposed(painter, event->rect(), LightGrey);
    if (!m_picture.isComplete() && !m_decodingScheduled) {
        m_decodingScheduled = true;
        QTimer::singleShot(0, this, &PictureBox::continueDecoding);
    }
}

void PictureBox::continueDecoding()
{
    // Slices short enough that the frame stays responsive while a large picture completes.
    constexpr int SliceMilliseconds = 15;
    constexpr int RowsPerStep = 32;
    m_decodingScheduled = false;
    const QRegion before = m_picture.readyRegion();
    const int refinedBefore = m_picture.refinedRows();
    QElapsedTimer slice;
    slice.start();
    bool more = true;
    while (more && slice.elapsed() < SliceMilliseconds)
        more = m_picture.decodeMore(RowsPerStep);
    update(m_picture.readyRegion() - before);
    const int refined = m_picture.refinedRows();
    if (refined > refinedBefore)
        update(0, refinedBefore, width(), refined - refinedBefore);
    if (more) {
        m_decodingScheduled = true;
        QTimer::singleShot(0, this, &PictureBox::continueDecoding);
    }
}

void PictureBox::Picture1_OLEDragDrop(const QMimeData& dropped)
{
    if (const auto file = firstDroppedFile(dropped))
        m_frame.eopen(*file);
}

void PictureBox::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFileDrags(event);
}

void PictureBox::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Picture1_OLEDragDrop(*event->mimeData());
}

// --- Form1 ------------------------------------------------------------------------------------

Form1::Form1(Frame& frame)
    : QMdiSubWindow(nullptr, Qt::SubWindow | Qt::FramelessWindowHint)
    , Picture1(new PictureBox(frame, nullptr))
    , m_frame(frame)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(applicationIcon()); // never seen: the window has no title bar
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setContentsMargins(0, 0, 0, 0);

    auto* client = new QWidget;
    paintLightGrey(*client);
    Picture1->setParent(client);
    Picture1->move(0, 0);
    setWidget(client);

    resize(pixelsFromTwips(Form1ClientWidth, TwipsPerPixelX()),
           pixelsFromTwips(Form1ClientHeight, TwipsPerPixelY()));
}

float Form1::Width() const
{
    return float(width()) * TwipsPerPixelX();
}

float Form1::Height() const
{
    return float(height()) * TwipsPerPixelY();
}

void Form1::setWidth(float twips)
{
    resize(pixelsFromTwips(twips, TwipsPerPixelX()), height());
}

void Form1::setHeight(float twips)
{
    resize(width(), pixelsFromTwips(twips, TwipsPerPixelY()));
}

void Form1::Form_OLEDragDrop(const QMimeData& dropped)
{
    if (const auto file = firstDroppedFile(dropped))
        m_frame.eopen(*file);
}

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFileDrags(event);
}

void Form1::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Form_OLEDragDrop(*event->mimeData());
}

// --- eopen -------------------------------------------------------------------------------------

void eopen(Frame& frame, const QString& filename)
{
    onErrorGoTo(
        [&] {
            Form1& form = frame.form1();
            PictureBox& picture1 = *form.Picture1;
            picture1.setPicture(LoadPicture(filename));
            form.setWidth(CSng(double(TwipsPerPixelX()) * double(picture1.ScaleWidth())));
            form.setHeight(CSng(double(TwipsPerPixelY()) * double(picture1.ScaleHeight())));
            frame.setCaption(captionFor(filename, picture1.ScaleWidth(), picture1.ScaleHeight()));
        },
        [](const Error&) { MsgBox(UnreadableFileMessage); });
}

} // namespace viewer
