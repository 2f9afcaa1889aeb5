// eopen and the viewer window: sizes, caption, what a failure leaves, and dropped files.
#include "support/fixtures.h"

#include "app/client_area.h"
#include "app/main_window.h"
#include "viewer/caption.h"
#include "viewer/drop.h"
#include "viewer/viewer_window.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using viewer::Form1;

namespace {

const QString Message = u"読み込めない形式のﾌｧｲﾙです"_qs;

/// A shown frame whose client area is the design size.
struct ShownFrame {
    ShownFrame()
    {
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
    }
    MDIForm1 frame;
};

QMimeData* fileList(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(p.contains(u"://"_qs) ? QUrl(p) : QUrl::fromLocalFile(p));
    data->setUrls(urls);
    return data;
}

/// Drops `data` on `target` at `at` (target coordinates) as a file manager would.
void dropOn(QWidget* target, QMimeData* data, QPoint at = QPoint(2, 2))
{
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    delete data;
}

} // namespace

class TestViewerWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void caption_data();
    void caption();
    void designState();
    void openSizesWindowAndWritesCaption_data();
    void openSizesWindowAndWritesCaption();
    void failedFirstOpenLeavesEmptyViewer();
    void failedLaterOpenKeepsEverything();
    void secondOpenReplacesTheFirst();
    void showsPictureAtClientTopLeftOnGrey();
    void largePictureScrolls();
    void placeholderInNameIsShownAsWritten();
    void closedViewerIsCreatedAgain();
    void dropOpensFirstFile_data();
    void dropOpensFirstFile();
    void dropWithoutFilesIsIgnored_data();
    void dropWithoutFilesIsIgnored();
    void streamedPictureCompletesAfterFirstPaint();
    void applicationIcon_data();
    void applicationIcon();

private:
    QString picture(const QString& name, int width, int height);
    QTemporaryDir m_dir;
};

void TestViewerWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestViewerWindow::picture(const QString& name, int width, int height)
{
    return testing::writeFile(m_dir.path(), name,
                              testing::encodeWithQt(testing::patternImage(width, height), "bmp"));
}

void TestViewerWindow::caption_data()
{
    QTest::addColumn<QString>("filename");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example") << u"C:\\img\\cat.gif"_qs << 320.0f << 240.0f
                             << u"pavex C:\\img\\cat.gif 320x240ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("1x1") << u"a.bmp"_qs << 1.0f << 1.0f << u"pavex a.bmp 1x1ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("name kept as given")
        << u" \"a b\".bmp "_qs << 640.0f << 480.0f << u"pavex  \"a b\".bmp  640x480ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("eight digits") << u"big.bmp"_qs << 12345678.0f << 2.0f
                                  << u"pavex big.bmp 1.234568E+07x2ﾋﾟｸｾﾙ"_qs;
}

void TestViewerWindow::caption()
{
    QFETCH(QString, filename);
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(QString, expected);
    QCOMPARE(viewer::captionFor(filename, width, height), expected);
}

void TestViewerWindow::designState()
{
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
    QCOMPARE(frame.windowTitle(), u"pavex 2.1"_qs);
    QVERIFY(!frame.hasForm1());
    QCOMPARE(frame.clientArea()->size(), QSize(312, 213));
    QCOMPARE(frame.clientArea()->background().color(), QColor(192, 192, 192));
}

void TestViewerWindow::openSizesWindowAndWritesCaption_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("sizeText"); // what the caption says after the path
    QTest::newRow("plain") << u"plain.bmp"_qs << QSize(200, 150) << u" 200x150ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("1x1") << u"dot.bmp"_qs << QSize(1, 1) << u" 1x1ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("smaller than the design size") << u"small.bmp"_qs << QSize(7, 5) << u" 7x5ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("blanks in the name") << u"my picture 2.bmp"_qs << QSize(64, 48) << u" 64x48ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("Japanese name") << u"猫の写真ﾃｽﾄ.bmp"_qs << QSize(33, 17) << u" 33x17ﾋﾟｸｾﾙ"_qs;
    QTest::newRow("double quote inside the name")
        << u"say \"cheese\".bmp"_qs << QSize(20, 10) << u" 20x10ﾋﾟｸｾﾙ"_qs;
}

