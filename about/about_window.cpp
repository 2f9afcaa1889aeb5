#include "about_window.h"

#include "image_box.h"
#include "label.h"

#include "platform/colors.h"
#include "platform/conversions.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/launcher.h"
#include "platform/screen.h"

#include <QCloseEvent>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>


#include "resources/close_picture.xpm"
#include "resources/pointing_hand.xpm"

using namespace platform;

namespace about {

namespace {

// Design geometry in twips.
constexpr float ClientWidth = 3765;
constexpr float ClientHeight = 1110;
constexpr float DesignClientLeft = 2790;
constexpr float DesignClientTop = 2385;

const QString DesignFace = QStringLiteral("ＭＳ Ｐゴシック");
constexpr double DesignPoints = 9;

const QColor LinkBlue = QColor(0, 0, 255);

// The dialog frame's three rings from the outside in: top-left and bottom-right colours.
struct FrameRing {
    QColor topLeft;
    QColor bottomRight;
};
const FrameRing DialogFrame[DialogFrameWidth] = {
    {LightGrey, Qt::black},
    {Qt::white, QColor(128, 128, 128)},
    {LightGrey, LightGrey},
};

QRect pixelRect(float left, float top, float width, float height)
{
    return QRect(pixelPositionFromTwips(left, TwipsPerPixelX()), pixelPositionFromTwips(top, TwipsPerPixelY()),
                 pixelsFromTwips(width, TwipsPerPixelX()),
                 pixelsFromTwips(height, TwipsPerPixelY()));
}

QFont designFont(QFont::Weight weight, bool underline)
{
    QFont font = fontFor(DesignFace, DesignPoints);
    font.setWeight(weight);
    font.setUnderline(underline);
    return font;
}

// The hot spot written at the end of an XPM's values line ("w h colours chars x y"); the
// image's centre when there is none.
QPoint xpmHotSpot(const char* const xpm[])
{
    const QList<QByteArray> values = QByteArray(xpm[0]).simplified().split(' ');
    if (values.size() < 6)
        return QPoint(-1, -1);
    return QPoint(values[4].toInt(), values[5].toInt());
}

QCursor pointingHand()
{
    return QCursor(QPixmap::fromImage(QImage(pointing_hand_xpm)), xpmHotSpot(pointing_hand_xpm).x(),
                   xpmHotSpot(pointing_hand_xpm).y());
}

// The button numbers of the mouse events; 0 for buttons the window has no events for.
int buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return LeftButton;
    case Qt::RightButton:
        return RightButton;
    case Qt::MiddleButton:
        return MiddleButton;
    default:
        return 0;
    }
}

int buttonsHeld(Qt::MouseButtons buttons)
{
    return buttonNumber(Qt::MouseButton(int(buttons & Qt::LeftButton)))
        | buttonNumber(Qt::MouseButton(int(buttons & Qt::RightButton)))
        | buttonNumber(Qt::MouseButton(int(buttons & Qt::MiddleButton)));
}

int shiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0);
}

// The background of the client area: it turns the mouse into the window's events, with the
// point in twips from its own top-left corner.
class ClientArea : public QWidget {
public:
    ClientArea(Form2& form)
        : QWidget(&form)
        , m_form(form)
    {
        setObjectName(QStringLiteral("clientArea"));
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (const int button = buttonNumber(event->button())) {
            const QPointF at = twipsAt(*event);
            m_form.Form_MouseDown(button, shiftState(event->modifiers()), float(at.x()),
                                  float(at.y()));
        }
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPointF at = twipsAt(*event);
        m_form.Form_MouseMove(buttonsHeld(event->buttons()), shiftState(event->modifiers()),
                              float(at.x()), float(at.y()));
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (const int button = buttonNumber(event->button())) {
            const QPointF at = twipsAt(*event);
            m_form.Form_MouseUp(button, shiftState(event->modifiers()), float(at.x()),
                                float(at.y()));
        }
    }

private:
    QPointF twipsAt(const QMouseEvent& event) const
    {
        // Measured from where the window stands now: the pointer's place on the screen, not
        // the event's own local point, which may predate the latest move of the window.
        const QPointF pixels = mapFromGlobal(event.globalPosition());
        return QPointF(CSng(pixels.x() * double(TwipsPerPixelX())),
                       CSng(pixels.y() * double(TwipsPerPixelY())));
    }

    Form2& m_form;
};

QPointer<Form2>& theForm2()
{
    static QPointer<Form2> form;
    return form;
}

} // namespace

