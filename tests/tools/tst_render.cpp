// pavex-render's pieces: its command line, the sizes it writes, and its SVG output, which
// must show what its PNG shows where Qt's SVG generator alone would not.
#include "support/emfplus_writer.h"
#include "support/fixtures.h"
#include "support/metafile_writer.h"

#include "exporters.h"
#include "render_job.h"

#include "platform/metafile/gdi_objects.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

using namespace render;
using testing::WmfWriter;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Yellow(255, 255, 0);
const QColor Black(0, 0, 0);

using Probes = QList<QPoint>;

platform::Picture wmfPicture(const QByteArray& bytes)
{
    return platform::decodePicture(bytes);
}

/// `picture` drawn as the PNG path draws it, on white.
QImage asPng(const platform::Picture& picture, QSize size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writePng(picture, size, buffer, error))
        qFatal("writePng: %s", qPrintable(error));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).drawImage(0, 0, QImage::fromData(bytes, "png"));
    return image;
}

/// `svg` drawn back by Qt's SVG renderer, on white.
QImage drawnBack(const QByteArray& svg, QSize size)
{
    QSvgRenderer renderer(svg);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QByteArray asSvg(const platform::Picture& picture, QSize size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writeSvg(picture, size, buffer, error))
        qFatal("writeSvg: %s", qPrintable(error));
    return bytes;
}

/// The largest difference of one channel between two colours.
int distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outputKind_data();
    void outputKind();
    void arguments_data();
    void arguments();
    void argumentErrors_data();
    void argumentErrors();
    void outputPixels_data();
    void outputPixels();
    void svgShowsWhatPngShows_data();
    void svgShowsWhatPngShows();
    void svgPenOfOnePixelKeepsItsInk();
    void svgKeepsTextAsText();
    void pdfPageIsTheOwnExtent();
};

void TestRender::outputKind_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind"); // -1: none
    QTest::newRow("png") << u"a.png"_qs << int(OutputKind::Png);
    QTest::newRow("capitals") << u"/tmp/A.PDF"_qs << int(OutputKind::Pdf);
    QTest::newRow("svg in a folder with a dot") << u"my.pics/a.svg"_qs << int(OutputKind::Svg);
    QTest::newRow("jpeg is not written") << u"a.jpg"_qs << -1;
    QTest::newRow("no extension") << u"thumbnail"_qs << -1;
    QTest::newRow("svgz is not svg") << u"a.svgz"_qs << -1;
}

void TestRender::outputKind()
{
    QFETCH(QString, path);
    QFETCH(int, kind);
    const std::optional<OutputKind> found = outputKindOf(path);
    QCOMPARE(found ? int(*found) : -1, kind);
}

void TestRender::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("fit"); // 0: none
    QTest::newRow("file and PNG") << QStringList{u"a.emf"_qs, u"a.png"_qs} << u"a.emf"_qs
                                  << u"a.png"_qs << int(OutputKind::Png) << 96.0 << 0;
    QTest::newRow("with a resolution")
        << QStringList{u"a.wmf"_qs, u"b.png"_qs, u"192"_qs} << u"a.wmf"_qs << u"b.png"_qs
        << int(OutputKind::Png) << 192.0 << 0;
    QTest::newRow("a thumbnail, as a thumbnailer asks")
        << QStringList{u"--size"_qs, u"256"_qs, u"/tmp/in.emf"_qs, u"/tmp/out.png"_qs}
        << u"/tmp/in.emf"_qs << u"/tmp/out.png"_qs << int(OutputKind::Png) << 96.0 << 256;
    QTest::newRow("PDF") << QStringList{u"a.emf"_qs, u"a.pdf"_qs} << u"a.emf"_qs << u"a.pdf"_qs
                         << int(OutputKind::Pdf) << 96.0 << 0;
    QTest::newRow("a name that looks like an option")
        << QStringList{u"-reverse"_qs, u"x.svg"_qs} << u"-reverse"_qs << u"x.svg"_qs
        << int(OutputKind::Svg) << 96.0 << 0;
}

void TestRender::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(int, kind);
    QFETCH(double, dpi);
    QFETCH(int, fit);
    const auto parsed = parseArguments(arguments);
    QVERIFY(std::holds_alternative<RenderJob>(parsed));
    const RenderJob& job = std::get<RenderJob>(parsed);
    QCOMPARE(job.input, input);
    QCOMPARE(job.output, output);
    QCOMPARE(int(job.kind), kind);
    QCOMPARE(job.dpi, dpi);
    QCOMPARE(job.fitInto.value_or(0), fit);
}