void TestViewerWindow::openSizesWindowAndWritesCaption()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, sizeText);
    const QString path = picture(name, size.width(), size.height());
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    testing::MessageBoxRecorder boxes;

    frame.eopen(path);

    QVERIFY(boxes.prompts.isEmpty());
    QVERIFY(frame.hasForm1());
    Form1& form = frame.form1();
    QVERIFY(form.isVisible());
    QCOMPARE(form.pos(), QPoint(0, 0));
    QCOMPARE(form.size(), size);
    QCOMPARE(form.frameGeometry(), form.geometry()); // no frame, no title bar
    QCOMPARE(form.Width(), size.width() * 15.0f);
    QCOMPARE(form.Height(), size.height() * 15.0f);
    QCOMPARE(form.Picture1->pos(), QPoint(0, 0));
    QCOMPARE(form.Picture1->size(), size);
    QCOMPARE(form.Picture1->ScaleWidth(), float(size.width()));
    const QString expected = u"pavex "_qs + path + sizeText;
    QCOMPARE(frame.Caption(), expected);
    QCOMPARE(frame.windowTitle(), expected);
}

void TestViewerWindow::failedFirstOpenLeavesEmptyViewer()
{
    const QString path = picture(u"quoted.bmp"_qs, 30, 20);
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    testing::MessageBoxRecorder boxes;

    frame.eopen(u"\""_qs + path
                + u"\""_qs); // as a shell may pass it: the quotes are part of the name

    QCOMPARE(boxes.prompts, QStringList{Message});
    QCOMPARE(boxes.titles, QStringList{u"pavex"_qs});
    QVERIFY(frame.hasForm1());
    QCOMPARE(frame.form1().size(), QSize(60, 45));
    QCOMPARE(frame.form1().pos(), QPoint(0, 0));
    QCOMPARE(frame.form1().Picture1->size(), QSize(9, 9));
    QVERIFY(frame.form1().Picture1->picture().isNull());
    QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
}

void TestViewerWindow::failedLaterOpenKeepsEverything()
{
    const QString good = picture(u"good.bmp"_qs, 120, 80);
    const QString bad = testing::writeFile(m_dir.path(), u"bad.gif"_qs, "GIF89a and nothing more");
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(good);
    const QString caption = frame.Caption();
    const qint64 shownPicture = frame.form1().Picture1->picture().image().cacheKey();

    for (const QString& name : {bad, m_dir.filePath(u"missing.jpg"_qs), QString(), m_dir.path()}) {
        testing::MessageBoxRecorder boxes;
        frame.eopen(name);
        QCOMPARE(boxes.prompts, QStringList{Message});
        QCOMPARE(frame.Caption(), caption);
        QCOMPARE(frame.form1().size(), QSize(120, 80));
        QCOMPARE(frame.form1().Picture1->picture().image().cacheKey(), shownPicture);
    }
}

void TestViewerWindow::secondOpenReplacesTheFirst()
{
    const QString first = picture(u"first.bmp"_qs, 100, 50);
    const QString second = picture(u"second.bmp"_qs, 40, 90);
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(first);
    Form1* form = &frame.form1();
    frame.eopen(second);
    QCOMPARE(&frame.form1(), form);
    QCOMPARE(frame.clientArea()->subWindowList().size(), 1);
    QCOMPARE(form->size(), QSize(40, 90));
    QCOMPARE(frame.Caption(), u"pavex "_qs + second + u" 40x90ﾋﾟｸｾﾙ"_qs);
}

