// Pictures read as streams (JPEG, plain bitmaps): the same pixels as the whole decoders, the
// top rows first, nothing shown of rows not yet decoded, and the file's structure checked
// before the loader returns.
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "platform/raster/dib.h"
#include "platform/raster/jpeg.h"
#include "support/fixtures.h"
#include "support/raster_fixtures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <jpeglib.h>

using namespace platform;

namespace {

enum class Jpeg {
    Baseline,
    Progressive,
    Arithmetic,
    Restart,
    Grey
};

// A JPEG written by libjpeg itself, for the codings Qt's writer does not offer.
QByteArray encodeJpeg(const QImage& source, Jpeg kind)
{
    const bool grey = kind == Jpeg::Grey;
    const QImage image = source.convertToFormat(grey ? QImage::Format_Grayscale8
                                                     : QImage::Format_RGB888);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (kind == Jpeg::Progressive)
        jpeg_simple_progression(&cinfo);
    if (kind == Jpeg::Arithmetic)
        cinfo.arith_code = TRUE;
    if (kind == Jpeg::Restart)
        cinfo.restart_in_rows = 1;
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < image.height(); ++y) {
        JSAMPROW row = const_cast<uchar*>(image.constScanLine(y));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// A BMP file of `image` stored as a plain `bits`-bit bitmap, bottom-up or top-down.
QByteArray plainBmp(const QImage& image, int bits, bool topDown, bool bitfields = false)
{
    QList<QByteArray> rows;
    for (int y = 0; y < image.height(); ++y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row.append(char(qBlue(c)));
            row.append(char(qGreen(c)));
            row.append(char(qRed(c)));
            if (bits == 32)
                row.append(char(0x5A)); // not alpha in a plain bitmap
        }
        rows.append(row);
    }
    if (!topDown)
        std::reverse(rows.begin(), rows.end());
    testing::DibFixture dib;
    dib.width = image.width();
    dib.height = topDown ? -image.height() : image.height();
    dib.bitCount = bits;
    if (bitfields) {
        dib.compression = 3;
        dib.masks = {0xFF0000, 0xFF00, 0xFF};
    }
    dib.bits = testing::dibRows(rows);
    return dib.file();
}

// Pending rows that paint row y in red y * 10, one row at a time, into pixels that start black.
class NumberedRows final : public PendingRows {
public:
    NumberedRows(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::black);
        adopt(std::move(image));
    }

    int rowsReady() const override { return m_ready; }

    bool decodeMore(int rows) override
    {
        const int stop = qMin(image().height(), m_ready + rows);
        for (; m_ready < stop; ++m_ready) {
            auto* out = reinterpret_cast<QRgb*>(line(m_ready));
            std::fill(out, out + image().width(), qRgb(m_ready * 10, 0, 0));
        }
        return m_ready < image().height();
    }

private:
    int m_ready = 0;
};

} // namespace

class TestStreaming : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void plainBitmapsStream_data();
    void plainBitmapsStream();
    void otherBitmapsDecodeWhole_data();
    void otherBitmapsDecodeWhole();
    void jpegStreams_data();
    void jpegStreams();
    void rowsArriveTopFirstAndOnlyReadyRowsShow();
    void jpegStructure_data();
    void jpegStructure();
    void progressiveShowsCoarseThenRefines();
    void turnedJpegStreams_data();
    void turnedJpegStreams();
    void pendingRowsNeverWriteIntoACopy();
    void pendingRowsWithoutPixelsAreNoPicture();

private:
    QString write(const QString& name, const QByteArray& bytes)
    {
        return testing::writeFile(m_dir.path(), name, bytes);
    }
    QTemporaryDir m_dir;
};

