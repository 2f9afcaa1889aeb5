// The picture loader: formats recognised by content, sizes, and every way a file can fail.
#include "support/fixtures.h"
#include "support/metafile_writer.h"

#include "platform/errors.h"
#include "platform/picture_format.h"
#include "platform/picture_loader.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <sys/stat.h>

using namespace platform;

Q_DECLARE_METATYPE(platform::PictureFormat)
Q_DECLARE_METATYPE(platform::Picture::Kind)

class TestPictureLoader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sniff_data();
    void sniff();
    void formatsAreRegisteredOnce_data();
    void formatsAreRegisteredOnce();
    void everyFormatDecodesASmallFile_data();
    void everyFormatDecodesASmallFile();
    void loadsGeneratedFiles_data();
    void loadsGeneratedFiles();
    void gifTransparencyIsKept();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void refusesPipesWithoutBlocking();
    void vectorPictureSizes_data();
    void vectorPictureSizes();
    void rasterTwipsFollowTheScreen();
    void paintExposedDrawsOnlyThePicture();
    void vectorRenderingStartsFromTheBackground_data();
    void vectorRenderingStartsFromTheBackground();
    void vectorRepaintsReuseOnePlay_data();
    void vectorRepaintsReuseOnePlay();

private:
    QTemporaryDir m_dir;
};

void TestPictureLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestPictureLoader::sniff_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<PictureFormat>("expected");
    QTest::newRow("bmp") << QByteArray("BM\x36\0\0\0", 6) << PictureFormat::Bmp;
    QTest::newRow("bmp signature alone") << QByteArray("BM") << PictureFormat::Bmp;
    QTest::newRow("bmp with a head longer than a sniff reads")
        << QByteArray("BM") + QByteArray(200, '\0') << PictureFormat::Bmp;
    QTest::newRow("bmp in lower case") << QByteArray("bm\x36\0", 4) << PictureFormat::Unknown;
    QTest::newRow("bmp cut to one byte") << QByteArray("B") << PictureFormat::Unknown;
    QTest::newRow("gif87a") << QByteArray("GIF87a") << PictureFormat::Gif;
    QTest::newRow("gif89a") << QByteArray("GIF89a\1\0") << PictureFormat::Gif;
    QTest::newRow("gif without version") << QByteArray("GIF8") << PictureFormat::Unknown;
    QTest::newRow("gif of an unknown version") << QByteArray("GIF88a") << PictureFormat::Unknown;
    QTest::newRow("jpeg") << QByteArray("\xFF\xD8\xFF\xE0", 4) << PictureFormat::Jpeg;
    QTest::newRow("jpeg SOI alone") << QByteArray("\xFF\xD8", 2) << PictureFormat::Unknown;
    QTest::newRow("jpeg SOI and no marker")
        << QByteArray("\xFF\xD8\x00\xE0", 4) << PictureFormat::Unknown;
    QTest::newRow("jpeg EOI first") << QByteArray("\xFF\xD9\xFF\xD8", 4) << PictureFormat::Unknown;
    QTest::newRow("icon") << QByteArray("\0\0\1\0\1\0", 6) + QByteArray(16, '\0')
                          << PictureFormat::Icon;
    QTest::newRow("cursor") << QByteArray("\0\0\2\0\1\0", 6) + QByteArray(16, '\0')
                            << PictureFormat::Icon;
    QTest::newRow("icon with no entries")
        << QByteArray("\0\0\1\0\0\0", 6) + QByteArray(16, '\0') << PictureFormat::Unknown;
    QTest::newRow("icon cut inside its first entry")
        << QByteArray("\0\0\1\0\1\0", 6) + QByteArray(15, '\0') << PictureFormat::Unknown;
    QTest::newRow("icon of type 3")
        << QByteArray("\0\0\3\0\1\0", 6) + QByteArray(16, '\0') << PictureFormat::Unknown;
    QTest::newRow("icon with a reserved word set")
        << QByteArray("\0\1\1\0\1\0", 6) + QByteArray(16, '\0') << PictureFormat::Unknown;
    QTest::newRow("placeable wmf")
        << QByteArray("\xD7\xCD\xC6\x9A", 4) << PictureFormat::PlaceableWmf;
    QTest::newRow("placeable key cut short")
        << QByteArray("\xD7\xCD\xC6", 3) << PictureFormat::Unknown;
    QTest::newRow("standard wmf") << QByteArray("\1\0\x09\0\0\x03", 6) << PictureFormat::Wmf;
    QTest::newRow("standard wmf on disk, version 1")
        << QByteArray("\2\0\x09\0\0\x01", 6) << PictureFormat::Wmf;
    QTest::newRow("wmf with odd header size")
        << QByteArray("\1\0\x0A\0\0\x03", 6) << PictureFormat::Unknown;
    QTest::newRow("wmf of type 3") << QByteArray("\3\0\x09\0\0\x03", 6) << PictureFormat::Unknown;
    QTest::newRow("wmf of version 2")
        << QByteArray("\1\0\x09\0\0\x02", 6) << PictureFormat::Unknown;
    QTest::newRow("wmf cut before its version")
        << QByteArray("\1\0\x09\0", 4) << PictureFormat::Unknown;
    QByteArray emf(44, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    QTest::newRow("emf") << emf << PictureFormat::Emf;
    QByteArray noSignature = emf;
    noSignature.replace(40, 4, "XEMF");
    QTest::newRow("emf without signature") << noSignature << PictureFormat::Unknown;
    QTest::newRow("emf cut inside its signature") << emf.left(43) << PictureFormat::Unknown;
    QByteArray notHeader = emf;
    notHeader[0] = 2;
    QTest::newRow("emf signature after another record") << notHeader << PictureFormat::Unknown;
    QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n", 8) << PictureFormat::Unknown;
    QTest::newRow("text") << QByteArray("hello") << PictureFormat::Unknown;
    QTest::newRow("empty") << QByteArray() << PictureFormat::Unknown;
}

