// The bounds-checked reader that every parser of untrusted bytes goes through.
#include "platform/byte_reader.h"

#include <QTest>

using platform::ByteReader;

class TestByteReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void littleAndBigEndian();
    void shortReadYieldsZeroAndLatches();
    void outOfBounds_data();
    void outOfBounds();
    void takeCannotReadItsNeighbour();
};

void TestByteReader::littleAndBigEndian()
{
    ByteReader r(QByteArrayView("\x01\x02\x03\x04\x05\x06\xFF\xFE\xFF\xFF\xFF\xFF", 12));
    QCOMPARE(r.u16(), quint16(0x0201));
    QCOMPARE(r.u16be(), quint16(0x0304));
    QCOMPARE(r.u8(), quint8(5));
    QCOMPARE(r.i8(), qint8(6));
    QCOMPARE(r.i16(), qint16(-257));
    QCOMPARE(r.i32(), qint32(-1));
    QVERIFY(r.atEnd());
    QVERIFY(!r.failed());
}

void TestByteReader::shortReadYieldsZeroAndLatches()
{
    ByteReader r(QByteArrayView("\x01\x02\x03", 3));
    QCOMPARE(r.u32(), quint32(0));
    QVERIFY(r.failed());
    QCOMPARE(r.position(), qint64(0)); // nothing was consumed
    // The failure stays: even a read that would fit now yields 0 and reads nothing.
    QCOMPARE(r.u8(), quint8(0));
    QCOMPARE(r.remaining(), qint64(0));
    QVERIFY(r.failed());
}

void TestByteReader::outOfBounds_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<qint64>("argument");
    QTest::addColumn<bool>("fails");
    // Over 4 bytes, after reading 1.
    QTest::newRow("skip to the end") << 0 << qint64(3) << false;
    QTest::newRow("skip past the end") << 0 << qint64(4) << true;
    QTest::newRow("skip backwards") << 0 << qint64(-1) << true;
    QTest::newRow("bytes to the end") << 1 << qint64(3) << false;
    QTest::newRow("bytes past the end") << 1 << qint64(4) << true;
    QTest::newRow("bytes of a negative size") << 1 << qint64(-1) << true;
    QTest::newRow("seek to the end") << 2 << qint64(4) << false;
    QTest::newRow("seek past the end") << 2 << qint64(5) << true;
    QTest::newRow("seek before the start") << 2 << qint64(-1) << true;
    QTest::newRow("take past the end") << 3 << qint64(4) << true;
    QTest::newRow("take a huge size") << 3 << std::numeric_limits<qint64>::max() << true;
}

void TestByteReader::outOfBounds()
{
    QFETCH(int, operation);
    QFETCH(qint64, argument);
    QFETCH(bool, fails);
    ByteReader r(QByteArrayView("\x01\x02\x03\x04", 4));
    r.u8();
    switch (operation) {
    case 0:
        r.skip(argument);
        break;
    case 1:
        QCOMPARE(r.bytes(argument).size(), fails ? 0 : argument);
        break;
    case 2:
        r.seek(argument);
        break;
    default:
        QCOMPARE(r.take(argument).failed(), fails);
        break;
    }
    QCOMPARE(r.failed(), fails);
    if (fails)
        QCOMPARE(r.position(), qint64(1)); // a refused move leaves the position alone
}

void TestByteReader::takeCannotReadItsNeighbour()
{
    ByteReader r(QByteArrayView("\x01\x02\x03\x04\x05", 5));
    ByteReader record = r.take(2);
    QCOMPARE(record.u16(), quint16(0x0201));
    QCOMPARE(record.u8(), quint8(0));
    QVERIFY(record.failed());
    QVERIFY(!r.failed());
    QCOMPARE(r.u8(), quint8(3));
}

QTEST_APPLESS_MAIN(TestByteReader)
#include "tst_byte_reader.moc"
