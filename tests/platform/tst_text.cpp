// The text, number, date and screen conversions: they write the caption and the print header.
#include "platform/command_line.h"
#include "platform/errors.h"
#include "platform/screen.h"
#include "platform/text.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace platform;

class TestText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void inStr_data();
    void inStr();
    void inStrRejectsStartBelowOne();
    void left_data();
    void left();
    void leftRejectsNegativeLength();
    void lTrim_data();
    void lTrim();
    void strSingle_data();
    void strSingle();
    void strDouble_data();
    void strDouble();
    void generalDate_data();
    void generalDate();
    void strOfNowUsesTheClock();
    void twipsPerPixel();
    void command_data();
    void command();
};

void TestText::inStr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("expected");
    QTest::newRow("switch after name")
        << u"a.bmp -print"_qs << u"-print"_qs << qsizetype(1) << qsizetype(7);
    QTest::newRow("first of two") << u"a -print -print"_qs << u"-print"_qs << qsizetype(1)
                                  << qsizetype(3);
    QTest::newRow("from a later start")
        << u"a -print -print"_qs << u"-print"_qs << qsizetype(4) << qsizetype(10);
    QTest::newRow("at the very start")
        << u"-print"_qs << u"-print"_qs << qsizetype(1) << qsizetype(1);
    QTest::newRow("inside a folder name")
        << u"/home/my-prints/a.bmp"_qs << u"-print"_qs << qsizetype(1) << qsizetype(9);
    QTest::newRow("capitals do not match")
        << u"a.bmp -PRINT"_qs << u"-print"_qs << qsizetype(1) << qsizetype(0);
    QTest::newRow("other prefix does not match")
        << u"a.bmp /print"_qs << u"-print"_qs << qsizetype(1) << qsizetype(0);
    QTest::newRow("full-width hyphen does not match")
        << u"a.bmp －print"_qs << u"-print"_qs << qsizetype(1) << qsizetype(0);
    QTest::newRow("absent") << u"a.bmp"_qs << u"-print"_qs << qsizetype(1) << qsizetype(0);
    QTest::newRow("empty text") << QString() << u"-print"_qs << qsizetype(1) << qsizetype(0);
    QTest::newRow("empty find gives start")
        << u"abc"_qs << QString() << qsizetype(2) << qsizetype(2);
    QTest::newRow("start past the end") << u"abc"_qs << u"c"_qs << qsizetype(4) << qsizetype(0);
    QTest::newRow("Japanese before the switch")
        << u"写真 -print"_qs << u"-print"_qs << qsizetype(1) << qsizetype(4);
}

void TestText::inStr()
{
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, expected);
    QCOMPARE(InStr(start, text, find), expected);
    if (start == 1)
        QCOMPARE(InStr(text, find), expected);
}

void TestText::inStrRejectsStartBelowOne()
{
    try {
        InStr(0, u"abc"_qs, u"a"_qs);
        QFAIL("InStr accepted a start of 0");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(InvalidProcedureCall));
    }
}

void TestText::left_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name before switch") << u"a.bmp -print"_qs << qsizetype(5) << u"a.bmp"_qs;
    QTest::newRow("keeps one of two blanks") << u"a.bmp  -print"_qs << qsizetype(6) << u"a.bmp "_qs;
    QTest::newRow("zero length") << u"a.bmp"_qs << qsizetype(0) << QString();
    QTest::newRow("longer than text") << u"ab"_qs << qsizetype(10) << u"ab"_qs;
    QTest::newRow("counts characters, not bytes") << u"画像.bmp"_qs << qsizetype(2) << u"画像"_qs;
}

void TestText::left()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, length);
    QFETCH(QString, expected);
    QCOMPARE(Left(text, length), expected);
}

void TestText::leftRejectsNegativeLength()
{
    try {
        Left(u"-print"_qs, -1);
        QFAIL("Left accepted a negative length");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(InvalidProcedureCall));
        QVERIFY(!e.description().isEmpty());
    }
}

void TestText::lTrim_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one blank") << u" 640"_qs << u"640"_qs;
    QTest::newRow("several blanks") << u"   a b "_qs << u"a b "_qs;
    QTest::newRow("tab stays") << u"\t640"_qs << u"\t640"_qs;
    QTest::newRow("ideographic space stays") << u"\u3000640"_qs << u"\u3000640"_qs;
    QTest::newRow("only blanks") << u"   "_qs << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestText::lTrim()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(LTrim(text), expected);
}

