// Pictures with an embedded ICC profile come out in sRGB, as LittleCMS converts them: JPEG
// APP2 profiles (in one segment or several), a V5 bitmap's embedded profile, an icon's PNG
// iCCP chunk; pictures without a profile keep their pixels.
#include "platform/picture_loader.h"
#include "platform/raster/colour_profile.h"
#include "platform/raster/jpeg.h"
#include "support/fixtures.h"
#include "support/raster_fixtures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <lcms2.h>

using namespace platform;

namespace {

// `image` converted from `icc` to sRGB by LittleCMS directly.
QImage convertedByLcms(const QImage& image, const QByteArray& icc)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    cmsHPROFILE source = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                         cmsFLAGS_COPY_ALPHA);
    for (int y = 0; y < out.height(); ++y)
        cmsDoTransform(t, out.scanLine(y), out.scanLine(y), cmsUInt32Number(out.width()));
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    return out;
}

// `jpeg` with `icc` in APP2 segments of at most `chunk` bytes right after SOI.
QByteArray withIccSegments(const QByteArray& jpeg, const QByteArray& icc, qsizetype chunk)
{
    const int count = int((icc.size() + chunk - 1) / chunk);
    QByteArray segments;
    for (int i = 0; i < count; ++i) {
        const QByteArray payload = QByteArray("ICC_PROFILE\0", 12) + char(i + 1) + char(count)
            + icc.mid(i * chunk, chunk);
        const int length = int(payload.size()) + 2;
        segments += QByteArray("\xFF\xE2", 2) + char(length >> 8) + char(length & 0xFF) + payload;
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

// A V5 bitmap file of `image` (24-bit, bottom-up, or 8-bit: its grey levels as indices into
// a table of strong colours) whose
// embedded profile `icc` follows the pixels; without it when `icc` is empty.
QByteArray v5Bitmap(const QImage& image, int bits, const QByteArray& icc)
{
    QList<QByteArray> rows;
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (bits == 8)
                row.append(char(qGray(c)));
            else
                row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
        rows.append(row);
    }
    testing::DibFixture dib;
    dib.headerSize = 124;
    dib.width = image.width();
    dib.height = image.height();
    dib.bitCount = bits;
    if (bits == 8) {
        for (int i = 0; i < 256; ++i)
            dib.palette.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
    }
    dib.bits = testing::dibRows(rows);
    QByteArray file = dib.file();
    if (icc.isEmpty())
        return file;
    auto put32 = [&file](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = char(v >> (8 * i));
    };
    put32(14 + 56, 0x4D424544); // PROFILE_EMBEDDED
    put32(14 + 112, quint32(file.size() - 14));
    put32(14 + 116, quint32(icc.size()));
    return file + icc;
}

QByteArray pngIcon(const QImage& image, const QByteArray& icc)
{
    QImage tagged = image.convertToFormat(QImage::Format_ARGB32);
    if (!icc.isEmpty())
        tagged.setColorSpace(QColorSpace::fromIccProfile(icc));
    testing::IconEntryFixture entry;
    entry.width = image.width();
    entry.height = image.height();
    entry.bitCount = 32;
    entry.data = testing::encodeWithQt(tagged, "png");
    return testing::iconFile({entry});
}

// Flat patches of strong colours (where P3 and sRGB differ most) and a ramp.
QImage colours(int width, int height)
{
    QImage image = testing::gradientImage(width, height);
    QPainter p(&image);
    const QColor patches[] = {QColor(250, 10, 10), QColor(10, 240, 20), QColor(20, 30, 250),
                              QColor(200, 200, 40), QColor(128, 128, 128)};
    for (int i = 0; i < 5; ++i)
        p.fillRect(16 * i, 0, 16, 16, patches[i]);
    return image;
}

} // namespace

class TestColourProfile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void convertedToSrgb_data();
    void convertedToSrgb();
    void closeToJpgicc();

private:
    QString write(const QString& name, const QByteArray& bytes)
    {
        return testing::writeFile(m_dir.path(), name, bytes);
    }
    QTemporaryDir m_dir;
    QByteArray m_p3;
};

void TestColourProfile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_p3 = raster::displayP3Icc();
    // LittleCMS reads it back as an RGB display profile.
    cmsHPROFILE profile = cmsOpenProfileFromMem(m_p3.constData(), cmsUInt32Number(m_p3.size()));
    QVERIFY(profile);
    QCOMPARE(cmsGetColorSpace(profile), cmsSigRgbData);
    QCOMPARE(cmsGetDeviceClass(profile), cmsSigDisplayClass);
    cmsCloseProfile(profile);
}