void TestStreaming::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestStreaming::plainBitmapsStream_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("topDown");
    QTest::addColumn<bool>("bitfields");
    QTest::newRow("24-bit, bottom-up, tall") << QSize(37, 600) << 24 << false << false;
    QTest::newRow("24-bit, top-down") << QSize(5, 300) << 24 << true << false;
    QTest::newRow("24-bit, one pixel") << QSize(1, 1) << 24 << false << false;
    QTest::newRow("24-bit, width needing padding") << QSize(3, 2) << 24 << false << false;
    QTest::newRow("32-bit, fourth byte ignored") << QSize(17, 400) << 32 << false << false;
    QTest::newRow("32-bit BGRX bitfields") << QSize(9, 260) << 32 << true << true;
}

void TestStreaming::plainBitmapsStream()
{
    QFETCH(QSize, size);
    QFETCH(int, bits);
    QFETCH(bool, topDown);
    QFETCH(bool, bitfields);
    const QByteArray bytes = plainBmp(testing::patternImage(size.width(), size.height()), bits,
                                      topDown, bitfields);
    const Picture picture = LoadPicture(write(u"plain.bmp"_qs, bytes));
    QVERIFY(raster::plainBitmap(bytes, bytes.size()).has_value());
    QCOMPARE(picture.rowsReady(), qMin(size.height(), 256));
    QCOMPARE(picture.isComplete(), size.height() <= 256);
    const QImage whole = raster::decodeBmp(bytes);
    QCOMPARE(picture.image().format(), whole.format());
    QCOMPARE(picture.image(), whole);
    QVERIFY(picture.isComplete());
}

void TestStreaming::otherBitmapsDecodeWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QImage image = testing::patternImage(7, 300);
    QTest::newRow("8-bit") << testing::encodeWithQt(image.convertToFormat(QImage::Format_Indexed8),
                                                    "bmp");
    QByteArray cut = plainBmp(image, 24, false);
    cut.chop(10);
    QTest::newRow("24-bit with its last row cut short") << cut;
    testing::DibFixture alpha;
    alpha.headerSize = 56; // the alpha mask in the header
    alpha.width = 2;
    alpha.height = 1;
    alpha.bitCount = 32;
    alpha.compression = 3;
    alpha.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    alpha.bits = testing::dibRows({QByteArray("\1\2\3\x80\4\5\6\xFF", 8)});
    QTest::newRow("32-bit with alpha") << alpha.file();
}

void TestStreaming::otherBitmapsDecodeWhole()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!raster::plainBitmap(bytes, bytes.size()).has_value());
    const Picture picture = LoadPicture(write(u"other.bmp"_qs, bytes));
    QVERIFY(picture.isComplete());
    QCOMPARE(picture.image(), raster::decodeBmp(bytes));
}

void TestStreaming::jpegStreams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    const QImage photo = testing::gradientImage(123, 700);
    QTest::newRow("baseline") << encodeJpeg(photo, Jpeg::Baseline) << photo.size();
    QTest::newRow("progressive") << encodeJpeg(photo, Jpeg::Progressive) << photo.size();
    QTest::newRow("arithmetic") << encodeJpeg(photo, Jpeg::Arithmetic) << photo.size();
    QTest::newRow("restart markers") << encodeJpeg(photo, Jpeg::Restart) << photo.size();
    QTest::newRow("greyscale") << encodeJpeg(photo, Jpeg::Grey) << photo.size();
    const QImage odd = testing::gradientImage(1, 3);
    QTest::newRow("1x3") << encodeJpeg(odd, Jpeg::Baseline) << odd.size();
    QByteArray cut = encodeJpeg(photo, Jpeg::Baseline);
    cut.truncate(cut.size() / 2);
    QTest::newRow("cut in half: decodes partly") << cut << photo.size();
    QByteArray trailing = encodeJpeg(photo, Jpeg::Baseline) + QByteArray(100, 'x');
    QTest::newRow("bytes after EOI") << trailing << photo.size();
}

void TestStreaming::jpegStreams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    const Picture picture = LoadPicture(write(u"photo.jpg"_qs, bytes));
    QCOMPARE(picture.pixelSize(96, 96), size);
    // The stream gives the pixels that the whole-file decoder gives.
    const QImage whole = raster::decodeJpeg(bytes).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(testing::pixelDifference(picture.image(), whole), QString());
}

