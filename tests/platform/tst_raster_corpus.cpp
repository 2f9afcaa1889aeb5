// The loader over real raster files written by others (../shared/corpus/raster): every good
// file opens at its size with its pixels (tests/data/raster_corpus.tsv); questionable and
// bad files give the error or a picture, never a crash, a hang or pixels left unset.
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "support/fixtures.h"
#include "support/raster_fixtures.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace platform;

namespace {

struct Reference {
    QSize size;
    QString pixels;
};

// Spot pixels checked by hand against the files' bytes: the stored 16-bit value, each
// channel scaled to 0..255 with rounding.
struct Spot {
    const char* file;
    int x;
    int y;
    QRgb colour;
};

const Spot HandChecked[] = {
    {"bmp/good/bmpsuite__rgb16bfdef.bmp", 0, 0, qRgb(255, 0, 0)},         // 0x7C00
    {"bmp/good/bmpsuite__rgb16bfdef.bmp", 20, 10, qRgb(214, 165, 165)},   // 0x6A94: 26 20 20
    {"bmp/good/bmpsuite__rgb16bfdef.bmp", 60, 32, qRgb(230, 123, 230)},   // 0x71FC: 28 15 28
    {"bmp/good/bmpsuite__rgb16bfdef.bmp", 126, 63, qRgb(99, 99, 123)},    // 0x318F: 12 12 15
    {"bmp/good/image-rs__V4_R5_G6_B5.bmp", 0, 0, qRgb(0, 0, 0)},          // 0x0000
    {"bmp/good/image-rs__V4_R5_G6_B5.bmp", 3, 5, qRgb(41, 77, 58)},       // 0x2A67: 5 19 7
    {"bmp/good/image-rs__V4_R5_G6_B5.bmp", 8, 8, qRgb(123, 125, 123)},    // 0x7BEF: 15 31 15
    {"bmp/good/image-rs__V4_R5_G6_B5.bmp", 15, 15, qRgb(239, 239, 239)},  // 0xEF7D: 29 59 29
    {"bmp/good/image-rs__V5_A1_R5_G5_B5.bmp", 0, 0, qRgb(0, 0, 0)},       // 0x8000
    {"bmp/good/image-rs__V5_A1_R5_G5_B5.bmp", 3, 5, qRgb(41, 74, 58)},    // 0x9527: 1 5 9 7
    {"bmp/good/image-rs__V5_A1_R5_G5_B5.bmp", 8, 8, qRgb(123, 123, 123)}, // 0xBDEF: 1 15 15 15
    {"bmp/good/image-rs__V5_A1_R5_G5_B5.bmp", 1, 0, 0},                   // 0x0400: alpha 0
    {"bmp/good/image-rs__rgba16-1924.bmp", 0, 0, qRgb(255, 0, 0)},        // 0xF800: 15 1 0 0
    {"bmp/good/image-rs__rgba16-1924.bmp", 20, 10, qRgb(255, 165, 170)},  // 0xFD4A: 15 1 330 2
    {"bmp/good/image-rs__rgba16-1924.bmp", 60, 32, qRgb(255, 126, 255)},  // 0xFEFC: 15 1 252 3
    {"bmp/good/image-rs__rgba16-1924.bmp", 126, 63, qRgb(0, 96, 85)},     // 0xF2C0: 15 0 192 1
    {"bmp/good/image-rs__rgba16-1924.bmp", 27, 21, 0},                    // 0x01FF: alpha 0
    // Three RLE8 runs of palette entries 2, 3, 4 (red, green, blue) over 21333, 21333, 21334.
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 0, 0, qRgb(255, 0, 0)},
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 21332, 0, qRgb(255, 0, 0)},
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 21333, 0, qRgb(0, 255, 0)},
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 42665, 0, qRgb(0, 255, 0)},
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 42666, 0, qRgb(0, 0, 255)},
    {"bmp/good/bmptestsuite__rle8-64000x1.bmp", 63999, 0, qRgb(0, 0, 255)},
};

const char* const RasterFormats[] = {"bmp", "gif", "ico", "jpeg"};

