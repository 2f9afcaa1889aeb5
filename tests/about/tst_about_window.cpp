// The About window on the offscreen platform: its design (geometry, texts, fonts, close
// picture, pointer), dragging by real mouse events, the link, and closing.
#include "about/about_window.h"
#include "about/image_box.h"
#include "about/label.h"
#include "platform/colors.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/launcher.h"
#include "platform/message_box.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <set>

using namespace about;
using namespace platform;

namespace {

struct Started {
    QString program;
    QStringList arguments;
    WindowStyle style;
};

QWidget* control(Form2& form, const QString& name)
{
    return form.clientArea()->findChild<QWidget*>(name);
}

// The colours of a rendering of `widget`, in `rect` of its own coordinates.
QImage rendering(QWidget& widget, const QRect& rect)
{
    return widget.grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

bool isDark(QRgb pixel)
{
    return qGray(pixel) < 128;
}

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void window();
    void controls_data();
    void controls();
    void fonts_data();
    void fonts();
    void captionFitsItsBox_data();
    void captionFitsItsBox();
    void creditLineShowsWhole();
    void closePicture_data();
    void closePicture();
    void pointingHand();
    void pressOnControlNeverReachesWindow_data();
    void pressOnControlNeverReachesWindow();
    void dragBackground_data();
    void dragBackground();
    void linkClick_data();
    void linkClick();
    void linkClickWithFailingOpener();
    void closePictureUnloads_data();
    void closePictureUnloads();
    void showAgainAfterCloseAtDesignPosition();

private:
    QPointer<Form2> m_form;
    QList<Started> m_started;
    QStringList m_messages;
};

void TestAboutWindow::initTestCase()
{
    // No test may start a browser or block on a message box.
    setProgramStarter(
        [this](const QString& program, const QStringList& arguments, WindowStyle style) -> qint64 {
            m_started.append({program, arguments, style});
            return 4242;
        });
    setMessageBoxHandler(
        [this](const QString&, const QString& prompt) { m_messages.append(prompt); });
}

void TestAboutWindow::init()
{
    m_started.clear();
    m_messages.clear();
    m_form = &form2();
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestAboutWindow::cleanup()
{
    if (m_form)
        m_form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_form.isNull());
}

void TestAboutWindow::window()
{
    Form2& form = *m_form;
    QVERIFY(form.isWindow());
    QCOMPARE(form.parentWidget(), nullptr);
    QCOMPARE(form.windowHandle()->transientParent(), nullptr);
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.windowTitle(), QString());
    // Fixed size: the client area and a three-pixel dialog frame round it.
    QCOMPARE(form.minimumSize(), QSize(257, 80));
    QCOMPARE(form.maximumSize(), QSize(257, 80));
    QCOMPARE(form.clientArea()->geometry(), QRect(3, 3, 251, 74));
    QCOMPARE(form.clientArea()->mapToGlobal(QPoint(0, 0)), QPoint(186, 159));
    QCOMPARE(form.Left(), 2745.0f);
    QCOMPARE(form.Top(), 2340.0f);
    QCOMPARE(form.clientArea()->palette().color(QPalette::Window), LightGrey);

    const QImage frame = rendering(form, form.rect());
    QCOMPARE(QColor(frame.pixel(0, 0)), LightGrey);
    QCOMPARE(QColor(frame.pixel(1, 1)), QColor(Qt::white));
    QCOMPARE(QColor(frame.pixel(256, 79)), QColor(Qt::black));
    QCOMPARE(QColor(frame.pixel(255, 78)), QColor(128, 128, 128));
    QCOMPARE(QColor(frame.pixel(2, 40)), LightGrey);
    QCOMPARE(QColor(frame.pixel(5, 5)), LightGrey);
}

void TestAboutWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("tabIndex");

    QTest::newRow("Image1") << u"Image1"_qs << QRect(240, 0, 11, 11) << QString() << -1;
    QTest::newRow("Label3") << u"Label3"_qs << QRect(8, 40, 233, 17)
                            << u"bmp,gif,jpeg,ico,wmf,emf形式の画像ﾋﾞｭｰｱです"_qs << 3;
    QTest::newRow("Label1") << u"Label1"_qs << QRect(144, 56, 41, 17) << u"Kirinoya"_qs << 2;
    QTest::newRow("Label4") << u"Label4"_qs << QRect(48, 56, 105, 17) << QString() << 1;
    QTest::newRow("Label2") << u"Label2"_qs << QRect(96, 8, 57, 25) << u"p a v e x 2.0"_qs << 0;
}

void TestAboutWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, box);
    QFETCH(QString, caption);
    QFETCH(int, tabIndex);

    QWidget* widget = control(*m_form, name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), box);
    QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
    QVERIFY(widget->isVisible());
    auto* label = qobject_cast<Label*>(widget);
    if (!label)
        return;
    if (name == u"Label4") {
        // The credit wording: a year, a short phrase, and a blank before the maker's name.
        QVERIFY2(QRegularExpression(u"\\b(19|20)\\d\\d\\b"_qs).match(label->Caption()).hasMatch(),
                 qPrintable(label->Caption()));
        QVERIFY(label->Caption().endsWith(u' '));
        QVERIFY(label->Caption().trimmed().size() > 5);
    } else {
        QCOMPARE(label->Caption(), caption);
    }
    QCOMPARE(label->TabIndex(), tabIndex);
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::Window), LightGrey);
    QCOMPARE(label->toolTip().isEmpty(), name != u"Label1");
    if (name == u"Label1")
        QCOMPARE(label->toolTip(), u"KirinoyaHPへｱｸｾｽ"_qs);
}

void TestAboutWindow::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<QColor>("colour");

    const QColor text = QApplication::palette().color(QPalette::WindowText);
    QTest::newRow("Label3") << u"Label3"_qs << int(QFont::Normal) << false << text;
    QTest::newRow("Label1") << u"Label1"_qs << int(QFont::Normal) << true << QColor(0, 0, 255);
    QTest::newRow("Label4") << u"Label4"_qs << int(QFont::Normal) << false << text;
    QTest::newRow("Label2") << u"Label2"_qs << int(QFont::Bold) << false << text;
}

void TestAboutWindow::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, weight);
    QFETCH(bool, underline);
    QFETCH(QColor, colour);

    auto* label = qobject_cast<Label*>(control(*m_form, name));
    QVERIFY(label);
    const QFont font = label->font();
    QCOMPARE(font.family(), installedFace(u"ＭＳ Ｐゴシック"_qs));
    QCOMPARE(font.pointSizeF(), 9.0);
    QCOMPARE(int(font.weight()), weight);
    QCOMPARE(font.underline(), underline);
    QCOMPARE(font.italic(), false);
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
}

void TestAboutWindow::captionFitsItsBox_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"Label3", "Label1", "Label4", "Label2"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAboutWindow::captionFitsItsBox()
{
    QFETCH(QString, name);
    auto* label = qobject_cast<Label*>(control(*m_form, name));
    QVERIFY(label);
    const int flags = Qt::AlignHCenter | Qt::TextSingleLine | Qt::TextIncludeTrailingSpaces;
    auto widthIn = [&](const QFont& font) {
        return QFontMetricsF(font).boundingRect(QRectF(), flags, label->Caption()).width();
    };
    const QFont drawn = label->drawnFont();
    QCOMPARE(drawn.pointSizeF(), label->font().pointSizeF());
    QCOMPARE(drawn.weight(), label->font().weight());
    QVERIFY2(widthIn(drawn) <= label->width(),
             qPrintable(u"%1 px in %2"_qs.arg(widthIn(drawn)).arg(label->width())));
    // Narrowed no more than needed.
    if (drawn.stretch() != label->font().stretch()) {
        QFont wider = drawn;
        wider.setStretch(drawn.stretch() + 1);
        QVERIFY(widthIn(wider) > label->width());
    }
}

void TestAboutWindow::creditLineShowsWhole()
{
    Form2& form = *m_form;
    QWidget& client = *form.clientArea();
    // Nothing covers the maker's name where the two boxes overlap.
    QCOMPARE(rendering(client, form.Label1->geometry()),
             rendering(*form.Label1, form.Label1->rect()));
    // The credit wording ends before the maker's name begins, so none of it lies hidden.
    const QImage wording = rendering(*form.Label4, form.Label4->rect());
    const int hiddenFrom = form.Label1->x() - form.Label4->x();
    int lastInk = -1;
    for (int x = 0; x < wording.width(); ++x)
        for (int y = 0; y < wording.height(); ++y)
            if (isDark(wording.pixel(x, y)))
                lastInk = x;
    QVERIFY(lastInk > 0);
    QVERIFY2(lastInk < hiddenFrom,
             qPrintable(u"ink to %1, hidden from %2"_qs.arg(lastInk).arg(hiddenFrom)));
    // The name itself is drawn in blue.
    const QImage name = rendering(client, form.Label1->geometry());
    int blue = 0;
    for (int x = 0; x < name.width(); ++x)
        for (int y = 0; y < name.height(); ++y)
            if (qBlue(name.pixel(x, y)) > 200 && qRed(name.pixel(x, y)) < 100)
                ++blue;
    QVERIFY(blue > 40);
}