void TestPictureLoader::sniff()
{
    QFETCH(QByteArray, head);
    QFETCH(PictureFormat, expected);
    // The expected format's sniff takes the head, and every other registered format's refuses it.
    for (const RegisteredFormat& registered : registeredFormats()) {
        const bool takes = registered.sniff(ByteReader(head));
        QVERIFY2(takes == (registered.format == expected),
                 qPrintable(
                     u"the sniff of %1 (key %2) says %3"_qs.arg(QLatin1StringView(registered.name))
                         .arg(int(registered.format))
                         .arg(takes)));
    }
    QCOMPARE(sniffFormat(head), expected);
}

void TestPictureLoader::formatsAreRegisteredOnce_data()
{
    QTest::addColumn<PictureFormat>("format");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("name");
    QTest::newRow("bmp") << PictureFormat::Bmp << 1 << u"bmp"_qs;
    QTest::newRow("gif") << PictureFormat::Gif << 1 << u"gif"_qs;
    QTest::newRow("jpeg") << PictureFormat::Jpeg << 1 << u"jpeg"_qs;
    QTest::newRow("icon") << PictureFormat::Icon << 1 << u"ico"_qs;
    QTest::newRow("placeable wmf") << PictureFormat::PlaceableWmf << 1 << u"wmf"_qs;
    QTest::newRow("standard wmf") << PictureFormat::Wmf << 1 << u"wmf"_qs;
    QTest::newRow("emf") << PictureFormat::Emf << 1 << u"emf"_qs;
    QTest::newRow("unknown") << PictureFormat::Unknown << 0 << u"unknown"_qs;
}

