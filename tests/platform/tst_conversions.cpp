// The numeric conversions: rounding to 16-bit integers, single precision, twips to pixels.
#include "platform/conversions.h"
#include "platform/errors.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace platform;

class TestConversions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cInt_data();
    void cInt();
    void cSngOverflow_data();
    void cSngOverflow();
    void pixelsFromTwips_data();
    void pixelsFromTwips();
    void pixelPositionFromTwips_data();
    void pixelPositionFromTwips();
};

void TestConversions::cInt_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected"); // -1000000: raises Overflow
    const int overflow = -1000000;
    QTest::newRow("half to even, down") << 2.5 << 2;
    QTest::newRow("half to even, up") << 3.5 << 4;
    QTest::newRow("negative half to even") << -2.5 << -2;
    QTest::newRow("below half") << 1.4999 << 1;
    QTest::newRow("above half") << 1.5001 << 2;
    QTest::newRow("largest") << 32767.4 << 32767;
    QTest::newRow("rounds past the largest") << 32767.5 << overflow;
    QTest::newRow("smallest, half to even") << -32768.5 << -32768;
    QTest::newRow("below the smallest") << -32769.0 << overflow;
    QTest::newRow("not a number") << std::nan("") << overflow;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << overflow;
}

void TestConversions::cInt()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    try {
        const qint16 result = CInt(value);
        QVERIFY2(expected != -1000000, "no overflow raised");
        QCOMPARE(int(result), expected);
    } catch (const Error& e) {
        QCOMPARE(expected, -1000000);
        QCOMPARE(e.number(), int(Overflow));
    }
}

void TestConversions::cSngOverflow_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("overflows");
    QTest::newRow("ordinary") << 9600.0 << false;
    QTest::newRow("largest single") << 3.4028234e38 << false;
    QTest::newRow("beyond single") << 3.5e38 << true;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << true;
    QTest::newRow("not a number") << std::nan("") << true;
}

void TestConversions::cSngOverflow()
{
    QFETCH(double, value);
    QFETCH(bool, overflows);
    bool raised = false;
    try {
        CSng(value);
    } catch (const Error& e) {
        raised = e.number() == Overflow;
    }
    QCOMPARE(raised, overflows);
}

void TestConversions::pixelsFromTwips_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<float>("twipsPerPixel");
    QTest::addColumn<int>("expected"); // -1: raises Overflow
    QTest::newRow("viewer design width") << 900.0f << 15.0f << 60;
    QTest::newRow("viewer design height") << 675.0f << 15.0f << 45;
    QTest::newRow("picture control") << 135.0f << 15.0f << 9;
    QTest::newRow("one pixel") << 15.0f << 15.0f << 1;
    QTest::newRow("frame client width") << 4680.0f << 15.0f << 312;
    QTest::newRow("frame client height") << 3195.0f << 15.0f << 213;
    QTest::newRow("120 dpi") << 3195.0f << 12.0f << 266;
    QTest::newRow("too wide for a window") << 3.0e9f << 15.0f << -1;
    QTest::newRow("negative") << -30.0f << 15.0f << -1;
}

void TestConversions::pixelsFromTwips()
{
    QFETCH(float, twips);
    QFETCH(float, twipsPerPixel);
    QFETCH(int, expected);
    try {
        QCOMPARE(platform::pixelsFromTwips(twips, twipsPerPixel), expected);
    } catch (const Error& e) {
        QCOMPARE(expected, -1);
        QCOMPARE(e.number(), int(Overflow));
    }
}

void TestConversions::pixelPositionFromTwips_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<float>("twipsPerPixel");
    QTest::addColumn<int>("expected"); // 1000000000: raises Overflow
    const int overflow = 1000000000;
    QTest::newRow("About window's design left") << 2790.0f << 15.0f << 186;
    QTest::newRow("About window's design top") << 2385.0f << 15.0f << 159;
    QTest::newRow("left of the screen") << -300.0f << 15.0f << -20;
    QTest::newRow("half a pixel goes to the even one") << 22.5f << 15.0f << 2;
    QTest::newRow("far left of any window") << -3.0e9f << 15.0f << overflow;
    QTest::newRow("far right of any window") << 3.0e9f << 15.0f << overflow;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 15.0f << overflow;
}

void TestConversions::pixelPositionFromTwips()
{
    QFETCH(float, twips);
    QFETCH(float, twipsPerPixel);
    QFETCH(int, expected);
    try {
        QCOMPARE(platform::pixelPositionFromTwips(twips, twipsPerPixel), expected);
    } catch (const Error& e) {
        QCOMPARE(expected, 1000000000);
        QCOMPARE(e.number(), int(Overflow));
    }
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