void TestText::strSingle_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("width") << 640.0f << u" 640"_qs;
    QTest::newRow("one") << 1.0f << u" 1"_qs;
    QTest::newRow("zero") << 0.0f << u" 0"_qs;
    QTest::newRow("negative zero") << -0.0f << u" 0"_qs;
    QTest::newRow("negative") << -1.5f << u"-1.5"_qs;
    QTest::newRow("fraction has no leading zero") << 0.5f << u" .5"_qs;
    QTest::newRow("negative fraction") << -0.25f << u"-.25"_qs;
    QTest::newRow("one tenth, single precision") << 0.1f << u" .1"_qs;
    QTest::newRow("a third: 7 digits") << 1.0f / 3.0f << u" .3333333"_qs;
    QTest::newRow("seven digits, no exponent") << 1234567.0f << u" 1234567"_qs;
    QTest::newRow("eight digits take an exponent") << 12345678.0f << u" 1.234568E+07"_qs;
    QTest::newRow("ten million") << 10000000.0f << u" 1E+07"_qs;
    QTest::newRow("widest picture") << 65535.0f << u" 65535"_qs;
    QTest::newRow("twips of a wide window") << 983025.0f << u" 983025"_qs;
    QTest::newRow("small, no exponent") << 0.0001f << u" .0001"_qs;
    QTest::newRow("smaller takes an exponent") << 0.00001f << u" 1E-05"_qs;
    QTest::newRow("decimal point is a dot") << 2.75f << u" 2.75"_qs;
}

void TestText::strSingle()
{
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(Str(value), expected);
}

void TestText::strDouble_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one tenth") << 0.1 << u" .1"_qs;
    QTest::newRow("fifteen digits") << 123456789012345.0 << u" 123456789012345"_qs;
    QTest::newRow("sixteen digits take an exponent")
        << 1234567890123456.0 << u" 1.23456789012346E+15"_qs;
    QTest::newRow("negative") << -42.0 << u"-42"_qs;
}

void TestText::strDouble()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(Str(value), expected);
}

void TestText::generalDate_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QString>("expected");
    const QDate day(2026, 12, 6);
    QTest::newRow("Japanese") << u"ja_JP"_qs << QDateTime(day, QTime(7, 36, 7))
                              << u"2026/12/06 7:36:07"_qs;
    QTest::newRow("Japanese afternoon")
        << u"ja_JP"_qs << QDateTime(day, QTime(19, 5, 0)) << u"2026/12/06 19:05:00"_qs;
    QTest::newRow("Japanese midnight: date alone")
        << u"ja_JP"_qs << QDateTime(day, QTime(0, 0, 0)) << u"2026/12/06"_qs;
    QTest::newRow("one second after midnight")
        << u"ja_JP"_qs << QDateTime(day, QTime(0, 0, 1)) << u"2026/12/06 0:00:01"_qs;
    QTest::newRow("milliseconds are not shown")
        << u"ja_JP"_qs << QDateTime(day, QTime(7, 36, 7, 999)) << u"2026/12/06 7:36:07"_qs;
    QTest::newRow("US English") << u"en_US"_qs << QDateTime(day, QTime(7, 36, 7))
                                << u"12/6/26 7:36:07 AM"_qs;
    QTest::newRow("German") << u"de_DE"_qs << QDateTime(day, QTime(7, 36, 7))
                            << u"06.12.26 07:36:07"_qs;
}

void TestText::generalDate()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, value);
    QFETCH(QString, expected);
    QCOMPARE(generalDateText(value, QLocale(locale)), expected);
}

void TestText::strOfNowUsesTheClock()
{
    const QDateTime frozen(QDate(2026, 12, 6), QTime(7, 36, 7));
    const Clock previous = setClock([frozen] { return frozen; });
    QCOMPARE(Now(), frozen);
    QCOMPARE(Str(Now()), generalDateText(frozen, QLocale::system()));
    QVERIFY(!Str(Now()).startsWith(u' '));
    setClock(previous);
    QVERIFY(qAbs(Now().secsTo(QDateTime::currentDateTime())) < 5);
}

void TestText::twipsPerPixel()
{
    QCOMPARE(twipsPerPixelAt(96), 15.0);
    QCOMPARE(twipsPerPixelAt(120), 12.0);
    QCOMPARE(twipsPerPixelAt(144), 10.0);
    // Without an application object there is no screen: the 96 dpi default.
    QCOMPARE(TwipsPerPixelX(), 15.0f);
    QCOMPARE(TwipsPerPixelY(), 15.0f);
}

void TestText::command_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("one") << QStringList{u"a.bmp"_qs} << u"a.bmp"_qs;
    QTest::newRow("name with a blank, quoted by the shell")
        << QStringList{u"my pics/a.bmp"_qs} << u"my pics/a.bmp"_qs;
    QTest::newRow("name and switch")
        << QStringList{u"a.bmp"_qs, u"-print"_qs} << u"a.bmp -print"_qs;
    QTest::newRow("empty argument keeps its blank")
        << QStringList{u"a.bmp"_qs, QString(), u"-print"_qs} << u"a.bmp  -print"_qs;
}

void TestText::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    setArguments(arguments);
    QCOMPARE(Command(), expected);
    setArguments({});
}

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