void TestPictureLoader::formatsAreRegisteredOnce()
{
    QFETCH(PictureFormat, format);
    QFETCH(int, entries);
    QFETCH(QString, name);
    const auto formats = registeredFormats();
    QCOMPARE(std::count_if(formats.begin(), formats.end(),
                           [&](const RegisteredFormat& f) { return f.format == format; }),
             entries);
    QCOMPARE(registeredFormat(format) != nullptr, entries == 1);
    QCOMPARE(QString::fromLatin1(formatName(format)), name);
}

namespace {

struct Sample {
    const char* row = nullptr;
    QByteArray bytes;
    QSize size; ///< at 96 dpi
    Picture::Kind kind = Picture::Kind::None;
};

QImage solidRed(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(Qt::red);
    return image;
}

// A small file of `format`, written here, whose picture is red in its middle; no row where
// the test has no writer for the format yet.
Sample sampleOf(PictureFormat format)
{
    constexpr int BS_SOLID = 0;
    const QColor red(Qt::red);
    switch (format) {
    case PictureFormat::Bmp:
        return {"bmp", testing::encodeWithQt(solidRed(5, 3), "bmp"), {5, 3}, Picture::Kind::Raster};
    case PictureFormat::Gif: {
        QImage indexed(4, 2, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(255, 0, 0)});
        indexed.fill(0);
        return {"gif", testing::encodeGif(indexed), {4, 2}, Picture::Kind::Raster};
    }
    case PictureFormat::Jpeg:
        return {"jpeg",
                testing::encodeWithQt(solidRed(16, 8), "jpeg", 90),
                {16, 8},
                Picture::Kind::Raster};
    case PictureFormat::Icon:
        return {"icon",
                testing::encodeWithQt(solidRed(16, 16, QImage::Format_ARGB32), "ico"),
                {16, 16},
                Picture::Kind::Raster};
    case PictureFormat::PlaceableWmf:
        return {"placeable wmf",
                testing::WmfWriter(QRect(0, 0, 720, 360), 1440)
                    .createBrush(BS_SOLID, red)
                    .selectObject(0)
                    .rectangle(0, 0, 720, 360)
                    .finish(),
                {48, 24},
                Picture::Kind::Vector};
    case PictureFormat::Wmf:
        return {"standard wmf",
                testing::WmfWriter({}, 0, false)
                    .setWindowOrg(0, 0)
                    .setWindowExt(48, 24)
                    .createBrush(BS_SOLID, red)
                    .selectObject(0)
                    .rectangle(0, 0, 48, 24)
                    .finish(),
                {48, 24},
                Picture::Kind::Vector};
    case PictureFormat::Emf:
        return {"emf",
                testing::EmfWriter(QRect(0, 0, 1270, 635))
                    .createBrush(1, BS_SOLID, red)
                    .selectObject(1)
                    .rectangle(0, 0, 48, 24)
                    .finish(),
                {48, 24},
                Picture::Kind::Vector};
    case PictureFormat::Unknown:
        break;
    }
    return {};
}

} // namespace

void TestPictureLoader::everyFormatDecodesASmallFile_data()
{
    QTest::addColumn<PictureFormat>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Picture::Kind>("kind");
    for (const RegisteredFormat& registered : registeredFormats()) {
        const Sample sample = sampleOf(registered.format);
        QTest::addRow("%s", sample.row ? sample.row : registered.name)
            << registered.format << sample.bytes << sample.size << sample.kind;
    }
}