void TestRender::argumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // the start of the message
    const QString usage = u"usage: pavex-render"_qs;
    QTest::newRow("nothing") << QStringList() << 2 << usage;
    QTest::newRow("no output") << QStringList{u"a.emf"_qs} << 2 << usage;
    QTest::newRow("too many") << QStringList{u"a"_qs, u"b.png"_qs, u"96"_qs, u"x"_qs} << 2 << usage;
    QTest::newRow("a resolution of 0")
        << QStringList{u"a"_qs, u"b.png"_qs, u"0"_qs} << 2 << u"pavex-render: DPI must be"_qs;
    QTest::newRow("a resolution that is no number")
        << QStringList{u"a"_qs, u"b.png"_qs, u"high"_qs} << 2 << u"pavex-render: DPI must be"_qs;
    QTest::newRow("size and resolution")
        << QStringList{u"--size"_qs, u"64"_qs, u"a"_qs, u"b.png"_qs, u"96"_qs} << 2 << usage;
    QTest::newRow("a size of 0") << QStringList{u"--size"_qs, u"0"_qs, u"a"_qs, u"b.png"_qs} << 2
                                 << u"pavex-render: --size must be"_qs;
    QTest::newRow("a size without a number") << QStringList{u"--size"_qs} << 2 << usage;
    QTest::newRow("an output of unknown kind") << QStringList{u"a.emf"_qs, u"a.jpg"_qs} << 1
                                               << u"pavex-render: a.jpg: unknown kind of output"_qs;
}

void TestRender::argumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    const auto parsed = parseArguments(arguments);
    QVERIFY(std::holds_alternative<JobError>(parsed));
    const JobError& error = std::get<JobError>(parsed);
    QCOMPARE(error.status, status);
    QVERIFY2(error.message.startsWith(says), qPrintable(error.message));
}

void TestRender::outputPixels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("fit"); // 0: none
    QTest::addColumn<QSize>("expected");
    const QByteArray photo = testing::encodeWithQt(testing::patternImage(640, 480), "bmp");
    const QByteArray icon = testing::encodeWithQt(testing::patternImage(50, 20), "bmp");
    // Three inches by one and a half: 288 x 144 pixels at 96 dpi.
    const QByteArray wide = WmfWriter(QRect(0, 0, 4320, 2160)).rectangle(0, 0, 100, 100).finish();
    QTest::newRow("raster, own size")
        << photo << int(OutputKind::Png) << 96.0 << 0 << QSize(640, 480);
    QTest::newRow("raster at 192 dpi")
        << photo << int(OutputKind::Png) << 192.0 << 0 << QSize(1280, 960);
    QTest::newRow("raster fitted: smaller, same aspect")
        << photo << int(OutputKind::Png) << 96.0 << 128 << QSize(128, 96);
    QTest::newRow("small raster is never enlarged")
        << icon << int(OutputKind::Png) << 96.0 << 256 << QSize(50, 20);
    QTest::newRow("raster into a PDF: its own pixels")
        << photo << int(OutputKind::Pdf) << 96.0 << 0 << QSize(640, 480);
    QTest::newRow("metafile, own size")
        << wide << int(OutputKind::Png) << 96.0 << 0 << QSize(288, 144);
    QTest::newRow("metafile at 192 dpi")
        << wide << int(OutputKind::Png) << 192.0 << 0 << QSize(576, 288);
    QTest::newRow("metafile fitted larger: drawn at the size")
        << wide << int(OutputKind::Png) << 96.0 << 512 << QSize(512, 256);
    QTest::newRow("metafile fitted smaller")
        << wide << int(OutputKind::Png) << 96.0 << 32 << QSize(32, 16);
    QTest::newRow("metafile into an SVG: its own extent at 96 dpi")
        << wide << int(OutputKind::Svg) << 192.0 << 0 << QSize(288, 144);
}

void TestRender::outputPixels()
{
    QFETCH(QByteArray, file);
    QFETCH(int, kind);
    QFETCH(double, dpi);
    QFETCH(int, fit);
    QFETCH(QSize, expected);
    const platform::Picture picture = platform::decodePicture(file);
    QCOMPARE(render::outputPixels(picture, OutputKind(kind), dpi,
                                  fit ? std::optional(fit) : std::nullopt),
             expected);
}