void TestViewerWindow::showsPictureAtClientTopLeftOnGrey()
{
    const QImage image = testing::patternImage(50, 40);
    const QString path = testing::writeFile(m_dir.path(), u"shown.bmp"_qs,
                                            testing::encodeWithQt(image, "bmp"));
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(path);
    // On a screen with a device-pixel ratio above 1, a picture pixel is one logical pixel.
    const QImage client = frame.clientArea()->viewport()->grab().toImage().convertToFormat(
        QImage::Format_RGB32);
    const qreal ratio = client.devicePixelRatio();
    QCOMPARE(client.deviceIndependentSize().toSize(), QSize(312, 213));
    const auto at = [&](QPoint p) {
        return client.pixel(qFloor(p.x() * ratio), qFloor(p.y() * ratio));
    };
    for (const QPoint p :
         {QPoint(0, 0), QPoint(49, 0), QPoint(0, 39), QPoint(49, 39), QPoint(25, 20)})
        QCOMPARE(at(p), image.pixel(p));
    for (const QPoint p : {QPoint(50, 0), QPoint(0, 40), QPoint(311, 212), QPoint(150, 100)})
        QCOMPARE(QColor(at(p)), QColor(192, 192, 192));
}

void TestViewerWindow::largePictureScrolls()
{
    const QString path = testing::writeFile(
        m_dir.path(), u"large.jpg"_qs,
        testing::encodeWithQt(testing::gradientImage(2000, 1500), "jpeg"));
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(path);
    QCOMPARE(frame.form1().size(), QSize(2000, 1500));
    QTRY_VERIFY(frame.clientArea()->horizontalScrollBar()->maximum() > 0);
    QTRY_VERIFY(frame.clientArea()->verticalScrollBar()->maximum() > 0);
}

void TestViewerWindow::placeholderInNameIsShownAsWritten()
{
    const QString path = picture(u"odd[*]name.bmp"_qs, 10, 10);
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(path);
    QCOMPARE(frame.Caption(), u"pavex "_qs + path + u" 10x10ﾋﾟｸｾﾙ"_qs);
    QVERIFY(frame.windowTitle().contains(u"[*]"_qs));
    // What the window system is told is the caption as written.
    QCOMPARE(frame.windowHandle()->title(), frame.Caption());
}

void TestViewerWindow::closedViewerIsCreatedAgain()
{
    const QString path = picture(u"again.bmp"_qs, 25, 15);
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.eopen(path);
    frame.form1().close();
    QTRY_VERIFY(!frame.hasForm1());
    frame.eopen(path);
    QVERIFY(frame.hasForm1());
    QCOMPARE(frame.form1().size(), QSize(25, 15));
}

void TestViewerWindow::dropOpensFirstFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("files");
    for (const char* target : {"picture", "viewer", "client area"}) {
        QTest::addRow("one file on the %s", target) << QString::fromLatin1(target) << 1;
        QTest::addRow("three files on the %s", target) << QString::fromLatin1(target) << 3;
    }
}

void TestViewerWindow::dropOpensFirstFile()
{
    QFETCH(QString, target);
    QFETCH(int, files);
    const QStringList paths = {picture(u"d1.bmp"_qs, 31, 21), picture(u"d2.bmp"_qs, 32, 22),
                               picture(u"d3.bmp"_qs, 33, 23)};
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    frame.form1(); // the viewer exists, empty, at its design size
    QWidget* widget = target == u"picture"_qs ? static_cast<QWidget*>(frame.form1().Picture1)
        : target == u"viewer"_qs              ? frame.form1().widget()
                                              : frame.clientArea()->viewport();
    // On the uncovered part of the viewer window and of the client area.
    const QPoint at = target == u"viewer"_qs ? QPoint(30, 30)
        : target == u"client area"_qs        ? QPoint(200, 150)
                                             : QPoint(2, 2);

    testing::MessageBoxRecorder boxes;
    dropOn(widget, fileList(paths.mid(0, files)), at);
    QVERIFY(boxes.prompts.isEmpty());
    QCOMPARE(frame.Caption(), u"pavex "_qs + paths.first() + u" 31x21ﾋﾟｸｾﾙ"_qs);
    QCOMPARE(frame.form1().size(), QSize(31, 21));

    // An unreadable file dropped shows the message and keeps the picture.
    const QString text = testing::writeFile(m_dir.path(), u"notes.txt"_qs, "text");
    dropOn(frame.form1().Picture1, fileList({text}));
    QCOMPARE(boxes.prompts, QStringList{Message});
    QCOMPARE(frame.form1().size(), QSize(31, 21));
}

void TestViewerWindow::dropWithoutFilesIsIgnored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text") << u"text"_qs;
    QTest::newRow("remote address only") << u"remote"_qs;
    QTest::newRow("remote first, then a local file") << u"mixed"_qs;
}