void TestPictureLoader::everyFormatDecodesASmallFile()
{
    QFETCH(PictureFormat, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(Picture::Kind, kind);
    QVERIFY2(!bytes.isEmpty(), "a registered format that this test writes no file of");
    QCOMPARE(sniffFormat(bytes), format);
    const QString path = testing::writeFile(m_dir.path(), u"sample"_qs, bytes);
    // From memory through the whole decode; from a file through the stream where there is one.
    QList<Picture> pictures;
    try {
        pictures = {decodePicture(bytes), LoadPicture(path)};
    } catch (const Error& e) {
        QFAIL(qPrintable(u"refused: "_qs + e.description()));
    }
    for (const Picture& picture : std::as_const(pictures)) {
        QCOMPARE(picture.kind(), kind);
        QCOMPARE(picture.pixelSize(96, 96), size);
        QImage canvas(size, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            picture.paint(painter, QRectF(canvas.rect()));
        }
        const QRgb middle = canvas.pixel(size.width() / 2, size.height() / 2);
        QVERIFY2(qRed(middle) > 230 && qGreen(middle) < 25 && qBlue(middle) < 25,
                 qPrintable(u"middle pixel #%1"_qs.arg(middle, 8, 16, QChar(u'0'))));
    }
}

void TestPictureLoader::loadsGeneratedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("exactPixels");
    QTest::addColumn<QImage>("original");

    const QImage odd = testing::patternImage(37, 23);
    QTest::newRow("bmp, odd size")
        << u"odd.bmp"_qs << testing::encodeWithQt(odd, "bmp") << odd.size() << true << odd;
    const QImage one = testing::patternImage(1, 1);
    QTest::newRow("bmp 1x1") << u"one.bmp"_qs << testing::encodeWithQt(one, "bmp") << QSize(1, 1)
                             << true << one;
    const QImage tall = testing::patternImage(3, 500);
    QTest::newRow("bmp, tall and narrow")
        << u"tall.bmp"_qs << testing::encodeWithQt(tall, "bmp") << tall.size() << true << tall;
    const QImage photo = testing::gradientImage(320, 200);
    QTest::newRow("jpeg") << u"photo.jpg"_qs << testing::encodeWithQt(photo, "jpeg", 90)
                          << photo.size() << false << photo;
    QTest::newRow("jpeg 1x1") << u"one.jpeg"_qs << testing::encodeWithQt(one, "jpeg") << QSize(1, 1)
                              << false << one;
    const QImage indexed = odd.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QTest::newRow("gif, odd size")
        << u"odd.gif"_qs << testing::encodeGif(indexed) << odd.size() << true << indexed;
    const QImage icon = testing::patternImage(32, 32, QImage::Format_ARGB32);
    QTest::newRow("ico") << u"app.ico"_qs << testing::encodeWithQt(icon, "ico") << QSize(32, 32)
                         << true << icon;
    QTest::newRow("jpeg named .bmp") << u"lying.bmp"_qs << testing::encodeWithQt(photo, "jpeg", 90)
                                     << photo.size() << false << photo;
    QTest::newRow("bmp named .gif")
        << u"lying.gif"_qs << testing::encodeWithQt(odd, "bmp") << odd.size() << true << odd;
    QTest::newRow("bmp without extension")
        << u"noext"_qs << testing::encodeWithQt(odd, "bmp") << odd.size() << true << odd;
    QTest::newRow("name with blanks and kana")
        << u"写真 ﾃｽﾄ 1.bmp"_qs << testing::encodeWithQt(odd, "bmp") << odd.size() << true << odd;
}

void TestPictureLoader::loadsGeneratedFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, exactPixels);
    QFETCH(QImage, original);

    const QString path = testing::writeFile(m_dir.path(), name, bytes);
    const Picture picture = LoadPicture(path);
    QCOMPARE(picture.kind(), Picture::Kind::Raster);
    QCOMPARE(picture.pixelSize(96, 96), size);
    QCOMPARE(picture.pixelSize(192, 192), size); // a raster picture's pixels are its size
    const QImage decoded = picture.image().convertToFormat(QImage::Format_ARGB32);
    const QImage expected = original.convertToFormat(QImage::Format_ARGB32);
    if (exactPixels) {
        QCOMPARE(decoded, expected);
    } else {
        // JPEG is lossy: each channel stays close to the original.
        for (const QPoint p : {QPoint(0, 0), QPoint(size.width() / 2, size.height() / 2),
                               QPoint(size.width() - 1, size.height() - 1)}) {
            const QRgb a = decoded.pixel(p);
            const QRgb b = expected.pixel(p);
            QVERIFY2(qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40
                         && qAbs(qBlue(a) - qBlue(b)) < 40,
                     qPrintable(u"pixel differs at %1,%2"_qs.arg(p.x()).arg(p.y())));
        }
    }
    // The loader is the same over bytes in memory.
    QCOMPARE(decodePicture(bytes).pixelSize(96, 96), size);
}