void TestAboutWindow::closePicture_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("black");
    QTest::newRow("row 1") << 1 << QList<int>{};
    QTest::newRow("row 2") << 2 << QList<int>{};
    QTest::newRow("row 3") << 3 << QList<int>{3, 4, 8, 9};
    QTest::newRow("row 4") << 4 << QList<int>{3, 4, 5, 7, 8, 9};
    QTest::newRow("row 5") << 5 << QList<int>{4, 5, 6, 7, 8};
    QTest::newRow("row 6") << 6 << QList<int>{5, 6, 7};
    QTest::newRow("row 7") << 7 << QList<int>{4, 5, 6, 7, 8};
    QTest::newRow("row 8") << 8 << QList<int>{3, 4, 5, 7, 8, 9};
    QTest::newRow("row 9") << 9 << QList<int>{3, 4, 8, 9};
    QTest::newRow("row 10") << 10 << QList<int>{};
    QTest::newRow("row 11") << 11 << QList<int>{};
}

void TestAboutWindow::closePicture()
{
    QFETCH(int, row);
    QFETCH(QList<int>, black);

    const QImage& picture = m_form->Image1->Picture();
    QCOMPARE(picture.size(), QSize(11, 11));
    // As shown on the window: at its own size in the top-right corner, not stretched.
    const QImage shown = rendering(*m_form->clientArea(), QRect(240, 0, 11, 11));
    for (int column = 1; column <= 11; ++column) {
        const QColor expected = black.contains(column) ? QColor(0, 0, 0) : QColor(128, 128, 128);
        QCOMPARE(QColor(picture.pixel(column - 1, row - 1)), expected);
        QCOMPARE(QColor(shown.pixel(column - 1, row - 1)), expected);
    }
}

void TestAboutWindow::pointingHand()
{
    Form2& form = *m_form;
    const QCursor cursor = form.Label1->cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    const QImage hand = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(hand.size(), QSize(32, 32));
    const QPoint hot = cursor.hotSpot();

    // The hot spot is the top of the fingertip, near the centre: the hand's highest ink.
    QVERIFY2((hot - QPoint(16, 16)).manhattanLength() <= 4,
             qPrintable(u"%1,%2"_qs.arg(hot.x()).arg(hot.y())));
    QCOMPARE(qAlpha(hand.pixel(hot)), 255);
    QCOMPARE(QColor(hand.pixel(hot)), QColor(Qt::black));
    std::set<QRgb> colours;
    int white = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = hand.pixel(x, y);
            if (y < hot.y() || y < 16)
                QVERIFY2(qAlpha(pixel) == 0, qPrintable(u"opaque at %1,%2"_qs.arg(x).arg(y)));
            if (qAlpha(pixel) == 0)
                continue;
            QCOMPARE(qAlpha(pixel), 255);
            colours.insert(pixel);
            white += pixel == qRgb(255, 255, 255);
        }
    }
    QCOMPARE(colours, (std::set<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    QVERIFY(white > 60);
    // The outline closes the hand: no white pixel touches a transparent one.
    for (int y = 1; y < 31; ++y)
        for (int x = 1; x < 31; ++x)
            if (hand.pixel(x, y) == qRgb(255, 255, 255))
                for (const QPoint next :
                     {QPoint(x - 1, y), QPoint(x + 1, y), QPoint(x, y - 1), QPoint(x, y + 1)})
                    QVERIFY(qAlpha(hand.pixel(next)) == 255);
    // Everywhere else the normal arrow.
    QCOMPARE(form.clientArea()->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form.Label4->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form.Image1->cursor().shape(), Qt::ArrowCursor);
}

void TestAboutWindow::pressOnControlNeverReachesWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Qt::MouseButton>("button");
    for (const char* name : {"Image1", "Label3", "Label1", "Label4", "Label2"}) {
        QTest::newRow(qPrintable(u"left on "_qs + QLatin1String(name)))
            << QString::fromLatin1(name) << Qt::LeftButton;
        QTest::newRow(qPrintable(u"right on "_qs + QLatin1String(name)))
            << QString::fromLatin1(name) << Qt::RightButton;
    }
}

void TestAboutWindow::pressOnControlNeverReachesWindow()
{
    QFETCH(QString, name);
    QFETCH(Qt::MouseButton, button);
    Form2& form = *m_form;
    // A right press on the background stores a point to compare with.
    QTest::mousePress(form.clientArea(), Qt::RightButton, {}, QPoint(1, 2));
    QTest::mouseRelease(form.clientArea(), Qt::RightButton, {}, QPoint(1, 2));
    QCOMPARE(form.dragState().drag_init_x, qint16(15));
    QCOMPARE(form.dragState().drag_init_y, qint16(30));
    const QPoint before = form.pos();

    QWidget* widget = control(form, name);
    const QPoint at = widget->rect().center();
    QTest::mousePress(widget, button, {}, at);
    QTest::mouseMove(widget, at + QPoint(4, 3));
    QTest::mouseMove(widget, at + QPoint(30, 20));
    QCOMPARE(form.dragState().drag_flag, qint16(0));
    QCOMPARE(form.dragState().drag_init_x, qint16(15));
    QCOMPARE(form.dragState().drag_init_y, qint16(30));
    QCOMPARE(form.pos(), before);
    QTest::mouseRelease(widget, button, {}, at);
}