void TestStreaming::rowsArriveTopFirstAndOnlyReadyRowsShow()
{
    const QImage photo = testing::gradientImage(64, 1000);
    for (const QString& name : {u"tall.jpg"_qs, u"tall.bmp"_qs}) {
        const QByteArray bytes = name.endsWith(u".jpg"_qs) ? encodeJpeg(photo, Jpeg::Baseline)
                                                           : plainBmp(photo, 24, false);
        const Picture picture = LoadPicture(write(name, bytes));
        QCOMPARE(picture.rowsReady(), 256);
        QVERIFY(!picture.isComplete());

        // Painting shows the ready rows and leaves the others to the background.
        QImage canvas(64, 1000, QImage::Format_RGB32);
        canvas.fill(Qt::magenta);
        {
            QPainter painter(&canvas);
            picture.paintExposed(painter, canvas.rect());
        }
        QCOMPARE(canvas.pixel(10, 255) == qRgb(255, 0, 255), false);
        QCOMPARE(canvas.pixel(10, 256), qRgb(255, 0, 255));
        QCOMPARE(canvas.pixel(10, 999), qRgb(255, 0, 255));

        QVERIFY(picture.decodeMore(100));
        QCOMPARE(picture.rowsReady(), 356);
        while (picture.decodeMore(300)) { }
        QCOMPARE(picture.rowsReady(), 1000);
        QVERIFY(!picture.decodeMore(10));
        // A copy of the picture shares its progress.
        const Picture copy = picture;
        QVERIFY(copy.isComplete());
    }
}

void TestStreaming::jpegStructure_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");
    const QByteArray good = encodeJpeg(testing::gradientImage(40, 30), Jpeg::Baseline);
    const qsizetype sos = good.indexOf("\xFF\xDA");
    const qsizetype sof = good.indexOf("\xFF\xC0");

    QByteArray shortLength = good;
    shortLength.insert(2, QByteArray("\xFF\xE3\x00\x01", 4));
    QTest::newRow("segment length below 2") << shortLength << int(InvalidPicture);

    QByteArray scanFirst = good;
    scanFirst.remove(sof, 2 + ((quint8(good[sof + 2]) << 8) | quint8(good[sof + 3])));
    QTest::newRow("scan before any frame header") << scanFirst << int(InvalidPicture);

    QByteArray manySegments = good.left(2);
    for (int i = 0; i < 5000; ++i)
        manySegments.append("\xFF\xE5\x00\x02", 4);
    manySegments.append(good.mid(2));
    QTest::newRow("more segments than any picture has") << manySegments << int(InvalidPicture);

    QByteArray overlong = good.left(sos);
    overlong.append("\xFF\xE4\x7F\xFF", 4);
    QTest::newRow("segment longer than the file") << overlong << int(InvalidPicture);

    QTest::newRow("headers only, no scan") << good.left(sos) << int(InvalidPicture);
    QTest::newRow("SOI alone") << good.left(2) << int(InvalidPicture);

    QByteArray stray = good;
    stray.insert(sos, QByteArray("\x00\x11\x22", 3));
    QTest::newRow("stray bytes before the scan") << stray << 0;
    QTest::newRow("no EOI") << good.chopped(2) << 0;
}

void TestStreaming::jpegStructure()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    const QString path = write(u"structure.jpg"_qs, bytes);
    QCOMPARE(testing::raisedError([&] { LoadPicture(path).image(); }), error);
}