void TestPictureLoader::gifTransparencyIsKept()
{
    QImage indexed(4, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.fill(0);
    indexed.setPixel(1, 0, 1);
    indexed.setPixel(2, 1, 1);
    const Picture picture = decodePicture(testing::encodeGif(indexed, 1));
    const QImage image = picture.image().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(image.pixel(1, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(2, 1)), 0);
    QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(3, 1), qRgb(255, 0, 0));
}

void TestPictureLoader::refusesBadFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");

    const QDir dir(m_dir.path());
    const QByteArray bmp = testing::encodeWithQt(testing::patternImage(40, 30), "bmp");
    QTest::newRow("empty name") << QString() << int(FileNotFound);
    QTest::newRow("missing file") << dir.filePath(u"missing.bmp"_qs) << int(FileNotFound);
    QTest::newRow("name in double quotes")
        << u"\""_qs + testing::writeFile(dir, u"q.bmp"_qs, bmp) + u"\""_qs << int(FileNotFound);
    QTest::newRow("name with a trailing blank")
        << testing::writeFile(dir, u"t.bmp"_qs, bmp) + u" "_qs << int(FileNotFound);
    QTest::newRow("a folder") << m_dir.path() << int(PathFileAccessError);
    QTest::newRow("a device") << u"/dev/zero"_qs << int(PathFileAccessError);
    QTest::newRow("empty file") << testing::writeFile(dir, u"empty.bmp"_qs, {})
                                << int(InvalidPicture);
    QTest::newRow("text") << testing::writeFile(dir, u"text.bmp"_qs, "just some text\n")
                          << int(InvalidPicture);
    QTest::newRow("png is not read") << testing::writeFile(
        dir, u"p.bmp"_qs, testing::encodeWithQt(testing::patternImage(4, 4), "png"))
                                     << int(InvalidPicture);
    QTest::newRow("bmp header alone")
        << testing::writeFile(dir, u"hdr.bmp"_qs, bmp.left(14)) << int(InvalidPicture);
    QTest::newRow("gif signature alone")
        << testing::writeFile(dir, u"sig.gif"_qs, "GIF89a") << int(InvalidPicture);
    QTest::newRow("jpeg markers alone")
        << testing::writeFile(dir, u"soi.jpg"_qs, QByteArray("\xFF\xD8\xFF\xD9", 4))
        << int(InvalidPicture);
}

void TestPictureLoader::refusesBadFiles()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    try {
        const Picture picture = LoadPicture(path);
        QFAIL(qPrintable(u"loaded a picture of "_qs + QString::number(picture.image().width())));
    } catch (const Error& e) {
        QCOMPARE(e.number(), error);
        QVERIFY(!e.description().isEmpty());
    }
}

void TestPictureLoader::refusesPipesWithoutBlocking()
{
    const QByteArray fifo = QDir(m_dir.path()).filePath(u"pipe.bmp"_qs).toLocal8Bit();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    try {
        LoadPicture(QString::fromLocal8Bit(fifo));
        QFAIL("loaded a pipe");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(PathFileAccessError));
    }
    QVERIFY(timer.elapsed() < 2000);
}

