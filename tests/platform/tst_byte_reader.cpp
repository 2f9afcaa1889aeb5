// The bounds-checked reader that every parser of untrusted bytes goes through.
#include "platform/byte_reader.h"

#include <QTest>

#include <limits>

using platform::ByteReader;

namespace {

// One read of `ByteReader` by its name, its value as the type the reader returns.
QVariant readOne(ByteReader& r, const QString& read)
{
    if (read == u"u8")
        return QVariant::fromValue(r.u8());
    if (read == u"i8")
        return QVariant::fromValue(r.i8());
    if (read == u"u16")
        return QVariant::fromValue(r.u16());
    if (read == u"i16")
        return QVariant::fromValue(r.i16());
    if (read == u"u16be")
        return QVariant::fromValue(r.u16be());
    if (read == u"u32")
        return QVariant::fromValue(r.u32());
    if (read == u"i32")
        return QVariant::fromValue(r.i32());
    if (read == u"u32be")
        return QVariant::fromValue(r.u32be());
    if (read == u"u64")
        return QVariant::fromValue(r.u64());
    if (read == u"f32")
        return QVariant::fromValue(r.f32());
    return {};
}

} // namespace

class TestByteReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reads_data();
    void reads();
    void shortReadYieldsZero_data();
    void shortReadYieldsZero();
    void readsFollowEachOther();
    void failureIsSticky();
    void outOfBounds_data();
    void outOfBounds();
    void takeCannotReadItsNeighbour();
    void atRejectsRangesOutside_data();
    void atRejectsRangesOutside();
};

void TestByteReader::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("u8") << QByteArray::fromHex("05") << u"u8"_qs << QVariant::fromValue(quint8(5));
    QTest::newRow("u8 high bit") << QByteArray::fromHex("fe") << u"u8"_qs
                                 << QVariant::fromValue(quint8(254));
    QTest::newRow("i8") << QByteArray::fromHex("06") << u"i8"_qs << QVariant::fromValue(qint8(6));
    QTest::newRow("i8 negative") << QByteArray::fromHex("ff") << u"i8"_qs
                                 << QVariant::fromValue(qint8(-1));
    QTest::newRow("u16 little-endian")
        << QByteArray::fromHex("0102") << u"u16"_qs << QVariant::fromValue(quint16(0x0201));
    QTest::newRow("i16 negative") << QByteArray::fromHex("fffe") << u"i16"_qs
                                  << QVariant::fromValue(qint16(-257));
    QTest::newRow("u16 big-endian")
        << QByteArray::fromHex("0304") << u"u16be"_qs << QVariant::fromValue(quint16(0x0304));
    QTest::newRow("u32 little-endian")
        << QByteArray::fromHex("78563412") << u"u32"_qs << QVariant::fromValue(quint32(0x12345678));
    QTest::newRow("i32 minus one")
        << QByteArray::fromHex("ffffffff") << u"i32"_qs << QVariant::fromValue(qint32(-1));
    QTest::newRow("i32 most negative") << QByteArray::fromHex("00000080") << u"i32"_qs
                                       << QVariant::fromValue(qint32(-2147483647 - 1));
    QTest::newRow("u32 big-endian") << QByteArray::fromHex("12345678") << u"u32be"_qs
                                    << QVariant::fromValue(quint32(0x12345678));
    QTest::newRow("u64 little-endian") << QByteArray::fromHex("0102030405060708") << u"u64"_qs
                                       << QVariant::fromValue(quint64(0x0807060504030201));
    QTest::newRow("f32 one") << QByteArray::fromHex("0000803f") << u"f32"_qs
                             << QVariant::fromValue(1.0f);
    QTest::newRow("f32 minus a half")
        << QByteArray::fromHex("000000bf") << u"f32"_qs << QVariant::fromValue(-0.5f);
}

void TestByteReader::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, read);
    QFETCH(QVariant, value);
    ByteReader r(bytes);
    QCOMPARE(readOne(r, read), value);
    QVERIFY(!r.failed());
    QCOMPARE(r.position(), bytes.size()); // each read takes exactly its own width
    QVERIFY(r.atEnd());
    QCOMPARE(r.remaining(), 0);
}