void TestStreaming::progressiveShowsCoarseThenRefines()
{
    const QImage photo = testing::gradientImage(300, 900);
    const Picture picture = LoadPicture(
        write(u"progressive.jpg"_qs, encodeJpeg(photo, Jpeg::Progressive)));
    // The coarse pass's top rows come first; nothing is final yet.
    QCOMPARE(picture.rowsReady(), 256);
    QVERIFY(!picture.isComplete());
    QCOMPARE(picture.refinedRows(), 0);
    int refined = 0;
    int steps = 0;
    while (picture.decodeMore(64)) {
        QVERIFY(picture.refinedRows() >= refined);
        refined = picture.refinedRows();
        ++steps;
    }
    // The coarse pass, the scans and the final pass each took several steps.
    QVERIFY2(steps > 3 * 900 / 64, qPrintable(QString::number(steps)));
    QVERIFY(picture.isComplete());
    QCOMPARE(picture.refinedRows(), 900);
    // The same coefficients coded in one scan give the same pixels.
    const QImage baseline = raster::decodeJpeg(encodeJpeg(photo, Jpeg::Baseline));
    QCOMPARE(testing::pixelDifference(picture.image(), baseline), QString());
}

void TestStreaming::turnedJpegStreams_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("stored");
    for (int orientation = 2; orientation <= 8; ++orientation) {
        QTest::addRow("%d, larger than the first view", orientation)
            << orientation << QSize(700, 610);
        QTest::addRow("%d, narrow", orientation) << orientation << QSize(61, 1100);
    }
    QTest::newRow("6, smaller than the first view") << 6 << QSize(90, 70);
    QTest::newRow("8, odd size") << 8 << QSize(333, 517);
}

void TestStreaming::turnedJpegStreams()
{
    QFETCH(int, orientation);
    QFETCH(QSize, stored);
    const QByteArray bytes = testing::jpegWithOrientation(
        testing::gradientImage(stored.width(), stored.height()), orientation);
    // Qt's reader, which decodes the whole picture and turns it.
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    const QImage expected = reader.read().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!expected.isNull());

    const Picture picture = LoadPicture(write(u"turned.jpg"_qs, bytes));
    QCOMPARE(picture.pixelSize(96, 96), expected.size());
    // Before anything else is decoded, the shown top-left corner is there, and right.
    const QRect firstView = QRect(0, 0, 512, 256) & expected.rect();
    QVERIFY(picture.readyRegion().contains(firstView));
    QCOMPARE(picture.isComplete(), firstView == expected.rect() && orientation <= 2);
    QImage canvas(expected.size(), QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    {
        QPainter painter(&canvas);
        picture.paintExposed(painter, canvas.rect());
    }
    QCOMPARE(testing::pixelDifference(canvas.copy(firstView), expected.copy(firstView)), QString());
    // Then all of it, the same pixels as Qt's.
    QCOMPARE(testing::pixelDifference(picture.image(), expected), QString());
    QCOMPARE(picture.readyRegion(), QRegion(expected.rect()));
}

void TestStreaming::pendingRowsNeverWriteIntoACopy()
{
    auto rows = std::make_shared<NumberedRows>(3, 4);
    rows->decodeMore(1);
    const QImage early = rows->image(); // a reader's copy, taken while rows are still due
    const Picture picture(rows);
    QCOMPARE(picture.kind(), Picture::Kind::Raster);
    QCOMPARE(picture.rowsReady(), 1);
    QVERIFY(!picture.isComplete());
    QCOMPARE(picture.image().pixel(2, 3), qRgb(30, 0, 0));
    QVERIFY(picture.isComplete());
    // The rows written since went to the picture's own pixels, never into the copy.
    QCOMPARE(early.pixel(2, 0), qRgb(0, 0, 0));
    QCOMPARE(early.pixel(2, 3), qRgb(0, 0, 0));
    QCOMPARE(picture.image().pixel(0, 1), qRgb(10, 0, 0));
}

void TestStreaming::pendingRowsWithoutPixelsAreNoPicture()
{
    QVERIFY(Picture(std::shared_ptr<PendingRows>()).isNull());
    const Picture unsized(std::make_shared<NumberedRows>(0, 0));
    QVERIFY(unsized.isNull());
    QVERIFY(unsized.isComplete());
    QCOMPARE(unsized.pixelSize(96, 96), QSize(0, 0));
}

QTEST_MAIN(TestStreaming)
#include "tst_streaming.moc"