Form2::Form2()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_client(new ClientArea(*this))
    , Image1(
          new ImageBox(QImage(close_picture_xpm).convertToFormat(QImage::Format_RGB32), m_client))
    , Label3(new Label(QStringLiteral("bmp,gif,jpeg,ico,wmf,emf形式の画像ﾋﾞｭｰｱです"), 3, m_client))
    , Label1(new Label(QStringLiteral("Kirinoya"), 2, m_client))
    , Label4(new Label(QStringLiteral("2003 Made by "), 1, m_client))
    , Label2(new Label(QStringLiteral("p a v e x 2.0"), 0, m_client))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    // The window's colour and default font, which the controls take from it.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, LightGrey);
    setPalette(palette);
    setFont(designFont(QFont::Normal, false));

    const QRect client = pixelRect(0, 0, ClientWidth, ClientHeight);
    m_client->setGeometry(client.translated(DialogFrameWidth, DialogFrameWidth));
    setFixedSize(client.size() + QSize(2 * DialogFrameWidth, 2 * DialogFrameWidth));
    move(pixelPositionFromTwips(DesignClientLeft, TwipsPerPixelX()) - DialogFrameWidth,
         pixelPositionFromTwips(DesignClientTop, TwipsPerPixelY()) - DialogFrameWidth);

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(pixelRect(3600, 0, 165, 165));
    connect(Image1, &ImageBox::clicked, this, &Form2::Image1_Click);

    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(pixelRect(120, 600, 3495, 255));

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(pixelRect(2160, 840, 615, 255));
    Label1->setFont(designFont(QFont::Normal, true));
    QPalette link = Label1->palette();
    link.setColor(QPalette::WindowText, LinkBlue);
    Label1->setPalette(link);
    Label1->setCursor(pointingHand());
    Label1->setToolTip(QStringLiteral("KirinoyaHPへｱｸｾｽ"));
    connect(Label1, &Label::clicked, this, &Form2::Label1_Click);

    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(pixelRect(720, 840, 1575, 255));

    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(pixelRect(1440, 120, 855, 375));
    Label2->setFont(designFont(QFont::Bold, false));

    // The credit line's two boxes overlap; the maker's name lies on top so that it shows whole.
    Label1->raise();
}

float Form2::Left() const
{
    return float(pos().x()) * TwipsPerPixelX();
}

float Form2::Top() const
{
    return float(pos().y()) * TwipsPerPixelY();
}

void Form2::setLeft(float twips)
{
    move(pixelPositionFromTwips(twips, TwipsPerPixelX()), pos().y());
}

void Form2::setTop(float twips)
{
    move(pos().x(), pixelPositionFromTwips(twips, TwipsPerPixelY()));
}

void Form2::Show()
{
    show();
    raise();
    activateWindow();
}

void Form2::Unload()
{
    close();
}

void Form2::Form_MouseDown(int Button, int, float X, float Y)
{
    m_drag.Form_MouseDown(Button, X, Y);
}

void Form2::Form_MouseMove(int, int, float X, float Y)
{
    if (const std::optional<QPointF> to = m_drag.Form_MouseMove(Left(), Top(), X, Y)) {
        setLeft(float(to->x()));
        setTop(float(to->y()));
    }
}

void Form2::Form_MouseUp(int, int, float, float)
{
    m_drag.Form_MouseUp();
}

void Form2::Label1_Click()
{
    // Continue after error: when no opener can be started nothing is shown, and nothing
    // else changes.
    ResumeNext resumeNext;
    resumeNext([] { Shell(urlOpener(), {HomePage}, MinimizedFocus); });
}

void Form2::Image1_Click()
{
    Unload();
}

void Form2::paintEvent(QPaintEvent*)
{
    // The fixed dialog frame: a raised edge of two rings, then a ring of the face colour.
    QPainter painter(this);
    QRect ring = rect();
    for (const FrameRing& colours : DialogFrame) {
        painter.setPen(colours.topLeft);
        painter.drawLine(ring.topLeft(), ring.topRight());
        painter.drawLine(ring.topLeft(), ring.bottomLeft());
        painter.setPen(colours.bottomRight);
        painter.drawLine(ring.bottomLeft(), ring.bottomRight());
        painter.drawLine(ring.topRight(), ring.bottomRight());
        ring.adjust(1, 1, -1, -1);
    }
}

void Form2::closeEvent(QCloseEvent* event)
{
    m_unloaded = true;
    QWidget::closeEvent(event);
}

Form2& form2()
{
    QPointer<Form2>& form = theForm2();
    if (!form || form->isUnloaded())
        form = new Form2;
    return *form;
}

} // namespace about