void TestViewerWindow::dropWithoutFilesIsIgnored()
{
    QFETCH(QString, kind);
    const QString local = picture(u"local.bmp"_qs, 12, 13);
    ShownFrame shown;
    MDIForm1& frame = shown.frame;
    testing::MessageBoxRecorder boxes;
    auto* data = kind == u"text"_qs ? new QMimeData : fileList({u"https://example.org/a.bmp"_qs});
    if (kind == u"text"_qs)
        data->setText(local);
    if (kind == u"mixed"_qs)
        data->setUrls({QUrl(u"https://example.org/a.bmp"_qs), QUrl::fromLocalFile(local)});

    QCOMPARE(viewer::firstDroppedFile(*data).has_value(), kind == u"mixed"_qs);
    dropOn(frame.clientArea()->viewport(), data, QPoint(100, 100));

    QVERIFY(boxes.prompts.isEmpty());
    if (kind == u"mixed"_qs) {
        QCOMPARE(frame.Caption(), u"pavex "_qs + local + u" 12x13ﾋﾟｸｾﾙ"_qs);
    } else {
        QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
        QVERIFY(!frame.hasForm1());
    }
}

void TestViewerWindow::streamedPictureCompletesAfterFirstPaint()
{
    const QString path = testing::writeFile(
        m_dir.path(), u"tall.jpg"_qs,
        testing::encodeWithQt(testing::gradientImage(40, 3000), "jpeg", 95));
    MDIForm1 frame;
    frame.eopen(path);
    const viewer::PictureBox& box = *frame.form1().Picture1;
    // The caption and sizes are there at once; only the top rows are decoded yet.
    QCOMPARE(frame.Caption(), u"pavex "_qs + path + u" 40x3000ﾋﾟｸｾﾙ"_qs);
    QCOMPARE(box.size(), QSize(40, 3000));
    QVERIFY(!box.picture().isComplete());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QTRY_VERIFY(box.picture().isComplete());
    const QImage shown = frame.form1().Picture1->grab().toImage().convertToFormat(
        QImage::Format_RGB32);
    const QImage image = box.picture().image();
    const qreal ratio = shown.devicePixelRatio();
    for (const int y : {0, 1500, 2999})
        QCOMPARE(shown.pixel(qFloor(20 * ratio), qFloor(y * ratio)), image.pixel(20, y));
}

void TestViewerWindow::applicationIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QPoint>("face");    // a yellow point
    QTest::addColumn<QPoint>("outline"); // a black point of the rim
    QTest::addColumn<bool>("tongue");    // a red tongue is drawn
    QTest::newRow("32x32") << 32 << QPoint(16, 4) << QPoint(16, 1) << true;
    QTest::newRow("16x16") << 16 << QPoint(8, 3) << QPoint(8, 1) << true;
}

void TestViewerWindow::applicationIcon()
{
    QFETCH(int, size);
    QFETCH(QPoint, face);
    QFETCH(QPoint, outline);
    QFETCH(bool, tongue);
    MDIForm1 frame;
    // The frame and the viewer window carry both images.
    for (const QIcon& icon : {frame.windowIcon(), frame.form1().windowIcon()})
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = frame.windowIcon()
                             .pixmap(QSize(size, size), 1.0)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    // Transparent outside the disc, at every corner.
    for (const QPoint p :
         {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        QCOMPARE(qAlpha(image.pixel(p)), 0);
    QCOMPARE(image.pixel(face), qRgb(255, 255, 0));
    QCOMPARE(image.pixel(outline), qRgb(0, 0, 0));
    // Only colours of the standard 16-colour palette.
    const QList<QRgb> palette = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    bool red = false;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) == 0)
                continue;
            QCOMPARE(qAlpha(c), 255);
            QVERIFY2(palette.contains(c | 0xFF000000), qPrintable(QColor(c).name()));
            red = red || c == qRgb(255, 0, 0);
        }
    }
    QCOMPARE(red, tongue);
}

QTEST_MAIN(TestViewerWindow)
#include "tst_viewer_window.moc"