namespace {

// A vector picture that counts its plays: red, with a blue square of a tenth of its width in
// its top-left corner.
class CountingVector final : public VectorGraphic {
public:
    explicit CountingVector(QSizeF extent)
        : m_extent(extent)
    {
    }
    QSizeF extentHimetric() const override { return m_extent; }
    void play(QPainter& painter, const QRectF& target) const override
    {
        ++plays;
        painter.fillRect(target, Qt::red);
        const double side = target.width() / 10;
        painter.fillRect(QRectF(target.topLeft(), QSizeF(side, side)), Qt::blue);
    }
    mutable int plays = 0;

private:
    QSizeF m_extent;
};

/// A picture that inverts what lies under its left half, as a metafile's DSTINVERT or an R2_NOT
/// pen does.
class InvertingVector final : public VectorGraphic {
public:
    QSizeF extentHimetric() const override { return QSizeF(40, 20) * (2540.0 / 96); }
    void play(QPainter& painter, const QRectF& target) const override
    {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.fillRect(QRectF(target.topLeft(), QSizeF(target.width() / 2, target.height())),
                         Qt::black);
    }
};

} // namespace

void TestPictureLoader::vectorRenderingStartsFromTheBackground_data()
{
    QTest::addColumn<QColor>("background");
    QTest::newRow("the viewer's grey") << QColor(0xc0, 0xc0, 0xc0);
    QTest::newRow("white") << QColor(Qt::white);
    QTest::newRow("dark blue") << QColor(0, 0, 0x80);
}

void TestPictureLoader::vectorRenderingStartsFromTheBackground()
{
    QFETCH(QColor, background);
    const Picture picture(std::make_shared<InvertingVector>());
    // Played straight onto the device...
    QImage direct(40, 20, QImage::Format_RGB32);
    direct.fill(background);
    {
        QPainter painter(&direct);
        picture.paint(painter, QRectF(0, 0, 40, 20));
    }
    // ...and through the kept rendering, twice, show the same pixels.
    for (int repaint = 0; repaint < 2; ++repaint) {
        QImage shown(40, 20, QImage::Format_RGB32);
        shown.fill(background);
        {
            QPainter painter(&shown);
            picture.paintExposed(painter, shown.rect(), background);
        }
        QCOMPARE(shown.pixel(5, 10), direct.pixel(5, 10));
        QCOMPARE(shown.pixel(35, 10), background.rgb());
    }
    const QRgb inverted = background.rgb() ^ 0x00ffffff;
    QCOMPARE(direct.pixel(5, 10) & 0x00ffffff, inverted & 0x00ffffff);
}

void TestPictureLoader::vectorRepaintsReuseOnePlay_data()
{
    QTest::addColumn<QSize>("pixels");  // the picture's own size at 96 dpi
    QTest::addColumn<QRect>("exposed"); // what each repaint exposes
    QTest::addColumn<int>("plays");     // plays for five repaints at one ratio, then one at 2
    QTest::newRow("small, whole") << QSize(200, 100) << QRect(0, 0, 200, 100) << 2;
    QTest::newRow("small, a part") << QSize(200, 100) << QRect(10, 10, 30, 30) << 2;
    // Larger than one rendering: only the tiles exposed are played, each once.
    QTest::newRow("large, one tile") << QSize(6000, 4000) << QRect(100, 100, 50, 50) << 2;
    QTest::newRow("large, across four tiles")
        << QSize(6000, 4000) << QRect(1000, 1000, 100, 100) << 4 + 1;
}