void TestRender::svgShowsWhatPngShows_data()
{
    using namespace platform::metafile;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");
    // The pictures are an inch square: 96 x 96 pixels, 15 units a pixel.
    QTest::newRow("a clip cuts a fill") << WmfWriter()
                                               .createBrush(BS_SOLID, Red)
                                               .selectObject(0)
                                               .createPen(PS_NULL, 0, Black)
                                               .selectObject(1)
                                               .intersectClipRect(0, 0, 720, 1440)
                                               .rectangle(0, 0, 1440, 1440)
                                               .finish()
                                        << Probes{{20, 48}, {75, 48}};
    QTest::newRow("an excluded hole") << WmfWriter()
                                             .createBrush(BS_SOLID, Blue)
                                             .selectObject(0)
                                             .createPen(PS_NULL, 0, Black)
                                             .selectObject(1)
                                             .excludeClipRect(360, 360, 1080, 1080)
                                             .ellipse(0, 0, 1440, 1440)
                                             .finish()
                                      << Probes{{48, 48}, {48, 10}, {20, 48}};
    QTest::newRow("a raster operation: xor") << WmfWriter()
                                                    .createBrush(BS_SOLID, Blue)
                                                    .selectObject(0)
                                                    .createPen(PS_NULL, 0, Black)
                                                    .selectObject(1)
                                                    .rectangle(0, 0, 1080, 1080)
                                                    .setRop2(R2_XORPEN)
                                                    .createBrush(BS_SOLID, Yellow)
                                                    .selectObject(2)
                                                    .rectangle(360, 360, 1440, 1440)
                                                    .finish()
                                             << Probes{{10, 10}, {48, 48}, {85, 85}};
    QTest::newRow("text cut by a clip") << WmfWriter()
                                               .createFont(-600, u"Arial"_qs)
                                               .selectObject(0)
                                               .setTextColor(Black)
                                               .setBkMode(TRANSPARENT)
                                               .intersectClipRect(0, 0, 1440, 700)
                                               .textOut(100, 100, "HH")
                                               .finish()
                                        << Probes{{20, 55}, {20, 40}};
    QTest::newRow("EMF+: a clip cuts a fill")
        << testing::EmfPlusWriter()
               .record(0x4032, 0, testing::EmfPlusWriter::rect(QRectF(0, 0, 48, 96)))
               .fillRects(Red, {QRectF(0, 0, 96, 96)})
               .finish()
        << Probes{{20, 48}, {75, 48}};
    QTest::newRow("EMF+: translucent fills over each other")
        << testing::EmfPlusWriter()
               .fillRects(QColor(255, 0, 0, 128), {QRectF(0, 0, 64, 64)})
               .fillRects(QColor(0, 0, 255, 128), {QRectF(32, 32, 64, 64)})
               .finish()
        << Probes{{16, 16}, {48, 48}, {80, 80}};
}

void TestRender::svgShowsWhatPngShows()
{
    QFETCH(QByteArray, file);
    QFETCH(Probes, probes);
    const platform::Picture picture = wmfPicture(file);
    const QSize size(96, 96);
    const QImage png = asPng(picture, size);
    const QImage svg = drawnBack(asSvg(picture, size), size);
    for (const QPoint& p : probes) {
        QVERIFY2(distance(svg.pixel(p), png.pixel(p)) <= 48,
                 qPrintable(u"at %1,%2: svg %3, png %4"_qs.arg(p.x()).arg(p.y()).arg(
                     QColor(svg.pixel(p)).name(), QColor(png.pixel(p)).name())));
    }
}

void TestRender::svgPenOfOnePixelKeepsItsInk()
{
    // A pen of width 0 is one device pixel wide, however far the window's units are scaled:
    // across the line there is as much ink in the SVG as in the PNG (which puts it on one row
    // where the SVG may share it between two).
    using namespace platform::metafile;
    const QByteArray file = WmfWriter()
                                .setMapMode(MM_ANISOTROPIC)
                                .setWindowExt(10, 10)
                                .createPen(PS_SOLID, 0, Black)
                                .selectObject(0)
                                .moveTo(0, 5)
                                .lineTo(10, 5)
                                .finish();
    const platform::Picture picture = wmfPicture(file);
    const QSize size(96, 96);
    const QImage png = asPng(picture, size);
    const QImage svg = drawnBack(asSvg(picture, size), size);
    auto inkAcross = [](const QImage& image) {
        int ink = 0;
        for (int y = 40; y < 56; ++y)
            ink += 255 - qGray(image.pixel(48, y));
        return ink;
    };
    QVERIFY2(inkAcross(png) > 200, qPrintable(QString::number(inkAcross(png))));
    QVERIFY2(std::abs(inkAcross(svg) - inkAcross(png)) < 80,
             qPrintable(u"svg %1, png %2"_qs.arg(inkAcross(svg)).arg(inkAcross(png))));
}

void TestRender::svgKeepsTextAsText()
{
    using namespace platform::metafile;
    const QByteArray file = WmfWriter()
                                .createFont(-300, u"Arial"_qs)
                                .selectObject(0)
                                .setTextColor(Black)
                                .setBkMode(TRANSPARENT)
                                .textOut(100, 500, "Hello")
                                .finish();
    const QByteArray svg = asSvg(wmfPicture(file), QSize(96, 96));
    QVERIFY2(svg.contains(">Hello</text>") || svg.contains(">Hello<"), svg.constData());
    QVERIFY(svg.contains("font-family=\"Liberation Sans\""));
    QVERIFY(!svg.contains("<image"));
}

void TestRender::pdfPageIsTheOwnExtent()
{
    const QByteArray file = WmfWriter(QRect(0, 0, 4320, 2160)).rectangle(0, 0, 100, 100).finish();
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(writePdf(wmfPicture(file), QSize(288, 144), buffer, error));
    // Three inches by one and a half: 216 x 108 points, one page.
    QVERIFY(pdf.contains("/MediaBox [0 0 216.000000 108.000000]"));
    QCOMPARE(pdf.count("/Type /Page\n"), 1);
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
