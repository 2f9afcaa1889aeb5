// The memory budget that replaces Qt's 128 MB cap: what fits, what is refused, and why.
#include "platform/errors.h"
#include "platform/raster/pixel_budget.h"

#include "support/raster_fixtures.h"

#include <QTest>

using namespace platform;
using namespace platform::raster;

class TestPixelBudget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkPictureSize_data();
    void checkPictureSize();
};

void TestPixelBudget::checkPictureSize_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("sourceBytes");
    QTest::addColumn<int>("copies");
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("error"); // 0: accepted

    constexpr qint64 MiB = qint64(1) << 20;
    constexpr qint64 Plenty = qint64(1) << 40;
    QTest::newRow("fits") << qint64(100) << qint64(100) << qint64(1000) << 1 << MiB << 0;
    QTest::newRow("exactly the budget")
        << qint64(512) << qint64(512) << qint64(1000) << 1 << MiB << 0;
    QTest::newRow("one row over") << qint64(512) << qint64(513) << qint64(1000) << 1 << MiB
                                  << int(OutOfMemory);
    QTest::newRow("one copy of two fits")
        << qint64(512) << qint64(300) << qint64(1000) << 1 << MiB << 0;
    QTest::newRow("two copies do not")
        << qint64(512) << qint64(300) << qint64(1000) << 2 << MiB << int(OutOfMemory);
    QTest::newRow("40 megapixels over Qt's cap")
        << qint64(8000) << qint64(5000) << qint64(10 * MiB) << 1 << (qint64(4) << 30) << 0;
    QTest::newRow("zero width") << qint64(0) << qint64(10) << qint64(1000) << 1 << MiB
                                << int(InvalidPicture);
    QTest::newRow("negative height")
        << qint64(10) << qint64(-1) << qint64(1000) << 1 << MiB << int(InvalidPicture);
    QTest::newRow("wider than an image line can be")
        << qint64(70'000'000) << qint64(1) << Plenty << 1 << Plenty << int(InvalidPicture);
    QTest::newRow("taller than an image can be")
        << qint64(1) << qint64(3'000'000'000) << Plenty << 1 << Plenty << int(InvalidPicture);
    QTest::newRow("1.6 GB from a thousand bytes")
        << qint64(20000) << qint64(20000) << qint64(1000) << 1 << Plenty << int(InvalidPicture);
    QTest::newRow("1.6 GB from a megabyte")
        << qint64(20000) << qint64(20000) << MiB << 1 << Plenty << 0;
    QTest::newRow("256 MB from ten bytes is not yet suspect")
        << qint64(8000) << qint64(8000) << qint64(10) << 1 << Plenty << 0;
}

void TestPixelBudget::checkPictureSize()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, sourceBytes);
    QFETCH(int, copies);
    QFETCH(qint64, budget);
    QFETCH(int, error);

    const testing::PixelBudgetOverride override(budget);
    QCOMPARE(pixelBudget(), budget);
    QCOMPARE(testing::raisedError(
                 [&] { platform::raster::checkPictureSize(width, height, sourceBytes, copies); }),
             error);
}

QTEST_APPLESS_MAIN(TestPixelBudget)
#include "tst_pixel_budget.moc"