void TestAboutWindow::dragBackground_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("left") << Qt::LeftButton << QPoint(30, 20);
    QTest::newRow("right") << Qt::RightButton << QPoint(0, 0);
    QTest::newRow("middle") << Qt::MiddleButton << QPoint(0, 0);
}

void TestAboutWindow::dragBackground()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, moved);
    Form2& form = *m_form;
    QWidget* client = form.clientArea();
    const QPoint start = form.pos();

    QTest::mousePress(client, button, {}, QPoint(20, 30));
    QCOMPARE(form.dragState().drag_init_x, qint16(300));
    QCOMPARE(form.dragState().drag_init_y, qint16(450));
    // The pointer goes 30 right and 20 down of the press; the window follows it there.
    QTest::mouseMove(client, QPoint(50, 50));
    QCOMPARE(form.pos(), start + moved);
    QCOMPARE(form.Left(), float(start.x() + moved.x()) * 15);
    QTest::mouseRelease(client, button, {}, client->mapFromGlobal(QCursor::pos()));
    QCOMPARE(form.dragState().drag_flag, qint16(0));
    // After the release the pointer moves alone.
    QTest::mouseMove(client, QPoint(90, 60));
    QCOMPARE(form.pos(), start + moved);
}

void TestAboutWindow::linkClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("starts");
    QTest::newRow("left click opens") << Qt::LeftButton << 1;
    QTest::newRow("right click does not") << Qt::RightButton << 0;
    QTest::newRow("middle click does not") << Qt::MiddleButton << 0;
}

void TestAboutWindow::linkClick()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, starts);
    QTest::mouseClick(m_form->Label1, button);
    QCOMPARE(m_started.size(), starts);
    if (starts) {
        QCOMPARE(m_started[0].program, urlOpener());
        QCOMPARE(m_started[0].arguments, QStringList{HomePage});
        QCOMPARE(m_started[0].style, MinimizedFocus);
        QVERIFY(QUrl(HomePage, QUrl::StrictMode).isValid());
    }
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->isUnloaded());
    QVERIFY(m_messages.isEmpty());
}

void TestAboutWindow::linkClickWithFailingOpener()
{
    int tries = 0;
    const ProgramStarter recorder = setProgramStarter(
        [&](const QString&, const QStringList&, WindowStyle) -> qint64 {
            ++tries;
            raise(FileNotFound);
        });
    QTest::mouseClick(m_form->Label1, Qt::LeftButton);
    QTest::mouseClick(m_form->Label1, Qt::LeftButton);
    setProgramStarter(recorder);
    QCOMPARE(tries, 2);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->isUnloaded());
    QCOMPARE(m_form->pos(), QPoint(183, 156));
}

void TestAboutWindow::closePictureUnloads_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("closes");
    QTest::newRow("left click closes") << Qt::LeftButton << true;
    QTest::newRow("right click does not") << Qt::RightButton << false;
}

void TestAboutWindow::closePictureUnloads()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, closes);
    QTest::mouseClick(m_form->Image1, button);
    QCOMPARE(m_form->isUnloaded(), closes);
    QCOMPARE(m_form->isVisible(), !closes);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(m_form.isNull(), closes);
}

void TestAboutWindow::showAgainAfterCloseAtDesignPosition()
{
    // Moved away, and in the middle of a drag, when closed.
    QTest::mousePress(m_form->clientArea(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(m_form->clientArea(), QPoint(70, 40));
    QCOMPARE(m_form->pos(), QPoint(243, 186));
    QCOMPARE(m_form->dragState().drag_flag, qint16(1));
    m_form->Image1_Click();
    QTest::mouseRelease(m_form->clientArea(), Qt::LeftButton, {}, QPoint(10, 10));

    Form2& again = form2();
    QVERIFY(&again != m_form.data());
    again.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.clientArea()->mapToGlobal(QPoint(0, 0)), QPoint(186, 159));
    QCOMPARE(again.dragState().drag_flag, qint16(0));
    QCOMPARE(again.dragState().drag_init_x, qint16(0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_form.isNull());
    m_form = &again;
}

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
