// The cost budget of one picture: work and memory allowed from the file's and the picture's
// size, and what happens when they are spent.
#include "platform/cost_budget.h"

#include <QTest>

#include <limits>

using platform::CostBudget;

class TestCostBudget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workAllowed_data();
    void workAllowed();
    void spentStaysSpent();
    void pictureIsAllowedOnce();
    void memoryIsHeldAndReleased();
    void hugeSizesDoNotOverflow();
    void workingMemoryFollowsTheFileSize_data();
    void workingMemoryFollowsTheFileSize();
};

void TestCostBudget::workAllowed_data()
{
    QTest::addColumn<qint64>("fileBytes");
    QTest::addColumn<qint64>("pixels"); // -1: not known yet
    QTest::addColumn<qint64>("expected");
    QTest::newRow("an empty file") << qint64(0) << qint64(-1) << qint64(64) * 1024 * 1024;
    QTest::newRow("a kilobyte") << qint64(1024) << qint64(-1)
                                << qint64(64) * 1024 * 1024 + 256 * 1024;
    QTest::newRow("a megabyte of a 1024 x 768 picture")
        << qint64(1 << 20) << qint64(1024 * 768)
        << (qint64(64) << 20) + (qint64(256) << 20) + 64 * 1024 * 768;
    QTest::newRow("a negative size counts as none")
        << qint64(-5) << qint64(-7) << qint64(64) * 1024 * 1024;
}

void TestCostBudget::workAllowed()
{
    QFETCH(qint64, fileBytes);
    QFETCH(qint64, pixels);
    QFETCH(qint64, expected);
    CostBudget budget(fileBytes);
    if (pixels >= 0)
        budget.allowPicture(pixels);
    QCOMPARE(budget.workLeft(), expected);
    QVERIFY(budget.charge(expected));
    QVERIFY(!budget.charge(1));
}

void TestCostBudget::spentStaysSpent()
{
    CostBudget budget(0);
    QVERIFY(budget.charge(1000));
    QVERIFY(!budget.charge(budget.workLeft() + 1));
    QVERIFY(budget.spent());
    QVERIFY(!budget.charge(0)); // nothing more once spent
    QCOMPARE(budget.workDone(), qint64(1000));
}

void TestCostBudget::pictureIsAllowedOnce()
{
    CostBudget budget(0);
    budget.allowPicture(1000);
    const qint64 once = budget.workLeft();
    budget.allowPicture(1000000);
    QCOMPARE(budget.workLeft(), once);
    QCOMPARE(budget.memoryAllowed(), qint64(256 << 20) + 4000);
}

void TestCostBudget::memoryIsHeldAndReleased()
{
    CostBudget budget(0);
    QVERIFY(budget.hold(200 << 20));
    QVERIFY(!budget.hold(100 << 20)); // past 256 MB: refused, nothing held
    QCOMPARE(budget.memoryHeld(), qint64(200 << 20));
    budget.release(150 << 20);
    QVERIFY(budget.hold(100 << 20));
    QVERIFY(!budget.hold(-1));
    budget.release(qint64(1) << 40); // more than held: nothing is held
    QCOMPARE(budget.memoryHeld(), qint64(0));
}

void TestCostBudget::hugeSizesDoNotOverflow()
{
    CostBudget budget(std::numeric_limits<qint64>::max());
    budget.allowPicture(std::numeric_limits<qint64>::max());
    QVERIFY(budget.workLeft() > 0);
    QVERIFY(budget.memoryAllowed() > 0);
    QVERIFY(!budget.charge(std::numeric_limits<qint64>::max()));
}

void TestCostBudget::workingMemoryFollowsTheFileSize_data()
{
    QTest::addColumn<qint64>("fileBytes");
    QTest::addColumn<QList<qint64>>("asked"); // working memory asked for, call by call
    QTest::addColumn<qint64>("granted");      // memory allowed beyond the floor afterwards
    const qint64 mb = 1 << 20;
    // A 23 MB progressive photo of 108 MP needs 324 MB of coefficients: all granted.
    QTest::newRow("a large photo") << 23 * mb << QList<qint64>{324 * mb} << 324 * mb;
    // 328 KB claiming 16384 x 16384: at most 32 bytes per byte of file.
    QTest::newRow("a small file claiming much")
        << qint64(328 * 1024) << QList<qint64>{1536 * mb} << qint64(32 * 328 * 1024);
    QTest::newRow("in sum over calls") << mb << QList<qint64>{20 * mb, 20 * mb} << 32 * mb;
    QTest::newRow("negative asks nothing") << mb << QList<qint64>{-5} << qint64(0);
}

void TestCostBudget::workingMemoryFollowsTheFileSize()
{
    QFETCH(qint64, fileBytes);
    QFETCH(QList<qint64>, asked);
    QFETCH(qint64, granted);
    CostBudget budget(fileBytes);
    for (const qint64 bytes : asked)
        budget.allowWorkingMemory(bytes);
    QCOMPARE(budget.memoryAllowed() - CostBudget::MemoryFloor, granted);
}

QTEST_APPLESS_MAIN(TestCostBudget)
#include "tst_cost_budget.moc"
