// The memory budget that replaces Qt's 128 MB cap: what fits, what is refused, and why.
#include "platform/cost_budget.h"
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
    void admitPicture_data();
    void admitPicture();
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

void TestPixelBudget::admitPicture_data()
{
    QTest::addColumn<qint64>("earlierPixels"); // admitted before, 0 for none
    QTest::addColumn<qint64>("spentBefore");   // nonzero: all the work was spent before
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("error");
    QTest::addColumn<qint64>("held");
    QTest::addColumn<qint64>("work");

    constexpr qint64 Side = 8192;
    constexpr qint64 Pixels = Side * Side;
    QTest::newRow("a picture fits what its own size allows")
        << 0LL << 0LL << Side << Side << 1 << 0 << 4 * Pixels << Pixels;
    QTest::newRow("a second copy is charged, not held")
        << 0LL << 0LL << Side << Side << 2 << 0 << 4 * Pixels << 2 * Pixels;
    QTest::newRow("the work spent already") << 0LL << CostBudget::WorkFloor << 16LL << 16LL << 1
                                            << int(InvalidPicture) << 4LL * 256 << 0LL;
    QTest::newRow("a later picture fits the memory left")
        << 16LL << 0LL << Side << Side << 1 << 0 << 4 * (Pixels + 16) << Pixels + 16;
    QTest::newRow("a later picture does not grow the budget")
        << 16LL << 0LL << Side << Side + 1 << 1 << int(OutOfMemory) << 4LL * 16 << 16LL;
}

void TestPixelBudget::admitPicture()
{
    QFETCH(qint64, earlierPixels);
    QFETCH(qint64, spentBefore);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(int, copies);
    QFETCH(int, error);
    QFETCH(qint64, held);
    QFETCH(qint64, work);

    const testing::PixelBudgetOverride override(qint64(1) << 40);
    CostBudget budget(1024);
    if (earlierPixels)
        platform::raster::admitPicture(budget, earlierPixels, 1, 1024);
    const qint64 spendable = budget.workLeft();
    if (spentBefore)
        QVERIFY(!budget.charge(spendable + 1));
    QCOMPARE(testing::raisedError([&] {
                 platform::raster::admitPicture(budget, width, height, qint64(1) << 30, copies);
             }),
             error);
    QCOMPARE(budget.memoryHeld(), held);
    if (!spentBefore)
        QCOMPARE(budget.workDone(), work);
}

QTEST_APPLESS_MAIN(TestPixelBudget)
#include "tst_pixel_budget.moc"