// The table of expected pictures, by path below raster/.
const QHash<QString, Reference>& references()
{
    static const QHash<QString, Reference> table = [] {
        QHash<QString, Reference> out;
        QFile file(QFINDTESTDATA("../data/raster_corpus.tsv"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return out;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const QStringList fields = line.split(u'\t');
            if (line.startsWith(u'#') || fields.size() != 4)
                continue;
            out.insert(fields[0], {QSize(fields[1].toInt(), fields[2].toInt()), fields[3]});
        }
        return out;
    }();
    return table;
}

// The picture as RGBA8888 rows with fully transparent pixels as 0: what the table hashes.
QByteArray canonicalPixels(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray out;
    out.reserve(qsizetype(rgba.width()) * rgba.height() * 4);
    for (int y = 0; y < rgba.height(); ++y) {
        const QByteArrayView line(rgba.constScanLine(y), qsizetype(rgba.width()) * 4);
        for (qsizetype i = 0; i < line.size(); i += 4)
            out.append(line[i + 3] == 0 ? QByteArrayView("\0\0\0\0", 4) : line.sliced(i, 4));
    }
    return out;
}

QImage load(const QString& relative)
{
    return LoadPicture(testing::corpusDir() + u"/raster/" + relative).image();
}

void addCorpusRows(const QStringList& classes)
{
    QTest::addColumn<QString>("file"); // below raster/; empty when there is no corpus
    if (testing::corpusDir().isEmpty()) {
        QTest::newRow("no corpus") << QString();
        return;
    }
    for (const char* format : RasterFormats) {
        for (const QString& cls : classes) {
            const QString folder = QLatin1String(format) + u'/' + cls;
            for (const QString& path : testing::corpusFiles(u"raster/" + folder)) {
                const QString relative = folder + u'/' + path.section(u'/', -1);
                QTest::newRow(qPrintable(relative)) << relative;
            }
        }
    }
}

void skipWithoutCorpus(const QString& file)
{
    if (file.isEmpty())
        QSKIP("no corpus: ../shared/corpus beside the project is absent (PAVEX_CORPUS_DIR)");
}

} // namespace

class TestRasterCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void goodFileOpensAsItsSuiteSays_data();
    void goodFileOpensAsItsSuiteSays();
    void otherFileOpensOrIsRefused_data();
    void otherFileOpensOrIsRefused();
};

void TestRasterCorpus::initTestCase()
{
    QVERIFY2(!references().isEmpty(), "tests/data/raster_corpus.tsv is missing or empty");
}

void TestRasterCorpus::goodFileOpensAsItsSuiteSays_data()
{
    addCorpusRows({QStringLiteral("good")});
}

void TestRasterCorpus::goodFileOpensAsItsSuiteSays()
{
    QFETCH(QString, file);
    skipWithoutCorpus(file);
    const auto found = references().constFind(file);
    QVERIFY2(found != references().cend(), "no row for the file in tests/data/raster_corpus.tsv");
    const Reference& expected = *found;

    QImage image;
    QString error;
    try {
        image = load(file);
    } catch (const Error& e) {
        error = e.description();
    }
    QEXPECT_FAIL("jpeg/good/serenity__12-bit-progressive.jpg",
                 "12-bit JPEG: Debian's libjpeg-turbo 2.1, behind Qt, reads 8-bit samples only",
                 Abort);
    QVERIFY2(error.isEmpty(), qPrintable(u"refused: " + error));
    QCOMPARE(image.size(), expected.size);

    const QString& pixels = expected.pixels;
    if (pixels.startsWith(u"sha1:")) {
        const QByteArray hash =
            QCryptographicHash::hash(canonicalPixels(image), QCryptographicHash::Sha1).toHex();
        QCOMPARE(QString::fromLatin1(hash), pixels.mid(5));
    } else if (pixels.startsWith(u"same:")) {
        const QString difference = testing::pixelDifference(image, load(pixels.mid(5)));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    } else if (pixels.startsWith(u"skipped:")) {
        const QImage like = load(pixels.section(u':', 2)).convertToFormat(QImage::Format_ARGB32);
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        int transparent = 0;
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                if (qAlpha(argb.pixel(x, y)) == 0)
                    ++transparent;
                else if (argb.pixel(x, y) != like.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) differs").arg(x).arg(y)));
            }
        }
        QCOMPARE(transparent, pixels.section(u':', 1, 1).toInt());
    } else if (pixels == u"hand") {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        int spots = 0;
        for (const Spot& spot : HandChecked) {
            if (file != QLatin1String(spot.file))
                continue;
            ++spots;
            const QRgb actual = argb.pixel(spot.x, spot.y);
            QCOMPARE(qAlpha(actual) == 0 ? QRgb(0) : actual, spot.colour);
        }
        QVERIFY2(spots > 0, "no hand-checked pixels for the file");
    }
}

void TestRasterCorpus::otherFileOpensOrIsRefused_data()
{
    addCorpusRows({QStringLiteral("q"), QStringLiteral("bad")});
}

void TestRasterCorpus::otherFileOpensOrIsRefused()
{
    QFETCH(QString, file);
    skipWithoutCorpus(file);
    QImage first;
    try {
        first = load(file);
    } catch (const Error&) {
        return; // refused: fine
    }
    QVERIFY(!first.isNull());

    // Pixels that the decoder never sets would show whatever the allocator hands back: fill
    // memory of the picture's size with a pattern, free it, and decode again into it.
    const size_t bytes = size_t(first.sizeInBytes());
    {
        const std::unique_ptr<void, decltype(&std::free)> scribble(std::malloc(bytes), &std::free);
        QVERIFY(scribble);
        std::memset(scribble.get(), 0xA5, bytes);
    }
    const QImage second = load(file);
    const QString difference = testing::pixelDifference(second, first);
    QVERIFY2(difference.isEmpty(), qPrintable(u"a second decoding differs: " + difference));
}

QTEST_APPLESS_MAIN(TestRasterCorpus)
#include "tst_raster_corpus.moc"