void TestColourProfile::convertedToSrgb_data()
{
    QTest::addColumn<QByteArray>("tagged");
    QTest::addColumn<QByteArray>("untagged"); // the same pixels without a profile
    QTest::addColumn<bool>("converts");
    const QByteArray p3 = raster::displayP3Icc();
    const QImage image = colours(96, 300);
    const QByteArray jpeg = testing::encodeWithQt(image, "jpeg", 92);
    QTest::newRow("JPEG, one segment") << withIccSegments(jpeg, p3, 65000) << jpeg << true;
    QTest::newRow("JPEG, three segments")
        << withIccSegments(jpeg, p3, p3.size() / 3 + 1) << jpeg << true;
    const QByteArray turned = testing::jpegWithOrientation(image, 6);
    QTest::newRow("JPEG turned") << withIccSegments(turned, p3, 100) << turned << true;
    QByteArray broken = p3;
    broken.replace(36, 4, "nope"); // the signature "acsp"
    QTest::newRow("JPEG, unreadable profile")
        << withIccSegments(jpeg, broken, 65000) << jpeg << false;
    QTest::newRow("JPEG without a profile") << jpeg << jpeg << false;
    QTest::newRow("V5 bitmap, 24-bit")
        << v5Bitmap(image, 24, p3) << v5Bitmap(image, 24, {}) << true;
    QTest::newRow("V5 bitmap, 8-bit") << v5Bitmap(image, 8, p3) << v5Bitmap(image, 8, {}) << true;
    QByteArray outside = v5Bitmap(image, 24, p3);
    outside.chop(10);
    QTest::newRow("V5 bitmap, profile cut short") << outside << v5Bitmap(image, 24, {}) << false;
    const QImage small = colours(96, 40);
    QTest::newRow("icon, PNG with iCCP") << pngIcon(small, p3) << pngIcon(small, {}) << true;
}

void TestColourProfile::convertedToSrgb()
{
    QFETCH(QByteArray, tagged);
    QFETCH(QByteArray, untagged);
    QFETCH(bool, converts);
    const QImage plain = LoadPicture(write(u"plain"_qs, untagged)).image();
    const QImage shown = LoadPicture(write(u"tagged"_qs, tagged)).image();
    if (!converts) {
        QCOMPARE(testing::pixelDifference(shown, plain), QString());
        return;
    }
    // Within two levels of LittleCMS's own transform of every pixel.
    const QImage expected = convertedByLcms(plain, m_p3);
    QCOMPARE(shown.size(), expected.size());
    const QImage a = shown.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    QPoint where;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = expected.pixel(x, y);
            const int d = qMax(qMax(qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q))),
                               qMax(qAbs(qBlue(p) - qBlue(q)), qAbs(qAlpha(p) - qAlpha(q))));
            if (d > worst) {
                worst = d;
                where = {x, y};
            }
        }
    }
    QVERIFY2(
        worst <= 2,
        qPrintable(
            QStringLiteral("%1 levels off at (%2, %3)").arg(worst).arg(where.x()).arg(where.y())));
    if (converts) // the conversion did something
        QVERIFY(testing::pixelDifference(shown, plain) != QString());
}

void TestColourProfile::closeToJpgicc()
{
    const QString jpgicc = QStandardPaths::findExecutable(u"jpgicc"_qs);
    if (jpgicc.isEmpty())
        QSKIP("jpgicc (liblcms2-utils) is not installed");
    const QImage image = colours(96, 48);
    const QString in = write(
        u"p3.jpg"_qs, withIccSegments(testing::encodeWithQt(image, "jpeg", 100), m_p3, 65000));
    const QString out = m_dir.filePath(u"srgb.jpg"_qs);
    QCOMPARE(QProcess::execute(jpgicc, {u"-q100"_qs, in, out}), 0);
    const QImage reference = QImage(out).convertToFormat(QImage::Format_RGB32);
    const QImage shown = LoadPicture(in).image();
    QCOMPARE(shown.size(), reference.size());
    // Inside the flat patches, away from the compression's edges.
    for (int i = 0; i < 5; ++i) {
        const QPoint at(16 * i + 8, 8);
        const QRgb a = shown.pixel(at);
        const QRgb b = reference.pixel(at);
        const int worst = qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                               qAbs(qBlue(a) - qBlue(b)));
        QVERIFY2(worst <= 2,
                 qPrintable(QStringLiteral("patch %1: #%2 against jpgicc's #%3")
                                .arg(i)
                                .arg(a, 8, 16, QLatin1Char('0'))
                                .arg(b, 8, 16, QLatin1Char('0'))));
    }
}

QTEST_MAIN(TestColourProfile)
#include "tst_colour_profile.moc"