void TestByteReader::shortReadYieldsZero_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("u8 of nothing") << QByteArray() << u"u8"_qs << QVariant::fromValue(quint8(0));
    QTest::newRow("u16 of one byte")
        << QByteArray::fromHex("ff") << u"u16"_qs << QVariant::fromValue(quint16(0));
    QTest::newRow("u16be of one byte")
        << QByteArray::fromHex("ff") << u"u16be"_qs << QVariant::fromValue(quint16(0));
    QTest::newRow("u32 of three bytes")
        << QByteArray::fromHex("010203") << u"u32"_qs << QVariant::fromValue(quint32(0));
    QTest::newRow("i32 of three bytes")
        << QByteArray::fromHex("ffffff") << u"i32"_qs << QVariant::fromValue(qint32(0));
    QTest::newRow("u64 of seven bytes")
        << QByteArray::fromHex("01020304050607") << u"u64"_qs << QVariant::fromValue(quint64(0));
    QTest::newRow("f32 of three bytes")
        << QByteArray::fromHex("00803f") << u"f32"_qs << QVariant::fromValue(0.0f);
}

void TestByteReader::shortReadYieldsZero()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, read);
    QFETCH(QVariant, value);
    ByteReader r(bytes);
    QCOMPARE(readOne(r, read), value);
    QVERIFY(r.failed());
    QCOMPARE(r.position(), 0); // nothing was consumed
}

void TestByteReader::readsFollowEachOther()
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

void TestByteReader::failureIsSticky()
{
    ByteReader r(QByteArrayView("\x01\x02\x03", 3));
    QCOMPARE(r.u32(), quint32(0)); // three bytes are not enough
    QVERIFY(r.failed());
    QCOMPARE(r.position(), 0);
    // Even a read that would fit now fails, so a parser checks once after a group of reads.
    QCOMPARE(r.u8(), quint8(0));
    QCOMPARE(r.remaining(), 0);
    QVERIFY(!r.has(1));
    QVERIFY(r.bytes(1).isEmpty());
    QVERIFY(r.take(1).failed());
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
    ByteReader r(QByteArrayView("\x11\x22\x33\x44\x55\x66\x77", 7));
    ByteReader record = r.take(2);
    QCOMPARE(record.u16(), quint16(0x2211));
    QCOMPARE(record.u8(), quint8(0)); // the next byte belongs to the neighbour
    QVERIFY(record.failed());
    QVERIFY(!r.failed());
    QCOMPARE(r.u8(), quint8(0x33));
    // A record longer than what is left fails, and so does the reader it was cut from.
    ByteReader tooLong = r.take(100);
    QVERIFY(tooLong.failed());
    QVERIFY(r.failed());
}

void TestByteReader::atRejectsRangesOutside_data()
{
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<bool>("inside");
    // Over 8 bytes.
    QTest::newRow("whole") << quint64(0) << quint64(8) << true;
    QTest::newRow("tail") << quint64(6) << quint64(2) << true;
    QTest::newRow("empty at end") << quint64(8) << quint64(0) << true;
    QTest::newRow("one past the end") << quint64(7) << quint64(2) << false;
    QTest::newRow("offset past the end") << quint64(9) << quint64(0) << false;
    QTest::newRow("size wraps around") << quint64(4) << ~quint64(0) << false;
    QTest::newRow("offset wraps around") << ~quint64(0) << quint64(2) << false;
}

void TestByteReader::atRejectsRangesOutside()
{
    QFETCH(quint64, offset);
    QFETCH(quint64, size);
    QFETCH(bool, inside);
    const QByteArray bytes(8, 'x');
    const ByteReader r(bytes);
    const ByteReader part = r.at(offset, size);
    QCOMPARE(!part.failed(), inside);
    if (inside)
        QCOMPARE(part.size(), qsizetype(size));
}

QTEST_APPLESS_MAIN(TestByteReader)
#include "tst_byte_reader.moc"