void TestPictureLoader::vectorRepaintsReuseOnePlay()
{
    QFETCH(QSize, pixels);
    QFETCH(QRect, exposed);
    QFETCH(int, plays);
    auto vector = std::make_shared<CountingVector>(QSizeF(pixels) * (2540.0 / 96));
    const Picture picture(vector);
    const Picture copy = picture; // copies share the rendering
    QImage canvas(exposed.right() + 1, exposed.bottom() + 1, QImage::Format_ARGB32);
    for (int repaint = 0; repaint < 5; ++repaint) {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        (repaint % 2 ? copy : picture).paintExposed(painter, exposed);
    }
    const int tilesAtOne = vector->plays;
    QVERIFY(tilesAtOne >= 1);
    // What the repaints show is the picture: blue in its corner, red elsewhere.
    const QPoint inside = exposed.center();
    const bool corner = inside.x() < pixels.width() / 10 && inside.y() < pixels.width() / 10;
    QCOMPARE(QColor(canvas.pixel(inside)), corner ? QColor(Qt::blue) : QColor(Qt::red));
    if (exposed.x() > 0)
        QCOMPARE(QColor(canvas.pixel(0, 0)), QColor(Qt::white));

    // A device of another pixel ratio makes it again, at that ratio.
    QImage sharp(canvas.size() * 2, QImage::Format_ARGB32);
    sharp.setDevicePixelRatio(2);
    sharp.fill(Qt::white);
    {
        QPainter painter(&sharp);
        picture.paintExposed(painter, QRect(exposed.topLeft(), QSize(1, 1)));
    }
    QCOMPARE(vector->plays, plays);
    QCOMPARE(QColor(sharp.pixel(exposed.topLeft() * 2)),
             exposed.x() < pixels.width() / 10 ? QColor(Qt::blue) : QColor(Qt::red));
}

void TestPictureLoader::vectorPictureSizes_data()
{
    QTest::addColumn<QSizeF>("himetric");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QSizeF>("twips");
    QTest::newRow("one inch at 96")
        << QSizeF(2540, 2540) << 96.0 << QSize(96, 96) << QSizeF(1440, 1440);
    QTest::newRow("one inch at 192")
        << QSizeF(2540, 2540) << 192.0 << QSize(192, 192) << QSizeF(1440, 1440);
    QTest::newRow("a4 portrait") << QSizeF(21000, 29700) << 96.0 << QSize(794, 1123)
                                 << QSizeF(11905.5118, 16837.7953);
    // 13.229 himetric is exactly half a pixel at 96 dpi: rounds up.
    QTest::newRow("half pixel rounds up") << QSizeF(2540.0 / 96 * 1.5, 2540.0 / 96 * 2.5) << 96.0
                                          << QSize(2, 3) << QSizeF(22.5, 37.5);
}

void TestPictureLoader::vectorPictureSizes()
{
    QFETCH(QSizeF, himetric);
    QFETCH(double, dpi);
    QFETCH(QSize, pixels);
    QFETCH(QSizeF, twips);
    const Picture picture(std::make_shared<CountingVector>(himetric));
    QCOMPARE(picture.kind(), Picture::Kind::Vector);
    QCOMPARE(picture.pixelSize(dpi, dpi), pixels);
    const QSizeF own = picture.sizeTwips(dpi, dpi); // a vector's own size ignores the screen
    QVERIFY(qAbs(own.width() - twips.width()) < 0.01);
    QVERIFY(qAbs(own.height() - twips.height()) < 0.01);
}

void TestPictureLoader::rasterTwipsFollowTheScreen()
{
    const Picture picture(testing::patternImage(320, 240));
    QCOMPARE(picture.sizeTwips(96, 96), QSizeF(4800, 3600));
    QCOMPARE(picture.sizeTwips(120, 120), QSizeF(3840, 2880));
    QCOMPARE(Picture().sizeTwips(96, 96), QSizeF(0, 0));
    QVERIFY(Picture(QImage()).isNull());
}

void TestPictureLoader::paintExposedDrawsOnlyThePicture()
{
    const Picture picture(testing::patternImage(10, 8));
    QImage canvas(20, 20, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        picture.paintExposed(painter, QRect(5, 5, 15, 15));
    }
    QCOMPARE(canvas.pixel(0, 0), qRgb(255, 255, 255));         // not exposed
    QCOMPARE(canvas.pixel(6, 6), picture.image().pixel(6, 6)); // exposed picture
    QCOMPARE(canvas.pixel(12, 12), qRgb(255, 255, 255));       // beyond the picture
}

QTEST_MAIN(TestPictureLoader)
#include "tst_picture_loader.moc"
