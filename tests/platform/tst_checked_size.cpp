// Size products and sums of values a file states: formed where they fit, refused where
// they would not.
#include "platform/checked_size.h"

#include <QTest>

#include <limits>

using namespace platform;

namespace {

constexpr qint64 Max = std::numeric_limits<qint64>::max();
constexpr qint64 Min = std::numeric_limits<qint64>::min();
constexpr qint64 Huge = 0x7FFFFFFF;
// The stride of a 32-bit row 0x7FFFFFFF pixels wide.
constexpr qint64 HugeStride = (Huge * 32 + 31) / 32 * 4;

} // namespace

class TestCheckedSize : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mulAdd_data();
    void mulAdd();
};

void TestCheckedSize::mulAdd_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<qint64>("c");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<qint64>("expected"); // a * b + c where it fits

    QTest::newRow("small") << 12LL << 7LL << 5LL << true << 89LL;
    QTest::newRow("zero times the largest") << 0LL << Max << 0LL << true << 0LL;
    QTest::newRow("the largest exactly") << Max << 1LL << 0LL << true << Max;
    QTest::newRow("the largest plus one") << Max << 1LL << 1LL << false << 0LL;
    QTest::newRow("the product one over") << (Max / 2 + 1) << 2LL << 0LL << false << 0LL;
    QTest::newRow("negative and fits") << -3LL << 4LL << -1LL << true << -13LL;
    QTest::newRow("the smallest times -1") << Min << -1LL << 0LL << false << 0LL;
    QTest::newRow("stride of a 0x7FFFFFFF-pixel row times its rows")
        << HugeStride << (Huge - 1) << HugeStride << false << 0LL;
    QTest::newRow("stride of a 65535-pixel row times 65535 rows")
        << 65535LL * 4 << 65534LL << 65535LL * 4 << true << 65535LL * 4 * 65535;
}

void TestCheckedSize::mulAdd()
{
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(qint64, c);
    QFETCH(bool, fits);
    QFETCH(qint64, expected);
    const std::optional<qint64> result = checkedMulAdd(a, b, c);
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, expected);
}

QTEST_APPLESS_MAIN(TestCheckedSize)
#include "tst_checked_size.moc"
